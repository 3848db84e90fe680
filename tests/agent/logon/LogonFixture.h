#pragma once

// The real agent in the sandbox with one administrator account, and the
// requests a management server sends it.

#include "AgentProcess.h"
#include "HalsenClient.h"
#include "LogonHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace logontest
{
const int kReplyMs = 5000;

struct Reply
{
    std::vector<std::string> lines;
    std::string finish;
    std::vector<halsen::Packet> notices;
};

inline halsen::Packet Request(int command, const std::string& body)
{
    halsen::Packet p;
    p.command = command;
    p.stamp = 3;
    p.body = body;
    return p;
}

// The data lines, closing reply and notices that answer one request.
inline Reply Ask(halsen::Connection& c, int command, const std::string& body)
{
    std::vector<halsen::Packet> replies;
    Reply reply;
    EXPECT_EQ(c.Request(Request(command, body), replies, kReplyMs), halsen::Connection::kGot)
        << halsen::CommandName(command) << " " << body;
    for (const halsen::Packet& p : replies)
    {
        if (p.kind == halsen::kData)
            reply.lines.push_back(p.body);
        else if (p.kind == halsen::kFinish)
            reply.finish = p.body;
        else
            reply.notices.push_back(p);
    }
    return reply;
}

// A request that the agent drops for want of a logon: the notice 8192
// comes and no reply.
inline void ExpectRefusedForNoLogon(halsen::Connection& c, int command, const std::string& body)
{
    SCOPED_TRACE(halsen::CommandName(command) + " " + body);
    ASSERT_TRUE(c.Send(Request(command, body)));
    // Change notices sent meanwhile may come first.
    halsen::Packet p;
    do
        ASSERT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kGot);
    while (p.kind == halsen::kNotice && p.command != 8192 && p.command != halsen::kClose);
    EXPECT_EQ(p.kind, halsen::kNotice);
    EXPECT_EQ(p.command, 8192);
    EXPECT_EQ(c.Receive(p, 300), halsen::Connection::kTimeout) << p.body;
}

// The access body that logs user on with a fixed salt and round count.
inline std::string LogonBody(const std::string& user, const std::string& password, unsigned long first = 0,
                             unsigned long second = 0)
{
    const unsigned long location[2] = {first, second};
    return halsen::LogonBody(location, halsen::EncodeCredential(user, password, "salt", 7));
}

// The logon handle of a logon reply, 0 when it has none.
inline unsigned HandleOf(const Reply& reply)
{
    if (reply.lines.size() != 1 || reply.lines[0].compare(0, 6, "logon ") != 0)
        return 0;
    return static_cast<unsigned>(strtoul(reply.lines[0].c_str() + 6, nullptr, 16));
}

class AgentFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        CreateAdmin();
        StartAgent();
    }

    void StartAgent()
    {
        // One agent runs at a time: the one of an earlier start goes first.
        m_agent.reset();
        m_agent.reset(new AgentProcess({}));
        ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout();
    }

    static void ConnectOnly(halsen::Connection& c)
    {
        std::string error;
        ASSERT_TRUE(c.Connect("127.0.0.1", halsen::kAgentPort, error)) << error;
    }

    std::unique_ptr<AgentProcess> m_agent;
};
} // namespace logontest
