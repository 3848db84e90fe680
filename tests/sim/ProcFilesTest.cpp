// The kernel files besides the driver's that the console uses: the module
// list with the driver's size and the kernel message levels, read and
// written as programs do, through stdio, plain descriptors and the shell.

#include "SimHelpers.h"
#include "SimProcFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace zelsim;
using simtest::LoadPreset;
using simtest::Shell;
using simtest::Snapshot;

namespace
{
const char kModules[] = "/proc/modules";
const char kPrintk[] = "/proc/sys/kernel/printk";

std::string ReadStdio(const char* path)
{
    std::string text;
    FILE* f = fopen(path, "r");
    if (!f)
        return "<" + std::string(strerror(errno)) + ">";
    int c;
    while ((c = fgetc(f)) != EOF)
        text += static_cast<char>(c);
    fclose(f);
    return text;
}

std::string ReadDescriptor(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<" + std::string(strerror(errno)) + ">";
    std::string text;
    char buf[64];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) > 0)
        text.append(buf, n);
    close(fd);
    return text;
}

bool WriteStdio(const char* text)
{
    FILE* f = fopen(kPrintk, "w");
    if (!f)
        return false;
    bool ok = fputs(text, f) >= 0;
    return fclose(f) == 0 && ok;
}

class ProcFiles : public ::testing::Test
{
protected:
    void SetUp() override { LoadPreset("one-adapter"); }
};
} // namespace

TEST_F(ProcFiles, ModuleListShowsTheDriverWithItsSize)
{
    const std::string line = std::string(kModuleName) + " 98304 0 - Live";
    EXPECT_NE(ReadStdio(kModules).find(line), std::string::npos) << ReadStdio(kModules);
    EXPECT_EQ(ReadDescriptor(kModules), ReadStdio(kModules));
    const std::string awk = std::string("awk '$1 == \"") + kModuleName + "\" {print $2}' /proc/modules";
    EXPECT_EQ(Shell(awk), "98304\n");

    int status = 0;
    Shell("zelsim driver module-size 123456", &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(Shell(awk), "123456\n");
    Shell("zelsim driver module-size -5", &status);
    EXPECT_NE(status, 0);
    EXPECT_EQ(Snapshot()->moduleSize, 123456u);

    // Without the driver the module is not listed, the others are.
    Shell("zelsim driver none", &status);
    EXPECT_EQ(Shell(awk), "");
    EXPECT_NE(ReadStdio(kModules).find("sd_mod "), std::string::npos);
}

TEST_F(ProcFiles, ModuleListCannotBeWritten)
{
    errno = 0;
    EXPECT_EQ(fopen(kModules, "w"), nullptr);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(open(kModules, O_WRONLY), -1);
    EXPECT_EQ(errno, EACCES);
}

TEST_F(ProcFiles, MessageLevelsAreSetAndRestoredAndEveryWriteIsKept)
{
    EXPECT_EQ(ReadStdio(kPrintk), "4\t4\t1\t7\n");
    EXPECT_EQ(ReadDescriptor(kPrintk), "4\t4\t1\t7\n");

    ASSERT_TRUE(WriteStdio("0\n"));
    EXPECT_EQ(ReadStdio(kPrintk), "0\t4\t1\t7\n");

    int fd = open(kPrintk, O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(write(fd, "4\t4\t1\t7\n", 8), 8);
    close(fd);
    EXPECT_EQ(ReadDescriptor(kPrintk), "4\t4\t1\t7\n");

    // A shell's redirection hands the file to a builtin or to a child.
    int status = 0;
    Shell("echo 3 > /proc/sys/kernel/printk && /bin/echo 2 5 > /proc/sys/kernel/printk", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Shell("zelsim printk"), "printk 2 5 1 7\n"
                                      "write \"0\\n\"\n"
                                      "write \"4\\t4\\t1\\t7\\n\"\n"
                                      "write \"3\\n\"\n"
                                      "write \"2 5\\n\"\n");
}

TEST_F(ProcFiles, WritesTakeOneToFourLevelsAndRefuseTheRest)
{
    struct Case
    {
        const char* text;
        int err;
        int32_t levels[kPrintkFields];
    } cases[] = {
        {"0", 0, {0, 4, 1, 7}},        {"7 4 1 7\n", 0, {7, 4, 1, 7}}, {"3\t5", 0, {3, 5, 1, 7}},
        {"-1", 0, {-1, 4, 1, 7}},      {"", EINVAL, {4, 4, 1, 7}},     {"\n", EINVAL, {4, 4, 1, 7}},
        {"abc", EINVAL, {4, 4, 1, 7}}, {"1 2 3 4 5", EINVAL, {4, 4, 1, 7}},
        {"5x", EINVAL, {4, 4, 1, 7}},  {"99999999999", EINVAL, {4, 4, 1, 7}},
    };
    for (const Case& c : cases)
    {
        SimState s{};
        for (int i = 0; i < kPrintkFields; i++)
            s.printk[i] = kDefaultPrintk[i];
        EXPECT_EQ(WritePrintk(s, c.text, strlen(c.text)), c.err) << c.text;
        for (int i = 0; i < kPrintkFields; i++)
            EXPECT_EQ(s.printk[i], c.levels[i]) << c.text << " level " << i;
        ASSERT_EQ(s.numPrintkWrites, 1u);
        EXPECT_EQ(std::string(s.printkWrites[0].text, s.printkWrites[0].length), c.text);
    }

    // A refused write fails where the program can see it.
    EXPECT_FALSE(WriteStdio("loud"));
    int fd = open(kPrintk, O_WRONLY);
    ASSERT_GE(fd, 0);
    errno = 0;
    EXPECT_EQ(write(fd, "x", 1), -1);
    EXPECT_EQ(errno, EINVAL);
    close(fd);
    EXPECT_EQ(ReadStdio(kPrintk), "4\t4\t1\t7\n");
}

TEST_F(ProcFiles, LevelsCanBePresetAndTheRecordStaysBounded)
{
    int status = 0;
    Shell("zelsim printk 7 4 1 7", &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(Shell("zelsim printk"), "printk 7 4 1 7\n");
    Shell("zelsim printk loud", &status);
    EXPECT_NE(status, 0);

    for (int i = 0; i < kMaxPrintkWrites + 4; i++)
        ASSERT_TRUE(WriteStdio(std::to_string(i).c_str()));
    auto s = Snapshot();
    ASSERT_EQ(s->numPrintkWrites, static_cast<uint32_t>(kMaxPrintkWrites));
    EXPECT_EQ(std::string(s->printkWrites[0].text, s->printkWrites[0].length), "4");
    EXPECT_EQ(s->printk[0], kMaxPrintkWrites + 3);
}
