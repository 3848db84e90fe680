// Help sections and the wrapping of texts into screen lines.

#include "CHelpFile.h"
#include "CTextWrap.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
std::vector<std::string> Lines(const char* text, int width)
{
    std::vector<std::string> lines;
    CTextWrap wrap(text, static_cast<int>(strlen(text)), width);
    const char* start;
    int length;
    while (wrap.Next(&start, &length))
        lines.emplace_back(start, length);
    return lines;
}

std::string Help(const CHelpFile& file, const char* prompt)
{
    const char* start;
    int length;
    file.Find(prompt, &start, &length);
    return std::string(start, length);
}

const char kHelp[] = "General text.\n"
                     "[*]\n"
                     "Any screen.\n"
                     "[/adapter#/disk]\n"
                     "Disks of an adapter.\n"
                     "[not a header\n"
                     "[/adapter#]\n"
                     "The adapter menu.\n"
                     "[Select#(or more)disks:]\n"
                     "Mark the disks.\n";
} // namespace

TEST(TextWrap, BreaksAtNewlinesAndSpaces)
{
    EXPECT_EQ(Lines("Attention:\nYou must wait", 40), (std::vector<std::string>{"Attention:", "You must wait"}));
    EXPECT_EQ(Lines("one two three four", 9), (std::vector<std::string>{"one two", "three", "four"}));
    EXPECT_EQ(Lines("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
    EXPECT_EQ(Lines("a\n\nb\n", 4), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Lines("", 4), std::vector<std::string>{});
    EXPECT_EQ(Lines("xy", 0), (std::vector<std::string>{"x", "y"}));
    int widest = 0;
    EXPECT_EQ(CTextWrap::CountLines("ab\nabcd\nabc", 80, &widest), 3);
    EXPECT_EQ(widest, 4);
    EXPECT_EQ(CTextWrap::CountLines(nullptr, 80), 0);
}

TEST(HelpFile, PromptsFindTheirSectionDigitsAside)
{
    char key[32];
    CHelpFile::MakeKey("/adapter12/array3", key, sizeof(key));
    EXPECT_STREQ(key, "/adapter#/array#");
    CHelpFile::MakeKey("/adapter0/maintenance", key, 10);
    EXPECT_STREQ(key, "/adapter#");

    CHelpFile file;
    file.SetText(kHelp, sizeof(kHelp) - 1);
    EXPECT_EQ(Help(file, "/adapter1/disk"), "Disks of an adapter.\n[not a header\n");
    EXPECT_EQ(Help(file, "/adapter0"), "The adapter menu.\n");
    EXPECT_EQ(Help(file, "Select2(or more)disks:"), "Mark the disks.\n");
    EXPECT_EQ(Help(file, "/adapter0/misc"), "Any screen.\n");

    const char plain[] = "Only text.\n[/x]\nx\n";
    file.SetText(plain, sizeof(plain) - 1);
    EXPECT_EQ(Help(file, "/y"), plain);
    EXPECT_EQ(Help(file, "/x"), "x\n");
}

TEST(HelpFile, LoadsLargeFilesWhole)
{
    char path[] = "/tmp/helpXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string text = "[*]\n" + std::string(10000, 'h') + "\n[/end]\nlast\n";
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    CHelpFile file;
    EXPECT_TRUE(file.Load(path));
    EXPECT_EQ(Help(file, "/end"), "last\n");
    EXPECT_EQ(Help(file, "/other").size(), 10001u);
    unlink(path);
    EXPECT_FALSE(file.Load(path));
    EXPECT_FALSE(file.Load(nullptr));
}
