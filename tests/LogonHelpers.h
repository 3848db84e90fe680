#pragma once

// Every test that sends folder commands to an agent logs on for real: an
// administrator account in the sandbox's account file, made before the
// agent starts, and connections logged on with it.

#include "HalsenClient.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace logontest
{
const char kAdmin[] = "admin";
const char kAdminPassword[] = "admin-secret";

// Makes the account file with one administrator through the agent's own
// "-i" option, as an installer does. That also writes a new identity to
// the profile, so it comes before the agent starts. Names and passwords
// are passed without a shell.
inline void CreateAdmin(const std::string& name = kAdmin, const std::string& password = kAdminPassword)
{
    const std::string agent = std::string(TAVRINE_BUILD_DIR) + "/agent/dorvik";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        if (!freopen("/dev/null", "w", stdout))
            _exit(126);
        execl(agent.c_str(), agent.c_str(), "-i", name.c_str(), password.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << agent << " -i " << name;
}

// Connects to the agent on this machine and logs the user on; location
// words are 0 0 (a client elsewhere) unless given.
inline void ConnectAndLogOn(halsen::Connection& c, const std::string& name = kAdmin,
                            const std::string& password = kAdminPassword, const unsigned long* location = nullptr)
{
    std::string error;
    ASSERT_TRUE(c.Connect("127.0.0.1", halsen::kAgentPort, error)) << error;
    ASSERT_TRUE(c.LogOn(name, password, error, location)) << error;
}
} // namespace logontest
