// Signals that come while the agent is still starting: a stop is obeyed
// at once, through the same shutdown as in the loop; the others do no harm.
#include "AgentProcess.h"
#include "CProfile.h"
#include "PortHolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <thread>

namespace
{
const char kWaitText[] = "please wait for a while: .";
const char kNoHalsen[] = "no halsen is connected\n";
// How long a stop may take, from the signal to the agent's end.
const int kStopMs = 2000;
const char kTracePath[] = "/tmp/slow-plugin.calls";
// Each takes half a second to load: far longer, together, than the test.
const int kSlowDevices = 40;

// The wait text, its line ended, then the shutdown.
const std::regex kStoppedInWait(std::string("please wait for a while: \\.[. ]*\n") + kShutdownText);

int TraceLines()
{
    std::ifstream trace(kTracePath);
    int n = 0;
    for (std::string line; std::getline(trace, line);)
        ++n;
    return n;
}

// Waits, a bounded time, until the slow plug-in has been entered.
bool WaitForFirstLoad()
{
    for (int i = 0; i < 2000 && TraceLines() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return TraceLines() > 0;
}

void ConfigureSlowDevices()
{
    setenv("TEST_SLOW_PLUGIN_TRACE", kTracePath, 1);
    CProfile profile("/etc/tavrine/Dorvik.rc");
    profile.WriteProfile("Morliven", "NumOfDevice", kSlowDevices);
    for (int i = 1; i <= kSlowDevices; ++i)
    {
        const std::string n = std::to_string(i);
        profile.WriteProfile("Morliven", ("Device" + n).c_str(), ("Slow" + n).c_str());
        profile.WriteProfile("Morliven", ("Path" + n).c_str(), SLOW_PLUGIN_PATH);
    }
}

size_t CountDots(const std::string& text)
{
    size_t n = 0;
    for (char c : text)
        n += c == '.';
    return n;
}

enum class Stage
{
    Running,
    PortWait,
    PluginLoad,
};

struct StopCase
{
    const char* name;
    Stage stage;
    int sig;
};

// Names the case in the test's listing instead of its bytes.
void PrintTo(const StopCase& c, std::ostream* os)
{
    *os << c.name;
}

class StopSignalTest : public testing::TestWithParam<StopCase>
{
};

TEST_P(StopSignalTest, EndsTheAgentPromptlyWithStatusZero)
{
    const StopCase& c = GetParam();
    std::unique_ptr<PortHolder> holder;
    if (c.stage == Stage::PortWait)
    {
        holder.reset(new PortHolder);
        ASSERT_TRUE(holder->IsHeld());
    }
    if (c.stage == Stage::PluginLoad)
        ConfigureSlowDevices();
    AgentProcess agent({});
    int nLoadsBefore = 0;
    switch (c.stage)
    {
    case Stage::Running:
        ASSERT_TRUE(agent.WaitForStdout(kRunningText)) << agent.Stdout();
        break;
    case Stage::PortWait:
        ASSERT_TRUE(agent.WaitForStdout(kWaitText)) << agent.Stdout();
        break;
    case Stage::PluginLoad:
        ASSERT_TRUE(WaitForFirstLoad());
        nLoadsBefore = TraceLines();
        break;
    }
    ASSERT_TRUE(agent.IsRunning());
    agent.Signal(c.sig);
    EXPECT_EQ(agent.WaitExit(kStopMs), 0) << agent.Stdout() << agent.Stderr();
    EXPECT_EQ(agent.Stderr(), "");
    switch (c.stage)
    {
    case Stage::Running:
        EXPECT_EQ(agent.Stdout(), kRunningText + std::string(kShutdownText));
        break;
    case Stage::PortWait:
        EXPECT_TRUE(std::regex_match(agent.Stdout(), kStoppedInWait)) << agent.Stdout();
        break;
    case Stage::PluginLoad:
        // Nothing more is loaded after the call under way.
        EXPECT_EQ(agent.Stdout(), kShutdownText);
        EXPECT_LE(TraceLines(), nLoadsBefore + 1);
        break;
    }
}

const StopCase kStopCases[] = {
    {"InTheLoopByInterrupt", Stage::Running, SIGINT},
    {"InThePortWaitByTermination", Stage::PortWait, SIGTERM},
    {"InThePortWaitByInterrupt", Stage::PortWait, SIGINT},
    {"WhilePluginsLoadByTermination", Stage::PluginLoad, SIGTERM},
    {"WhilePluginsLoadByInterrupt", Stage::PluginLoad, SIGINT},
};

INSTANTIATE_TEST_SUITE_P(Stages, StopSignalTest, testing::ValuesIn(kStopCases),
                         [](const testing::TestParamInfo<StopCase>& row) { return row.param.name; });

struct HarmlessCase
{
    const char* name;
    int sig;
    // What the agent writes on standard error in answer.
    const char* answer;
};

void PrintTo(const HarmlessCase& c, std::ostream* os)
{
    *os << c.name;
}

class PortWaitSignalTest : public testing::TestWithParam<HarmlessCase>
{
};

// The signal is answered at once, the wait goes on at its pace, and the
// agent starts as soon as the port is free.
TEST_P(PortWaitSignalTest, LeavesTheWaitGoingOn)
{
    const HarmlessCase& c = GetParam();
    PortHolder holder;
    ASSERT_TRUE(holder.IsHeld());
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout(kWaitText)) << agent.Stdout();
    agent.Signal(c.sig);
    if (*c.answer)
    {
        EXPECT_TRUE(agent.WaitForStderr(c.answer, kStopMs)) << agent.Stderr();
    }
    const size_t nDots = CountDots(agent.Stdout());
    for (int i = 0; i < 100 && agent.IsRunning() && CountDots(agent.Stdout()) < nDots + 2; ++i)
        agent.Drain(100);
    ASSERT_TRUE(agent.IsRunning());
    EXPECT_GE(CountDots(agent.Stdout()), nDots + 2) << agent.Stdout();
    EXPECT_EQ(agent.Stderr(), c.answer);

    holder.Release();
    ASSERT_TRUE(agent.WaitForStdout(kRunningText)) << agent.Stdout();
    const std::string waitLine = agent.Stdout().substr(0, agent.Stdout().find('\n'));
    EXPECT_EQ(waitLine.find_first_not_of(". ", sizeof kWaitText - 1), std::string::npos) << waitLine;
    agent.Signal(SIGTERM);
    EXPECT_EQ(agent.WaitExit(), 0);
    EXPECT_EQ(agent.Stderr(), c.answer);
}

const HarmlessCase kHarmlessCases[] = {
    {"ListingOfServers", SIGUSR2, kNoHalsen},
    {"StrayAlarm", SIGALRM, ""},
    {"BrokenPipe", SIGPIPE, ""},
};

INSTANTIATE_TEST_SUITE_P(Signals, PortWaitSignalTest, testing::ValuesIn(kHarmlessCases),
                         [](const testing::TestParamInfo<HarmlessCase>& row) { return row.param.name; });
} // namespace
