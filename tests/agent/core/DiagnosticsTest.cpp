#include "CAgentDoc.h"
#include "CException.h"
#include "CLog.h"
#include "StartedDocument.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

testing::Environment* const kStartedDocument = testing::AddGlobalTestEnvironment(new StartedDocument);

// This test program's own document opened a misc log at its start; it is
// the only one in the sandbox's fresh log directory.
std::string ReadMiscLog()
{
    CLog::FlushLog();
    for (const fs::directory_entry& entry : fs::directory_iterator("/var/log/tavrine/misc"))
    {
        std::ifstream in(entry.path());
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    return "";
}

TEST(ShowInfoTest, CutsLongTextAt263Characters)
{
    for (size_t length : {0, 1, 262, 263, 264, 300, 5000})
    {
        const std::string text(length, 'x');
        const std::string expected(std::min<size_t>(length, 263), 'x');
        CaptureStdout();
        ShowInfo("%s", text.c_str());
        EXPECT_EQ(GetCapturedStdout(), expected) << "length " << length;
        CaptureStderr();
        UrgentInfo("%s", text.c_str());
        EXPECT_EQ(GetCapturedStderr(), expected) << "length " << length;
    }
}

TEST(ShowInfoTest, CopiesToTheMiscLogButUrgentInfoDoesNot)
{
    CaptureStdout();
    ShowInfo("disk %d of %s\n", 3, "array0");
    UrgentInfo("urgent %d\n", 4);
    EXPECT_EQ(GetCapturedStdout(), "disk 3 of array0\n");
    EXPECT_EQ(ReadMiscLog(), "disk 3 of array0\n");
}

TEST(ShowInfoTest, GoesToStandardOutputOnlyWhenTheMiscLogIsClosed)
{
    CLog::CloseLogfile();
    CaptureStdout();
    ShowInfo("after close\n");
    EXPECT_EQ(GetCapturedStdout(), "after close\n");
    EXPECT_EQ(ReadMiscLog(), "");
}

TEST(ShowMessageTest, PrintsTheLabelInDebugModeOnly)
{
    CaptureStdout();
    CLog::ShowMessage("quiet");
    CAgentDoc::m_bDebugOn = true;
    CLog::ShowMessage("Receive from halsen");
    CAgentDoc::m_bDebugOn = false;
    EXPECT_EQ(GetCapturedStdout(), "Receive from halsen\n");
}

std::string DumpOf(const std::string& bytes)
{
    CaptureStdout();
    CLog::DumpMemory(bytes.data(), static_cast<int>(bytes.size()));
    return GetCapturedStdout();
}

std::string DumpHeading(const void* p, const char* lengths)
{
    char heading[128];
    snprintf(heading, sizeof heading, "Dump Memory at %p with length %s:\n", p, lengths);
    return heading;
}

TEST(DumpMemoryTest, ShowsEveryByteWithIndexCharacterAndValue)
{
    const std::string bytes = "\x41\xC8";
    EXPECT_EQ(DumpOf(bytes), DumpHeading(bytes.data(), "2(Hex)\t2(Dec)") + "0\tA\t41\n"
                                                                           "1\t\xC8\tffffffc8\n");
}

TEST(DumpMemoryTest, SignExtendsHighBytesAndKeepsLinesWholeAroundNul)
{
    const std::string bytes("\x00\x7F\x80\xFF\x0A", 5);
    EXPECT_EQ(DumpOf(bytes), DumpHeading(bytes.data(), "5(Hex)\t5(Dec)") + "0\t\t0\n"
                                                                           "1\t\x7F\t7f\n"
                                                                           "2\t\x80\tffffff80\n"
                                                                           "3\t\xFF\tffffffff\n"
                                                                           "4\t\n\ta\n");
}

TEST(DumpMemoryTest, LengthIsShownInHexAndDecimal)
{
    const std::string bytes(26, 'z');
    const std::string dump = DumpOf(bytes);
    EXPECT_EQ(dump.rfind(DumpHeading(bytes.data(), "1a(Hex)\t26(Dec)"), 0), 0u);
    EXPECT_NE(dump.find("\n25\tz\t7a\n"), std::string::npos);
}

TEST(DumpMemoryTest, NothingToDumpGivesTheHeadingOnly)
{
    CaptureStdout();
    CLog::DumpMemory(nullptr, 4);
    EXPECT_EQ(GetCapturedStdout(), DumpHeading(nullptr, "4(Hex)\t4(Dec)"));
}

TEST(GetErrorInfoTest, MapsReplyCodesToTheirTexts)
{
    const struct
    {
        int code;
        const char* text;
    } cases[] = {
        {800, "Functional"}, {801, "Error"},       {802, "Access Denied"},
        {803, "Not found"},  {804, "Abort"},       {805, "Invalid argument"},
        {806, "Time Out"},   {0, "Functional"},    {799, "Functional"},
        {807, "Functional"}, {-801, "Functional"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(GetErrorInfo(c.code), c.text) << c.code;
}

TEST(RunProtectedTest, EscapingExceptionsEndTheAgentWithFailure)
{
    const struct
    {
        const char* name;
        void (*body)();
        int status;
        const char* out;
    } cases[] = {
        {"library exception", [] { throw CException("Listen error"); }, 1, ""},
        {"other exception", [] { throw std::runtime_error("x"); }, 1, "catch all ... in main()\n"},
        {"plain value", [] { throw 7; }, 1, "catch all ... in main()\n"},
        {"no exception", [] {}, 0, ""},
    };
    for (const auto& c : cases)
    {
        CaptureStdout();
        EXPECT_EQ(RunProtected(c.body), c.status) << c.name;
        EXPECT_EQ(GetCapturedStdout(), c.out) << c.name;
    }
}

// Death tests compare standard error, so the child sends its standard
// output there.
void JoinOutputs()
{
    dup2(STDERR_FILENO, STDOUT_FILENO);
}

TEST(TerminatorDeathTest, ReportsAndAborts)
{
    EXPECT_EXIT(
        {
            JoinOutputs();
            std::terminate();
        },
        testing::KilledBySignal(SIGABRT), "call our terminator\\(\\)\n");
}

// The name is set in a UTS namespace of the death test's child, so the
// machine's own name is never touched.
void ShowHostNameAs(const std::string& name)
{
    if (unshare(CLONE_NEWUTS) != 0 || sethostname(name.data(), name.size()) != 0)
        _exit(2);
    fprintf(stderr, "[%s]", CAgentDoc::ReadHostName().GetBuffer());
    _exit(0);
}

TEST(HostNameDeathTest, LongNamesAreCutTo31Characters)
{
    for (size_t length : {1, 30, 31, 32, 40, 64})
    {
        const std::string name(length, 'h');
        const std::string shown = "\\[" + std::string(std::min<size_t>(length, 31), 'h') + "\\]";
        EXPECT_EXIT(ShowHostNameAs(name), testing::ExitedWithCode(0), shown) << length;
    }
}
} // namespace
