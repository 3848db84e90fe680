#pragma once

#include "AgentConnection.h"
#include "AgentProcess.h"

#include <gtest/gtest.h>

#include <memory>

// The real dorvik of this build with the tests' plug-in as its one device
// ("Dev" unless named otherwise), started for each test case in the case's
// own sandbox.
class TestPluginAgent : public testing::Test
{
protected:
    explicit TestPluginAgent(const char* device = "Dev") : m_szDevice(device) {}

    void SetUp() override
    {
        agenttest::UseDevice(m_szDevice, TEST_PLUGIN_PATH);
        m_agent.reset(new AgentProcess({}));
        ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout();
    }

    const char* m_szDevice;
    std::unique_ptr<AgentProcess> m_agent;
};
