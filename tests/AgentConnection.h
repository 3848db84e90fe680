#pragma once

// How tests reach the agent in their sandbox as a management server: every
// connection a test opens, and every halsenctl run, goes through here, so
// that whatever a server must do before it may browse (logging on) is done
// in this one place.

#include "CProfile.h"
#include "HalsenClient.h"
#include "LogonHelpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace agenttest
{
// Names the agent's one device and the plug-in library behind it in the
// sandbox's profile, for the agent started next.
inline void UseDevice(const char* name, const char* library)
{
    CProfile profile("/etc/tavrine/Dorvik.rc");
    profile.WriteProfile("Morliven", "NumOfDevice", 1);
    profile.WriteProfile("Morliven", "Device1", name);
    profile.WriteProfile("Morliven", "Path1", library);
}

// Connects to the agent on this sandbox's loopback and logs the
// administrator of logontest::CreateAdmin on, ready for folder commands.
// Like halsenctl, it presents the agent identity from the profile, and so
// proves to be on the agent's machine.
inline ::testing::AssertionResult ConnectToAgent(halsen::Connection& connection)
{
    std::string error;
    unsigned long location[2] = {0, 0};
    halsen::ReadLocalLocation(location);
    if (!connection.Connect("127.0.0.1", halsen::kAgentPort, error) ||
        !connection.LogOn(logontest::kAdmin, logontest::kAdminPassword, error, location))
        return ::testing::AssertionFailure() << error;
    return ::testing::AssertionSuccess();
}

// What answered one request: its data lines, its closing reply and the
// notices that came meanwhile.
struct Reply
{
    std::vector<std::string> lines;
    std::string finish;
    std::vector<halsen::Packet> notices;
};

inline Reply Ask(halsen::Connection& c, int command, const std::string& body, int timeoutMs = 5000)
{
    halsen::Packet request;
    request.command = command;
    request.stamp = 7;
    request.body = body;
    std::vector<halsen::Packet> replies;
    Reply reply;
    EXPECT_EQ(c.Request(request, replies, timeoutMs), halsen::Connection::kGot) << body;
    for (const halsen::Packet& p : replies)
    {
        EXPECT_TRUE(p.kind == halsen::kNotice || p.stamp == 7) << p.body;
        if (p.kind == halsen::kData)
            reply.lines.push_back(p.body);
        else if (p.kind == halsen::kFinish)
            reply.finish = p.body;
        else
            reply.notices.push_back(p);
    }
    return reply;
}

// The halsenctl command line (for the shell) up to its first command word,
// with what it needs to be let in: the administrator's logon.
inline std::string Halsenctl()
{
    return std::string("HALSEN_PASSWORD=") + logontest::kAdminPassword + " " TAVRINE_BUILD_DIR
           "/client/halsenctl --user " + logontest::kAdmin;
}

struct CommandResult
{
    int status = -1;
    std::string out;
};

// Runs a shell command line; `out` is what it wrote to its standard output.
inline CommandResult RunCommand(const std::string& command)
{
    CommandResult result;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return result;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        result.out.append(buf.data(), n);
    const int rc = pclose(p);
    result.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return result;
}

// Runs halsenctl with `args` (already quoted for the shell); its standard
// error joins its output.
inline CommandResult RunHalsenctl(const std::string& args)
{
    return RunCommand(Halsenctl() + " " + args + " 2>&1");
}
} // namespace agenttest
