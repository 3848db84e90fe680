// The kernel files the console reads and writes itself: the module list
// and the console message level.

#include "KernelLevel.h"
#include "ModuleSize.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace
{
class KernelFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/velcon-files-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
    }
    void TearDown() override { system(("rm -rf " + m_dir).c_str()); }

    std::string Write(const std::string& name, const std::string& text)
    {
        std::string path = m_dir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    static std::string Read(const std::string& path)
    {
        std::stringstream s;
        s << std::ifstream(path).rdbuf();
        return s.str();
    }

    std::string m_dir;
};

struct ModuleCase
{
    std::string list;
    const char* text;
};

TEST_F(KernelFiles, ModuleSizeComesFromTheModuleLine)
{
    const ModuleCase cases[] = {
        {"sd_mod 57344 3 - Live 0x0\nMorliven 98304 0 - Live 0x0\n", "98304B"},
        {"Morliven 1234\n", "1234B"},
        {"Morliven 12345678901234 0 - Live\n", "123456789B"}, // nine digits at most, as before
        {"MorlivenX 555 0 - Live\nsd_mod 57344 3 - Live 0x0\n", "B"},
        {"", "B"},
        {std::string(600, 'x') + " Morliven 1\nMorliven 77 0\n", "77B"},
    };
    for (const ModuleCase& c : cases)
    {
        std::string path = Write("modules", c.list);
        char text[16];
        ModuleSizeText(path.c_str(), "Morliven", text, sizeof(text));
        EXPECT_STREQ(text, c.text) << c.list;
    }
    char text[16];
    ModuleSizeText((m_dir + "/missing").c_str(), "Morliven", text, sizeof(text));
    EXPECT_STREQ(text, "B");
}

TEST_F(KernelFiles, LevelIsSilencedAndTheOldOneRestoredOnce)
{
    std::string path = Write("printk", "7\t4\t1\t7\n");
    ASSERT_TRUE(SilenceKernelMessages(path.c_str()));
    EXPECT_EQ(Read(path), "0\n");
    RestoreKernelMessages();
    EXPECT_EQ(Read(path), "7\n");
    Write("printk", "3\n");
    RestoreKernelMessages(); // nothing saved any more
    EXPECT_EQ(Read(path), "3\n");
}

TEST_F(KernelFiles, UnreadableLevelIsLeftAlone)
{
    std::string path = Write("printk", "garbage\n");
    EXPECT_FALSE(SilenceKernelMessages(path.c_str()));
    EXPECT_EQ(Read(path), "garbage\n");
    RestoreKernelMessages();
    EXPECT_EQ(Read(path), "garbage\n");
    EXPECT_FALSE(SilenceKernelMessages((m_dir + "/missing").c_str()));
}

TEST(ConsoleLevel, FirstNumberIsTheConsoleLevel)
{
    EXPECT_EQ(ParseConsoleLevel("4\t4\t1\t7\n"), 4);
    EXPECT_EQ(ParseConsoleLevel(" 15 4"), 15);
    EXPECT_EQ(ParseConsoleLevel("8"), 8);
    EXPECT_EQ(ParseConsoleLevel(""), -1);
    EXPECT_EQ(ParseConsoleLevel("-1 4"), -1);
    EXPECT_EQ(ParseConsoleLevel("4x"), -1);
    EXPECT_EQ(ParseConsoleLevel("12345"), -1);
}
} // namespace
