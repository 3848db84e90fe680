// The RAID plug-in loaded by the real agent from its profile, on the
// simulated controller.

#include "AgentProcess.h"
#include "CProfile.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>

namespace
{
uint32_t Requests() { return simtest::Snapshot()->counters.ioctls; }

TEST(AgentPlugin, TheAgentLoadsThePluginAndPollsItOnItsTick)
{
    simtest::LoadPreset("two-adapters");
    {
        CProfile profile("/etc/tavrine/Dorvik.rc");
        profile.WriteProfile("Morliven", "NumOfDevice", 1);
        profile.WriteProfile("Morliven", "Device1", "MVRAID");
        profile.WriteProfile("Morliven", "Path1", MVRAID_PATH);
    }
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout(kRunningText)) << agent.Stdout() << agent.Stderr();
    EXPECT_EQ(std::string::npos, agent.Stdout().find("Failed to load")) << agent.Stdout();
    uint32_t started = Requests();
    EXPECT_GT(started, 0u) << "the tree is built from the driver";

    // A failed disk changes the configuration: the next ticks rebuild the
    // tree from the driver, which costs far more requests than a quiet poll.
    sleep(5);
    uint32_t quiet = Requests() - started;
    EXPECT_GT(quiet, 0u) << "the tick polls the adapters";
    simtest::Shell("zelsim fail-disk 0 1");
    uint32_t failed = Requests();
    sleep(5);
    EXPECT_GT(Requests() - failed, quiet);
    EXPECT_TRUE(agent.IsRunning());

    agent.Signal(SIGTERM);
    EXPECT_EQ(0, agent.WaitExit()) << agent.Stdout() << agent.Stderr();
    EXPECT_NE(std::string::npos, agent.Stdout().find(kShutdownText)) << agent.Stdout();
}
} // namespace
