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
#include <string>
#include <thread>

namespace
{
const char kWaitText[] = "please wait for a while: .";
const char kNoHalsen[] = "no halsen is connected\n";
// How long a stop may take, from the signal to the agent's end.
const int kStopMs = 2000;
const char kTracePath[] = "/tmp/slow-plugin.calls";
// Each takes half a second to load: together far longer than a stop may
// take.
const int kManySlowDevices = 40;
// Few enough to be loaded to the end by a test.
const int kFewSlowDevices = 4;

// The wait text with its dots and blanks, its line ended, then the
// shutdown.
bool IsStoppedInWait(const std::string& out)
{
    const std::string end = std::string("\n") + kShutdownText;
    const size_t nWait = sizeof kWaitText - 1;
    if (out.compare(0, nWait, kWaitText) != 0 || out.size() < nWait + end.size() ||
        out.compare(out.size() - end.size(), end.size(), end) != 0)
        return false;
    return out.substr(nWait, out.size() - end.size() - nWait).find_first_not_of(". ") == std::string::npos;
}

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

void ConfigureSlowDevices(int nDevices)
{
    setenv("TEST_SLOW_PLUGIN_TRACE", kTracePath, 1);
    CProfile profile("/etc/tavrine/Dorvik.rc");
    profile.WriteProfile("Morliven", "NumOfDevice", nDevices);
    for (int i = 1; i <= nDevices; ++i)
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

// Starts the agent and brings it to one stage of its start-up (or into its
// loop): the port held by the test, or the plug-ins loading slowly.
class StageTest
{
protected:
    void StartAt(Stage stage, int nSlowDevices)
    {
        if (stage == Stage::PortWait)
        {
            m_holder.reset(new PortHolder);
            ASSERT_TRUE(m_holder->IsHeld());
        }
        if (stage == Stage::PluginLoad)
            ConfigureSlowDevices(nSlowDevices);
        m_agent.reset(new AgentProcess({}));
        switch (stage)
        {
        case Stage::Running:
            ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout();
            break;
        case Stage::PortWait:
            ASSERT_TRUE(m_agent->WaitForStdout(kWaitText)) << m_agent->Stdout();
            break;
        case Stage::PluginLoad:
            ASSERT_TRUE(WaitForFirstLoad());
            break;
        }
        ASSERT_TRUE(m_agent->IsRunning());
    }

    std::unique_ptr<PortHolder> m_holder;
    std::unique_ptr<AgentProcess> m_agent;
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

class StopSignalTest : public StageTest, public testing::TestWithParam<StopCase>
{
};

TEST_P(StopSignalTest, EndsTheAgentPromptlyWithStatusZero)
{
    const StopCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartAt(c.stage, kManySlowDevices));
    const int nLoadsBefore = TraceLines();
    m_agent->Signal(c.sig);
    EXPECT_EQ(m_agent->WaitExit(kStopMs), 0) << m_agent->Stdout() << m_agent->Stderr();
    EXPECT_EQ(m_agent->Stderr(), "");
    switch (c.stage)
    {
    case Stage::Running:
        EXPECT_EQ(m_agent->Stdout(), kRunningText + std::string(kShutdownText));
        break;
    case Stage::PortWait:
        EXPECT_TRUE(IsStoppedInWait(m_agent->Stdout())) << m_agent->Stdout();
        break;
    case Stage::PluginLoad:
        // Nothing more is loaded after the call under way.
        EXPECT_EQ(m_agent->Stdout(), kShutdownText);
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
    Stage stage;
    int sig;
    // What the agent writes on standard error in answer.
    const char* answer;
};

void PrintTo(const HarmlessCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartupSignalTest : public StageTest, public testing::TestWithParam<HarmlessCase>
{
protected:
    // The wait goes on at its pace, and the agent starts as soon as the
    // port is free.
    void ExpectTheWaitToGoOn(const char* answer)
    {
        const size_t nDots = CountDots(m_agent->Stdout());
        for (int i = 0; i < 100 && m_agent->IsRunning() && CountDots(m_agent->Stdout()) < nDots + 2; ++i)
            m_agent->Drain(100);
        ASSERT_TRUE(m_agent->IsRunning());
        EXPECT_GE(CountDots(m_agent->Stdout()), nDots + 2) << m_agent->Stdout();
        EXPECT_EQ(m_agent->Stderr(), answer);
        m_holder->Release();
        ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout();
        const std::string waitLine = m_agent->Stdout().substr(0, m_agent->Stdout().find('\n'));
        EXPECT_EQ(waitLine.find_first_not_of(". ", sizeof kWaitText - 1), std::string::npos) << waitLine;
    }

    // Every device is loaded and the agent starts.
    void ExpectTheLoadToGoOn()
    {
        ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout();
        EXPECT_EQ(m_agent->Stdout(), kRunningText);
        EXPECT_EQ(TraceLines(), kFewSlowDevices);
    }
};

// The signal is answered, at the latest once the plug-in being loaded has
// come back, and start-up goes on.
TEST_P(StartupSignalTest, DoesNoHarm)
{
    const HarmlessCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartAt(c.stage, kFewSlowDevices));
    m_agent->Signal(c.sig);
    if (*c.answer)
    {
        EXPECT_TRUE(m_agent->WaitForStderr(c.answer, kStopMs)) << m_agent->Stderr();
    }
    if (c.stage == Stage::PortWait)
    {
        ASSERT_NO_FATAL_FAILURE(ExpectTheWaitToGoOn(c.answer));
    }
    else
    {
        ASSERT_NO_FATAL_FAILURE(ExpectTheLoadToGoOn());
    }
    m_agent->Signal(SIGTERM);
    EXPECT_EQ(m_agent->WaitExit(), 0);
    EXPECT_EQ(m_agent->Stderr(), c.answer);
}

const HarmlessCase kHarmlessCases[] = {
    {"ListingInThePortWait", Stage::PortWait, SIGUSR2, kNoHalsen},
    {"StrayAlarmInThePortWait", Stage::PortWait, SIGALRM, ""},
    {"BrokenPipeInThePortWait", Stage::PortWait, SIGPIPE, ""},
    {"ListingWhilePluginsLoad", Stage::PluginLoad, SIGUSR2, kNoHalsen},
    {"StrayAlarmWhilePluginsLoad", Stage::PluginLoad, SIGALRM, ""},
};

INSTANTIATE_TEST_SUITE_P(Signals, StartupSignalTest, testing::ValuesIn(kHarmlessCases),
                         [](const testing::TestParamInfo<HarmlessCase>& row) { return row.param.name; });
} // namespace
