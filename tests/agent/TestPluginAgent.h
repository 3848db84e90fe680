#pragma once

#include "AgentConnection.h"
#include "AgentProcess.h"

#include <gtest/gtest.h>

#include <memory>

// The real dorvik of this build with the tests' plug-in as its one device
// "Dev", started for each test case in the case's own sandbox, with the
// administrator account of logontest::CreateAdmin.
class TestPluginAgent : public testing::Test
{
protected:
    void SetUp() override
    {
        agenttest::UseDevice("Dev", TEST_PLUGIN_PATH);
        logontest::CreateAdmin();
        m_agent.reset(new AgentProcess({}));
        ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout();
    }

    std::unique_ptr<AgentProcess> m_agent;
};
