#include "AgentProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>

namespace
{
const char kNoHalsen[] = "no halsen is connected\n";

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(AgentSignalTest, TerminationShutsDownInOrderWithStatusZero)
{
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout(kRunningText));
    agent.Signal(SIGTERM);
    EXPECT_EQ(agent.WaitExit(), 0);
    EXPECT_EQ(agent.Stdout(), kRunningText + std::string(kShutdownText));
    EXPECT_EQ(agent.Stderr(), "");
}

// A few ticks pass first, so the listing is also served from a loop that
// has been woken by the timer.
TEST(AgentSignalTest, ListingWithoutConnectionsKeepsTheAgentRunning)
{
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout(kRunningText));
    sleep(5);
    ASSERT_TRUE(agent.IsRunning());
    agent.Signal(SIGUSR2);
    ASSERT_TRUE(agent.WaitForStderr(kNoHalsen));
    agent.Signal(SIGUSR2);
    ASSERT_TRUE(agent.WaitForStderr(kNoHalsen + std::string(kNoHalsen)));
    EXPECT_TRUE(agent.IsRunning());
    agent.Signal(SIGTERM);
    EXPECT_EQ(agent.WaitExit(), 0);
    EXPECT_EQ(agent.Stdout(), kRunningText + std::string(kShutdownText));
    EXPECT_EQ(agent.Stderr(), kNoHalsen + std::string(kNoHalsen));
}

TEST(AgentSignalTest, TerminationAmidAFloodOfSignalsStillShutsDownOnce)
{
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout(kRunningText));
    for (int i = 0; i < 300; ++i)
        agent.Signal(i % 3 == 2 ? SIGALRM : SIGUSR2);
    agent.Signal(SIGTERM);
    EXPECT_EQ(agent.WaitExit(), 0);
    EXPECT_EQ(agent.Stdout(), kRunningText + std::string(kShutdownText));
    EXPECT_EQ(Count(agent.Stderr(), kNoHalsen) * (sizeof kNoHalsen - 1), agent.Stderr().size());
}
} // namespace
