// The usage, and one agent per machine: a start beside a running agent is
// turned away before it touches a file, and a killed agent's lock does not
// keep the next one out.

#include "AgentProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;

const char kLockPath[] = "/run/dorvik.pid";

// Every file the agent may write, with its bytes, and every directory.
using Snapshot = std::map<std::string, std::string>;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

Snapshot TakeSnapshot()
{
    Snapshot files;
    for (const char* top : {"/etc/tavrine", "/var/log/tavrine", "/run", "/tmp"})
    {
        if (!fs::exists(top))
            continue;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top))
        {
            // The sandbox keeps its own state in /run; the agent never goes there.
            if (entry.path().string().rfind("/run/tavrine-sandbox", 0) == 0)
                continue;
            files[entry.path().string()] = entry.is_regular_file() ? ReadAll(entry.path()) : "(directory)";
        }
    }
    return files;
}

void WriteProfile()
{
    std::ofstream("/etc/tavrine/Dorvik.rc") << "[Location]\nValue1=1\nValue2=2\n[LogEvent]\nEmailNotice=1@256\n";
}

std::string RunningLine(int pid)
{
    return "dorvik: another agent is running as process " + std::to_string(pid) + " and holds " + kLockPath +
           "; stop it first\n";
}

const char kUsageStart[] = "Usage: dorvik [-d|--debug|-v|--verbose]\n";

TEST(UsageTest, HelpPrintsTheUsageAndTouchesNoFile)
{
    WriteProfile();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-h"}, {"--help"}, {"--help", "--init", "admin", "secret"}})
    {
        const Snapshot before = TakeSnapshot();
        const AgentResult result = RunAgent(args);
        EXPECT_EQ(result.status, 0) << args[0];
        EXPECT_EQ(result.out.rfind(kUsageStart, 0), 0u) << result.out;
        for (const char* told : {"--init NAME PASSWORD", "--version", "/etc/tavrine/Dorvik.rc",
                                 "/etc/tavrine/ZELRAID.PWD", "/var/log/tavrine/", kLockPath, "TCP 710"})
            EXPECT_NE(result.out.find(told), std::string::npos) << told << " untold:\n" << result.out;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(TakeSnapshot(), before) << args[0];
    }
    EXPECT_FALSE(fs::exists(kLockPath));
}

// Nothing is looked at: even without its configuration directory the
// agent tells its usage.
TEST(UsageTest, HelpNeedsNoConfigurationDirectory)
{
    fs::remove_all("/etc/tavrine");
    const AgentResult result = RunAgent({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind(kUsageStart, 0), 0u) << result.out;
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(fs::exists("/etc/tavrine"));
}

class SecondStartTest : public testing::Test
{
protected:
    void SetUp() override
    {
        WriteProfile();
        ASSERT_EQ(RunAgent({"--init", "admin", "secret"}).status, 0);
        m_first.reset(new AgentProcess({}));
        ASSERT_TRUE(m_first->WaitForStdout(kRunningText));
    }

    std::unique_ptr<AgentProcess> m_first;
};

// Whatever the second start asks for (a run, a debug run, an account file,
// the version or an ignored argument), it is refused with one line naming
// the running agent, and every file stays byte for byte as it was: the
// running agent's identity in the profile above all.
TEST_F(SecondStartTest, IsRefusedAndEveryFileStaysAsItWas)
{
    EXPECT_EQ(ReadAll(kLockPath), std::to_string(m_first->Pid()) + "\n");
    const Snapshot before = TakeSnapshot();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"-d"}, {"--init", "admin", "other"}, {"-i", "root", "secret"}, {"--version"}, {"-x"}})
    {
        const std::string shown = args.empty() ? "(none)" : args[0];
        const AgentResult result = RunAgent(args);
        EXPECT_EQ(result.status, 1) << shown;
        EXPECT_EQ(result.err, RunningLine(m_first->Pid())) << shown;
        EXPECT_EQ(result.out, "") << shown;
        EXPECT_EQ(TakeSnapshot(), before) << shown;
    }
    EXPECT_TRUE(m_first->IsRunning());
    m_first->Signal(SIGTERM);
    EXPECT_EQ(m_first->WaitExit(), 0);
}

// An agent that stopped in order gives the lock back: what it refused
// while it ran is done now.
TEST_F(SecondStartTest, TheLockIsFreeOnceTheAgentStopped)
{
    ASSERT_EQ(RunAgent({"--init", "admin", "other"}).status, 1);
    m_first->Signal(SIGTERM);
    ASSERT_EQ(m_first->WaitExit(), 0);
    const AgentResult init = RunAgent({"--init", "admin", "other"});
    EXPECT_EQ(init.status, 0) << init.err;
    EXPECT_EQ(init.err, "");
}

// A killed agent leaves its lock file, with its id, behind; the lock itself
// went with the process, so the next start runs and writes its own id.
TEST(StaleLockTest, StartAfterKillRuns)
{
    AgentProcess first({});
    ASSERT_TRUE(first.WaitForStdout(kRunningText));
    const int firstPid = first.Pid();
    first.Signal(SIGKILL);
    ASSERT_EQ(first.WaitExit(), 128 + SIGKILL);
    ASSERT_EQ(ReadAll(kLockPath), std::to_string(firstPid) + "\n");

    AgentProcess second({});
    ASSERT_TRUE(second.WaitForStdout(kRunningText)) << second.Stderr();
    EXPECT_EQ(ReadAll(kLockPath), std::to_string(second.Pid()) + "\n");
    second.Signal(SIGTERM);
    EXPECT_EQ(second.WaitExit(), 0);
    EXPECT_EQ(second.Stderr(), "");
}

// A lock file that is not a plain file is neither followed nor used: the
// start ends before anything else is touched.
TEST(StaleLockTest, LockFileThatIsNoPlainFileStopsTheStart)
{
    WriteProfile();
    const struct
    {
        const char* name;
        void (*make)();
        const char* told;
    } cases[] = {
        {"directory", [] { fs::create_directory(kLockPath); },
         "dorvik: cannot open the lock file /run/dorvik.pid: Is a directory\n"},
        {"pipe", [] { mkfifo(kLockPath, 0644); }, "dorvik: the lock file /run/dorvik.pid is no plain file\n"},
        {"link", [] { fs::create_symlink("/tmp/elsewhere", kLockPath); },
         "dorvik: cannot open the lock file /run/dorvik.pid: Too many levels of symbolic links\n"},
    };
    for (const auto& c : cases)
    {
        fs::remove_all(kLockPath);
        c.make();
        const Snapshot before = TakeSnapshot();
        const AgentResult result = RunAgent({});
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(result.err, c.told) << c.name;
        EXPECT_EQ(result.out, "") << c.name;
        EXPECT_EQ(TakeSnapshot(), before) << c.name;
    }
    EXPECT_FALSE(fs::exists("/tmp/elsewhere"));
}
} // namespace
