#pragma once

#include "HalsenClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace agenttest
{
// Opens a management connection to the agent of the test's sandbox. Every
// test that talks to dorvik over its port connects here, so what a
// connection must do before its commands are served lives in one place.
inline testing::AssertionResult OpenAgentConnection(halsen::Connection& c)
{
    std::string error;
    if (!c.Connect("127.0.0.1", halsen::kAgentPort, error))
        return testing::AssertionFailure() << "cannot connect to the agent: " << error;
    return testing::AssertionSuccess();
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
} // namespace agenttest
