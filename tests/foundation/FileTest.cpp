#include "CFile.h"
#include "CFileVersion.h"
#include "TempDirTest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// Works inside a fresh temporary directory, which is also the current one.
class FileTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        previous = fs::current_path();
        fs::current_path(dir);
        mask = umask(022);
    }
    void TearDown() override
    {
        umask(mask);
        fs::current_path(previous);
        TempDirTest::TearDown();
    }

    fs::path previous;
    mode_t mask = 0;
};
}

TEST_F(FileTest, ModeNumberSelectsTheStdioMode)
{
    struct Case
    {
        int mode;
        bool opensMissing;
        std::string afterWrite; // of "XY" into a file holding "abc"
    };
    const Case cases[] = {
        {0, false, "abc"},         {1, true, "XY"},           {2, true, "XY"},    {4, true, "abcXY"},
        {3, false, "abc"},         {5, false, "abc"},         {6, false, "abc"},  {7, false, "abc"},
        {0x8000, false, "abc"},    {0x8001, true, "XY"},      {0x8004, true, "abcXY"},
        {0x10 | 1, true, "XY"},
    };
    for (const Case& c : cases)
    {
        fs::remove("missing");
        CFile missing;
        EXPECT_EQ(missing.Open("missing", c.mode), c.opensMissing) << c.mode;

        Put("data", "abc");
        CFile file;
        ASSERT_TRUE(file.Open("data", c.mode)) << c.mode;
        EXPECT_TRUE(file.IsValid());
        file.Write("XY", 2);
        file.Close();
        EXPECT_FALSE(file.IsValid());
        EXPECT_EQ(Take("data"), c.afterWrite) << c.mode;
    }
}

TEST_F(FileTest, AppendModeWritesAtTheEndWhereverThePosition)
{
    Put("log", "0123456789");
    CFile file;
    ASSERT_TRUE(file.Open("log", 4));
    EXPECT_EQ(file.Seek(2, 0), 0);
    file.Write("ab", 2);
    EXPECT_EQ(file.Seek(0, 0), 0);
    file.Write("cd", 2);
    char head[3] = {};
    EXPECT_EQ(file.Seek(0, 0), 0);
    EXPECT_EQ(file.Read(head, 2), 2);
    EXPECT_STREQ(head, "01");
    file.Close();
    EXPECT_EQ(Take("log"), "0123456789abcd");
}

TEST_F(FileTest, SeekOriginNumbers)
{
    Put("data", "0123456789");
    struct Case
    {
        long start;
        long offset;
        int origin;
        long position;
    };
    const Case cases[] = {
        {5, -4, 4, 6}, {5, 0, 4, 10}, {5, 2, 2, 7}, {5, -5, 2, 0},
        {5, 3, 0, 3},  {5, 3, 1, 3},  {5, 3, 3, 3}, {5, 3, 5, 3},
    };
    CFile file;
    ASSERT_TRUE(file.Open("data", 0));
    for (const Case& c : cases)
    {
        ASSERT_EQ(file.Seek(c.start, 0), 0);
        EXPECT_EQ(file.Seek(c.offset, c.origin), 0) << c.offset << "," << c.origin;
        EXPECT_EQ(file.GetPosition(), c.position) << c.offset << "," << c.origin;
    }
    EXPECT_EQ(file.Seek(-4, 4), 0);
    char tail[5] = {};
    EXPECT_EQ(file.Read(tail, 4), 4);
    EXPECT_STREQ(tail, "6789");
    EXPECT_NE(file.Seek(-20, 0), 0);
}

TEST_F(FileTest, LengthCountsWritesNotYetFlushed)
{
    CFile file;
    ASSERT_TRUE(file.Open("data", 2));
    EXPECT_EQ(file.GetLength(), 0);
    file.Write("12345", 5);
    EXPECT_EQ(file.GetLength(), 5);
    EXPECT_EQ(file.GetStatus().st_size, 5);
    EXPECT_TRUE(S_ISREG(file.GetStatus().st_mode));
}

