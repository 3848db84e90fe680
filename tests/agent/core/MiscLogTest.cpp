#include "AgentProcess.h"
#include "CLog.h"
#include "CProfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace
{
namespace fs = std::filesystem;

const char kProfile[] = "/etc/tavrine/Dorvik.rc";
const char kMiscDir[] = "/var/log/tavrine/misc";
const std::string kVersion = "current version is : 1.30.10.\n";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

int ReadLogKey(const char* key)
{
    CProfile profile(kProfile);
    int value = 0;
    profile.GetProfile("LogFile", key, &value);
    return value;
}

fs::path MiscLog(long long number)
{
    return fs::path(kMiscDir) / ("Misc" + std::to_string(number) + ".log");
}

// The misc logs from earlier starts (this test program's own among them)
// are cleared so that each case sees only the agent's.
void ClearMiscLogs()
{
    for (const fs::directory_entry& entry : fs::directory_iterator(kMiscDir))
        fs::remove(entry.path());
}

struct RotationCase
{
    const char* name;
    // Profile contents before the start; nullptr for no profile at all.
    const char* profile;
    long long number;
    int maxNumber;
    int nextNumber;
};

const RotationCase kRotationCases[] = {
    {"LastOfThree", "[LogFile]\nMaxNumber=3\nNextNumber=3\n", 3, 3, 1},
    {"WrapsAround", "[LogFile]\nMaxNumber=5\nNextNumber=7\n", 2, 5, 3},
    {"FirstOfFive", "[LogFile]\nMaxNumber=5\nNextNumber=1\n", 1, 5, 2},
    {"MaxZero", "[LogFile]\nMaxNumber=0\n", 1000000, 1000000, 1},
    {"MaxNegative", "[LogFile]\nMaxNumber=-4\nNextNumber=9\n", 9, 1000000, 10},
    {"MaxMissing", "[Other]\nKey=1\n", 1000000, 1000000, 1},
    {"NoProfile", nullptr, 1000000, 1000000, 1},
    {"MaxAboveLimit", "[LogFile]\nMaxNumber=2147483647\nNextNumber=2\n", 2, 1000000, 3},
    {"MaxAtLimit", "[LogFile]\nMaxNumber=2147483646\nNextNumber=2147483645\n", 2147483645,
     2147483646, 2147483646},
    {"NextNegative", "[LogFile]\nMaxNumber=3\nNextNumber=-2\n", 1, 3, 2},
};

void PrintTo(const RotationCase& c, std::ostream* os)
{
    *os << c.name;
}

class MiscLogRotationTest : public testing::TestWithParam<RotationCase>
{
};

TEST_P(MiscLogRotationTest, OpensTheNextFileAndAdvancesTheCounter)
{
    const RotationCase& c = GetParam();
    fs::remove(kProfile);
    if (c.profile)
        WriteFile(kProfile, c.profile);
    ClearMiscLogs();

    AgentResult result = RunAgent({"--version"});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kVersion);
    EXPECT_EQ(ReadLogKey("MaxNumber"), c.maxNumber);
    EXPECT_EQ(ReadLogKey("NextNumber"), c.nextNumber);
    EXPECT_EQ(ReadFile(MiscLog(c.number)), kVersion);
    EXPECT_EQ(std::distance(fs::directory_iterator(kMiscDir), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Numbers, MiscLogRotationTest, testing::ValuesIn(kRotationCases),
                         [](const testing::TestParamInfo<RotationCase>& param)
                         { return std::string(param.param.name); });

TEST(MiscLogTest, FiveStartsReuseTheThreeFilesInTurn)
{
    WriteFile(kProfile, "[LogFile]\nMaxNumber=3\n");
    ClearMiscLogs();
    const long long expected[] = {3, 1, 2, 3, 1};
    for (long long number : expected)
    {
        WriteFile(MiscLog(number), "stale text of an older start\n");
        AgentResult result = RunAgent({"--version"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(ReadFile(MiscLog(number)), kVersion) << "Misc" << number << ".log";
    }
}

TEST(MiscLogTest, CopiesAllOrdinaryOutputOfARun)
{
    WriteFile(kProfile, "[LogFile]\nMaxNumber=10\nNextNumber=4\n");
    ClearMiscLogs();
    AgentResult result = StartAndStopAgent({"--debug"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(ReadFile(MiscLog(4)), result.out);
    EXPECT_EQ(result.out, kRunningText + std::string(kShutdownText));
}

// The log repeats whatever the agent prints, so only its owner may read it,
// also when an older, more open file of the same name is reused.
TEST(MiscLogTest, IsReadableByItsOwnerOnly)
{
    WriteFile(kProfile, "[LogFile]\nMaxNumber=4\nNextNumber=2\n");
    ClearMiscLogs();
    WriteFile(MiscLog(2), "old\n");
    chmod(MiscLog(2).c_str(), 0644);
    ASSERT_EQ(RunAgent({"--version"}).status, 0);
    struct stat st;
    ASSERT_EQ(stat(MiscLog(2).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Log rotation copies a running agent's log and truncates it in place.
TEST(MiscLogTest, TruncationInPlaceLeavesNoHoleBeforeTheNextLine)
{
    WriteFile(kProfile, "[LogFile]\nMaxNumber=10\nNextNumber=6\n");
    ClearMiscLogs();
    CLog::OpenLogfile();
    CLog::ShowInfo("before the rotation\n");
    CLog::FlushLog();
    fs::resize_file(MiscLog(6), 0);
    CLog::ShowInfo("after\n");
    CLog::CloseLogfile();
    EXPECT_EQ(ReadFile(MiscLog(6)), "after\n");
}

TEST(MiscLogTest, MissingDirectoryIsReportedAndTheAgentRunsOn)
{
    fs::remove_all(kMiscDir);
    AgentResult result = RunAgent({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Open log file error: No such file or directory!\n"
                          "Please make proper directory!\n" +
                              kVersion);
    EXPECT_FALSE(fs::exists(kMiscDir));
}
} // namespace
