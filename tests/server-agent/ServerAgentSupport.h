#pragma once

// An agent on the simulated controller for halsend to watch: the RAID
// plug-in as its one device, the administrator account, pushed events,
// and a poll of the adapters every 15 seconds (the least it takes).

#include "AgentConnection.h"
#include "AgentProcess.h"
#include "HalsendHarness.h"

#include <memory>

namespace halsendtest
{
inline std::unique_ptr<AgentProcess> StartAgent()
{
    auto agent = std::make_unique<AgentProcess>(std::vector<std::string>{});
    EXPECT_TRUE(agent->WaitForStdout(kRunningText));
    return agent;
}

inline void PrepareAgent()
{
    agenttest::UseDevice("RAID", MVRAID_PATH);
    logontest::CreateAdmin();
}

// Sets the agent's own settings over a connection of its own.
inline void TuneAgent()
{
    halsen::Connection c;
    ASSERT_TRUE(agenttest::ConnectToAgent(c));
    for (const char* request : {"SetReportNoticeList@4@256@512@513@523", "SetEmailNoticeList@0"})
        EXPECT_EQ(agenttest::Ask(c, halsen::kInvoke, request).finish, "800@Functional") << request;
    EXPECT_EQ(agenttest::Ask(c, halsen::kSet, "PollFrequency@15").finish, "800@Functional");
}

inline const char* Password() { return logontest::kAdminPassword; }
} // namespace halsendtest