TEST_F(FileTest, ClosedFileDoesNothingAndCanBeOpenedAgain)
{
    CFile file;
    char buf[4];
    EXPECT_FALSE(file.IsValid());
    EXPECT_EQ(file.Read(buf, sizeof(buf)), 0);
    file.Write("x", 1);
    file.Flush();
    EXPECT_EQ(file.GetPosition(), -1);
    EXPECT_EQ(file.Seek(0, 0), -1);
    EXPECT_EQ(file.GetLength(), 0);
    file.Close();
    file.Close();

    Put("one", "1");
    Put("two", "22");
    ASSERT_TRUE(file.Open("one", 0));
    ASSERT_TRUE(file.Open("two", 0));
    EXPECT_EQ(file.GetLength(), 2);
    EXPECT_EQ(file.Read(buf, -1), 0);
    EXPECT_EQ(file.Read(nullptr, 4), 0);
    EXPECT_FALSE(file.Open(nullptr, 0));
    EXPECT_FALSE(file.IsValid());
}

TEST_F(FileTest, ExistenceFollowsTheLookupFailure)
{
    Put("file", "x");
    fs::create_directory("sub");
    ASSERT_EQ(symlink("loop", "loop"), 0);
    struct Case
    {
        std::string path;
        bool exists;
    };
    const Case cases[] = {
        {"file", true},
        {"sub", true},
        {"missing", false},
        {"missing-dir/file", false},
        {"file/below", false},
        {std::string(300, 'n'), false},
        {"loop", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CFile::IsExistent(c.path.c_str()), c.exists) << c.path.substr(0, 40);
    EXPECT_FALSE(CFile::IsExistent(nullptr));
}

TEST_F(FileTest, RenameAndRemoveReportSuccess)
{
    Put("old", "x");
    EXPECT_TRUE(CFile::Rename("old", "new"));
    EXPECT_FALSE(CFile::Rename("old", "other"));
    EXPECT_EQ(Take("new"), "x");
    EXPECT_TRUE(CFile::Remove("new"));
    EXPECT_FALSE(CFile::Remove("new"));
    EXPECT_FALSE(CFile::Rename(nullptr, "x"));
    EXPECT_FALSE(CFile::Remove(nullptr));
}

TEST_F(FileTest, CreateDirectoryWalksThePathAndPrintsEachStep)
{
    fs::create_directory("a");
    Put("f", "x");
    struct Case
    {
        const char* path;
        bool result;
        std::string printed;
    };
    const Case cases[] = {
        {"a/b", true, "failed to create directory: a/ with errno: 17\ncreate directory: a/b/\n"},
        {"x/y/z", true, "create directory: x/\ncreate directory: x/y/\ncreate directory: x/y/z/\n"},
        {"a//c/", true, "failed to create directory: a/ with errno: 17\ncreate directory: a/c/\n"},
        {"a", true, "failed to create directory: a/ with errno: 17\n"},
        {"f/g", false,
         "failed to create directory: f/ with errno: 17\nfailed to create directory: f/g/ with errno: 20\n"},
        {"", false, ""},
    };
    for (const Case& c : cases)
    {
        testing::internal::CaptureStdout();
        bool result = CFile::XCreateDirectory(c.path);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.path;
        EXPECT_EQ(result, c.result) << c.path;
    }
    struct stat st;
    ASSERT_EQ(stat("x/y/z", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_FALSE(CFile::XCreateDirectory(nullptr));
}

TEST_F(FileTest, CreateDirectoryOfAnAbsolutePath)
{
    std::string path = dir + "/p/q";
    testing::internal::CaptureStdout();
    EXPECT_TRUE(CFile::XCreateDirectory(path.c_str()));
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("failed to create directory: /tmp/ with errno: 17\n", 0), 0u) << printed;
    EXPECT_NE(printed.find("create directory: " + path + "/\n"), std::string::npos) << printed;
    EXPECT_TRUE(fs::is_directory(path));
}

TEST(CFileVersionTest, HandsOutTheLibraryVersion)
{
    CFileVersion version;
    char* text = nullptr;
    EXPECT_TRUE(version.GetString("FileVersion", &text, nullptr, 0));
    EXPECT_STREQ(text, "Version 1.30.0 build-16 (1/15/2002)");
    EXPECT_FALSE(version.GetString(nullptr, nullptr, nullptr, 0));
}
