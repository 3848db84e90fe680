#include "CProfile.h"
#include "TempDirTest.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
class ProfileTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        path = dir + "/test.rc";
    }

    void WriteFile(const std::string& content) const { Put(path, content); }
    std::string ReadFile() const { return Take(path); }
    std::string Get(const char* section, const char* key) const
    {
        CProfile profile(path.c_str());
        CString value("stale");
        profile.GetProfile(section, key, value);
        return value.GetBuffer();
    }
    int FilesInDir() const
    {
        int n = 0;
        for (auto it = fs::directory_iterator(dir); it != fs::directory_iterator(); ++it)
            ++n;
        return n;
    }
    // Starts a writer that rewrites K of [S] with the two values in turn,
    // and kills it at a random moment of up to `maxDelayUs` after its first
    // write. The writer reports every finished write, so it is killed after
    // at least one, however slow the machine is.
    void KillWriterMidWay(const std::string& first, const std::string& second, std::mt19937& random,
                          unsigned maxDelayUs) const
    {
        int done[2];
        ASSERT_EQ(pipe(done), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            close(done[0]);
            CProfile profile(path.c_str());
            for (long i = 0;; ++i)
            {
                profile.WriteProfile("S", "K", (i % 2 ? first : second).c_str());
                ASSERT_EQ(write(done[1], "w", 1), 1);
            }
        }
        close(done[1]);
        char byte;
        ASSERT_EQ(read(done[0], &byte, 1), 1) << "the writer never got a write done";
        usleep(random() % maxDelayUs);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        close(done[0]);
    }

    std::string path;
};

const std::string kLong300(300, 'a');
}

TEST_F(ProfileTest, ReadsFollowTheLineRules)
{
    struct Case
    {
        const char* name;
        std::string file;
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"plain entry", "[S]\nK=V\n", "S", "K", "V"},
        {"missing section", "[S]\nK=V\n", "T", "K", ""},
        {"missing key", "[S]\nK=V\n", "S", "J", ""},
        {"key only in another section", "[A]\nK=1\n[S]\nJ=2\n", "S", "K", ""},
        {"lines before the first header are no entries", "K=top\n[S]\nK=V\n", "S", "K", "V"},
        {"no comment syntax: ';' and '#' lines are keys", "[S]\n;K=x\n#K=y\nK=V\n", "S", ";K", "x"},
        {"comment-like lines are skipped for other keys", "[S]\n;K=x\n#K=y\nK=V\n", "S", "K", "V"},
        {"blank lines", "\n[S]\n\n\nK=V\n\n", "S", "K", "V"},
        {"duplicate section: first one is searched", "[S]\nA=1\n[T]\n[S]\nB=2\n", "S", "A", "1"},
        {"duplicate section: later one is not searched", "[S]\nA=1\n[T]\n[S]\nB=2\n", "S", "B", ""},
        {"duplicate key: first one wins", "[S]\nK=first\nK=second\n", "S", "K", "first"},
        {"CRLF: carriage return stays in the value", "[S]\r\nK=V\r\n", "S", "K", "V\r"},
        {"value containing '='", "[S]\nK=a=b=c\n", "S", "K", "a=b=c"},
        {"blanks around '=' belong to key and value", "[S]\nK = V\n", "S", "K ", " V"},
        {"key without its blank is not found", "[S]\nK = V\n", "S", "K", ""},
        {"section names are case-sensitive", "[S]\nK=V\n", "s", "K", ""},
        {"keys are case-sensitive", "[S]\nK=V\n", "S", "k", ""},
        {"blanks inside brackets are part of the name", "[ S ]\nK=V\n", " S ", "K", "V"},
        {"blanks inside brackets do not match the bare name", "[ S ]\nK=V\n", "S", "K", ""},
        {"text after ']' is ignored", "[S] junk\nK=V\n", "S", "K", "V"},
        {"header without ']' names nothing", "[S\nK=V\n", "S", "K", ""},
        {"a '[' in a line makes it a header that ends the section", "[S]\nA=x[y\nK=V\n", "S", "K", ""},
        {"no final newline", "[S]\nK=V", "S", "K", "V"},
        {"empty value", "[S]\nK=\n", "S", "K", ""},
        {"only line ends are trimmed", "[S]\nK= V \t\n", "S", "K", " V \t"},
        {"a line of 300 is read whole", "[S]\nK=" + kLong300 + "\n", "S", "K", kLong300},
        {"a long line is one line: no entry starts inside it", "[S]\n" + std::string(255, 'x') + "J=rest\n",
         "S", "J", ""},
        {"empty file", "", "S", "K", ""},
    };
    for (const Case& c : cases)
    {
        WriteFile(c.file);
        EXPECT_EQ(Get(c.section, c.key), c.expected) << c.name;
        EXPECT_EQ(ReadFile(), c.file) << c.name << ": a read changed the file";
    }
}

TEST_F(ProfileTest, IntegerReadsFollowTheAtoiRule)
{
    struct Case
    {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"42", 42},        {"  -7x", -7},   {"+5", 5},           {"abc", 0},
        {"", 0},           {"12 34", 12},   {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    for (const Case& c : cases)
    {
        WriteFile(std::string("[S]\nN=") + c.text + "\n");
        CProfile profile(path.c_str());
        int value = 1234;
        profile.GetProfile("S", "N", &value);
        EXPECT_EQ(value, c.expected) << c.text;
    }
    CProfile profile(path.c_str());
    int missing = 1234;
    profile.GetProfile("S", "nothing", &missing);
    EXPECT_EQ(missing, 0);
}

TEST_F(ProfileTest, WritesChangeOnlyTheirLine)
{
    const std::string keep = "; top comment\n\n[S]\nnot an entry\nK=short\n\n  \n[T]\nX=1\n";
    struct Case
    {
        const char* name;
        std::string file;
        const char* section;
        const char* key;
        const char* value;
        std::string expected;
    };
    const Case cases[] = {
        {"empty file", "", "S", "K", "V", "[S]\nK=V\n"},
        {"new key goes before the next section", "[S]\nA=1\n[T]\nB=2\n", "S", "C", "3",
         "[S]\nA=1\nC=3\n[T]\nB=2\n"},
        {"new key in the last section goes to the end", "[S]\nA=1\n", "S", "C", "3", "[S]\nA=1\nC=3\n"},
        {"new section goes to the end", "[S]\nA=1\n", "T", "B", "2", "[S]\nA=1\n[T]\nB=2\n"},
        {"longer value keeps every other byte", keep, "S", "K", "a much longer value",
         "; top comment\n\n[S]\nnot an entry\nK=a much longer value\n\n  \n[T]\nX=1\n"},
        {"shorter value keeps every other byte", keep, "S", "K", "",
         "; top comment\n\n[S]\nnot an entry\nK=\n\n  \n[T]\nX=1\n"},
        {"duplicate key: first one is rewritten", "[S]\nK=1\nK=2\n", "S", "K", "9", "[S]\nK=9\nK=2\n"},
        {"duplicate section: added to the first one", "[S]\nA=1\n[T]\n[S]\nB=2\n", "S", "B", "new",
         "[S]\nA=1\nB=new\n[T]\n[S]\nB=2\n"},
        {"CRLF file: only the rewritten line changes", "[S]\r\nK=old\r\nJ=1\r\n", "S", "K", "new",
         "[S]\r\nK=new\nJ=1\r\n"},
        {"no final newline: new key gets a line of its own", "[S]\nA=1", "S", "B", "2", "[S]\nA=1\nB=2\n"},
        {"no final newline: new section gets a line of its own", "[S]\nA=1", "T", "B", "2",
         "[S]\nA=1\n[T]\nB=2\n"},
        {"no final newline: last entry rewritten", "[S]\nK=1", "S", "K", "2", "[S]\nK=2\n"},
        {"over-long line is replaced whole", "[S]\nK=" + kLong300 + "\nJ=1\n", "S", "K", "v",
         "[S]\nK=v\nJ=1\n"},
        {"over-long last line without newline is replaced whole", "[S]\nK=" + kLong300, "S", "K", "v",
         "[S]\nK=v\n"},
        {"over-long value is written whole", "", "S", "K", kLong300.c_str(), "[S]\nK=" + kLong300 + "\n"},
        {"line holding a NUL byte is replaced up to its own end", std::string("[S]\nK=a\0b\nJ=1\n", 14), "S",
         "K", "new", "[S]\nK=new\nJ=1\n"},
        {"value containing '='", "", "S", "K", "a=b", "[S]\nK=a=b\n"},
        {"carriage return in a value is kept", "", "S", "K", "v\r", "[S]\nK=v\r\n"},
        {"key with a blank is another key", "[S]\nK = V\n", "S", "K", "x", "[S]\nK = V\nK=x\n"},
        {"similar section name is another section", "[S ]\nK=1\n", "S", "K", "2", "[S ]\nK=1\n[S]\nK=2\n"},
        {"entries before the first header are left alone", "K=top\n[S]\nK=1\n", "S", "K", "2",
         "K=top\n[S]\nK=2\n"},
    };
    for (const Case& c : cases)
    {
        WriteFile(c.file);
        {
            CProfile profile(path.c_str());
            EXPECT_TRUE(profile.WriteProfile(c.section, c.key, c.value)) << c.name;
        }
        EXPECT_EQ(ReadFile(), c.expected) << c.name;
        EXPECT_EQ(Get(c.section, c.key), c.value) << c.name << ": read back";
        EXPECT_EQ(FilesInDir(), 1) << c.name << ": a temporary file was left behind";
    }
}

// Entries that could not be read back as themselves, or that would forge
// other lines, are not written at all.
TEST_F(ProfileTest, WritesThatWouldBreakTheFileAreRefused)
{
    struct Case
    {
        const char* name;
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"line break in the value forges an entry", "S", "K", "x\n[Morliven]\nPath1=/tmp/evil.so"},
        {"'[' in the value makes a header", "S", "K", "x[y]"},
        {"'=' in the key", "S", "a=b", "v"},
        {"'[' in the key", "S", "[k", "v"},
        {"line break in the key", "S", "k\nj", "v"},
        {"']' in the section", "a]b", "K", "v"},
        {"line break in the section", "a\nb", "K", "v"},
        {"null section", nullptr, "K", "v"},
        {"null key", "S", nullptr, "v"},
        {"null value", "S", "K", nullptr},
    };
    const std::string original = "[S]\nK=old\n";
    for (const Case& c : cases)
    {
        WriteFile(original);
        EXPECT_FALSE(CProfile::CanStore(c.section, c.key, c.value)) << c.name;
        {
            CProfile profile(path.c_str());
            EXPECT_FALSE(profile.WriteProfile(c.section, c.key, c.value)) << c.name;
        }
        EXPECT_EQ(ReadFile(), original) << c.name;
    }
}

TEST_F(ProfileTest, IntegerWritesUseDecimalText)
{
    {
        CProfile profile(path.c_str());
        profile.WriteProfile("S", "N", -5);
        profile.WriteProfile("S", "M", INT_MIN);
    }
    EXPECT_EQ(ReadFile(), "[S]\nN=-5\nM=-2147483648\n");
    CProfile profile(path.c_str());
    int value = 0;
    profile.GetProfile("S", "M", &value);
    EXPECT_EQ(value, INT_MIN);
}

TEST_F(ProfileTest, SeveralWritesThroughOneProfile)
{
    {
        CProfile profile(path.c_str());
        profile.WriteProfile("A", "one", "1");
        profile.WriteProfile("B", "two", "2");
        profile.WriteProfile("A", "three", "3");
        profile.WriteProfile("A", "one", "uno");
        CString value;
        profile.GetProfile("A", "three", value);
        EXPECT_STREQ(value, "3");
    }
    EXPECT_EQ(ReadFile(), "[A]\none=uno\nthree=3\n[B]\ntwo=2\n");
}

TEST_F(ProfileTest, MissingFileIsCreatedOwnerOnlyAndMaskRestored)
{
    mode_t previous = umask(022);
    {
        CProfile profile(path.c_str());
        CString value("x");
        profile.GetProfile("S", "K", value);
        EXPECT_STREQ(value, "");
    }
    mode_t now = umask(previous);
    EXPECT_EQ(now, 022u);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 0);
}

TEST_F(ProfileTest, RewriteKeepsTheFileMode)
{
    WriteFile("[S]\nK=1\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    {
        CProfile profile(path.c_str());
        profile.WriteProfile("S", "K", "2");
    }
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(), "[S]\nK=2\n");
}

TEST_F(ProfileTest, RewriteThroughASymbolicLinkKeepsTheLink)
{
    std::string target = dir + "/real.rc";
    Put(target, "[S]\nK=1\n");
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    {
        CProfile profile(path.c_str());
        profile.WriteProfile("S", "K", "2");
    }
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(Take(target), "[S]\nK=2\n");
}

TEST_F(ProfileTest, FileThatCannotBeOpenedGivesNothingAndTakesNothing)
{
    std::string nowhere = dir + "/missing-dir/test.rc";
    {
        CProfile profile(nowhere.c_str());
        CString value("x");
        int number = 7;
        profile.GetProfile("S", "K", value);
        profile.GetProfile("S", "K", &number);
        EXPECT_FALSE(profile.WriteProfile("S", "K", "v"));
        EXPECT_STREQ(value, "");
        EXPECT_EQ(number, 0);
    }
    EXPECT_FALSE(fs::exists(nowhere));
    CProfile empty("");
    EXPECT_FALSE(empty.WriteProfile("S", "K", "v"));
    CProfile null(nullptr);
    EXPECT_FALSE(null.WriteProfile("S", "K", "v"));
}

// Nothing is cached, so two profiles on one file see each other's writes,
// and neither write is lost.
TEST_F(ProfileTest, TwoProfilesSeeEachOthersWrites)
{
    WriteFile("[S]\nK=1\n");
    CProfile first(path.c_str());
    CProfile second(path.c_str());
    second.WriteProfile("S", "K", "2");
    CString value;
    first.GetProfile("S", "K", value);
    EXPECT_STREQ(value, "2");
    first.WriteProfile("S", "J", "3");
    second.GetProfile("S", "J", value);
    EXPECT_STREQ(value, "3");
    EXPECT_EQ(ReadFile(), "[S]\nK=2\nJ=3\n");
}

// Lines longer than the bound are seen whole as well: a "[" far into one
// still makes it a header, and what follows it is read as usual.
TEST_F(ProfileTest, VeryLongLinesAreReadSafely)
{
    std::string huge(100000, 'z');
    WriteFile("[S]\nK=" + huge + "\n" + huge + "[T]\nJ=" + huge + "\nL=end\n");
    EXPECT_EQ(Get("S", "K"), "") << "a value too long to be read whole is not handed out";
    EXPECT_EQ(Get("T", "L"), "end");
}

// A writer killed at any moment leaves either the old or the new profile,
// never a truncated or half-written one.
TEST_F(ProfileTest, WriterKilledMidWayLeavesOldOrNewFile)
{
    const std::string head = "[A]\nkeep=1\n\n; note\n[S]\nK=";
    const std::string tail = "\nafter=2\n[T]\nX=" + std::string(200, 'x') + "\n" + std::string(20000, '#') + "\n";
    const std::string shortValue = "s";
    const std::string longValue(240, 'L');
    const std::string oldFile = head + shortValue + tail;
    const std::string newFile = head + longValue + tail;
    WriteFile(oldFile);
    std::mt19937 random(20261210);
    for (int round = 0; round < 40; ++round)
    {
        ASSERT_NO_FATAL_FAILURE(KillWriterMidWay(shortValue, longValue, random, 4000)) << "round " << round;
        std::string now = ReadFile();
        ASSERT_TRUE(now == oldFile || now == newFile) << "round " << round << ": " << now.size() << " bytes";
        std::string value = Get("S", "K");
        ASSERT_TRUE(value == shortValue || value == longValue);
        ASSERT_EQ(Get("S", "after"), "2");
    }
}

namespace
{
// The longest value that `key` may have: its line, "=" and line end
// included, is as long as a line may be.
std::string LongestValue(const std::string& key, char fill)
{
    return std::string(CProfile::kMaxLine - key.size() - 2, fill);
}

// A profile of hand-written long entries among short ones, CRLF lines and
// text that is no entry.
std::string LongEntriesFile()
{
    return "; " + std::string(1000, 'c') + "\n[E-Mail log]\nEmailID=\"" + std::string(300, 'n') +
           "\" <me@example.com>\nReceiptor-1=\"" + std::string(4000, 'r') + "\" <r@example.com>\r\n\n[S]\nK=" +
           LongestValue("K", 'k') + "\nJ=1\n";
}
}

TEST_F(ProfileTest, LongEntriesAreReadAndWrittenWhole)
{
    struct Case
    {
        const char* section;
        const char* key;
        std::string value;
    };
    const Case cases[] = {
        {"E-Mail log", "EmailID", "\"" + std::string(300, 'n') + "\" <me@example.com>"},
        {"E-Mail log", "Receiptor-1", "\"" + std::string(4000, 'r') + "\" <r@example.com>\r"},
        {"S", "K", LongestValue("K", 'k')},
        {"S", "J", "1"},
    };
    const std::string original = LongEntriesFile();
    WriteFile(original);
    for (const Case& c : cases)
    {
        CProfile profile(path.c_str());
        CString value;
        EXPECT_EQ(profile.GetProfile(c.section, c.key, value), CProfile::kWhole) << c.key;
        EXPECT_EQ(std::string(value.GetBuffer()), c.value) << c.key;
    }
    // Writing each value back as it was read, and writing other entries,
    // changes nothing of them.
    for (const Case& c : cases)
    {
        CProfile profile(path.c_str());
        EXPECT_TRUE(profile.WriteProfile(c.section, c.key, c.value.c_str())) << c.key;
    }
    EXPECT_EQ(ReadFile(), original);
    {
        CProfile profile(path.c_str());
        EXPECT_TRUE(profile.WriteProfile("S", "J", "2"));
        EXPECT_TRUE(profile.WriteProfile("E-Mail log", "SMTP", "127.0.0.1"));
    }
    std::string expected = original;
    expected.replace(expected.find("J=1"), 3, "J=2");
    expected.insert(expected.find("[S]"), "SMTP=127.0.0.1\n");
    EXPECT_EQ(ReadFile(), expected);
    EXPECT_EQ(FilesInDir(), 1);
}

// A value longer than a line may be is refused whole: nothing of it is
// written, and what was there stays.
TEST_F(ProfileTest, ValuesOverTheBoundAreRefusedAndNothingIsWritten)
{
    struct Case
    {
        const char* name;
        std::string section;
        std::string key;
        std::string value;
        bool stored;
    };
    const std::string longSection(CProfile::kMaxLine - 3, 's');
    const Case cases[] = {
        {"the longest value", "S", "K", LongestValue("K", 'v'), true},
        {"one byte over", "S", "K", LongestValue("K", 'v') + "v", false},
        {"far over", "S", "K", std::string(200000, 'v'), false},
        {"a long key leaves less room", "S", std::string(100, 'k'), LongestValue("K", 'v'), false},
        {"the longest section", longSection, "K", "v", true},
        {"a section over the bound", longSection + "s", "K", "v", false},
    };
    const std::string original = "[S]\nK=old\n";
    for (const Case& c : cases)
    {
        WriteFile(original);
        EXPECT_EQ(CProfile::CanStore(c.section.c_str(), c.key.c_str(), c.value.c_str()), c.stored) << c.name;
        {
            CProfile profile(path.c_str());
            EXPECT_EQ(profile.WriteProfile(c.section.c_str(), c.key.c_str(), c.value.c_str()), c.stored)
                << c.name;
        }
        if (c.stored)
        {
            EXPECT_EQ(Get(c.section.c_str(), c.key.c_str()), c.value) << c.name;
        }
        else
        {
            EXPECT_EQ(ReadFile(), original) << c.name;
        }
        EXPECT_EQ(FilesInDir(), 1) << c.name;
    }
}

// An entry that cannot be read whole (longer than a line may be, or with a
// NUL byte in it) is found but its value is not handed out, so a caller
// cannot write it back cut; other writes keep its line byte for byte, and
// a write of its own key replaces the whole line.
TEST_F(ProfileTest, EntriesThatCannotBeReadWholeAreNeverHandedOutCut)
{
    struct Case
    {
        const char* name;
        std::string line;
    };
    const Case cases[] = {
        {"over the bound", "K=" + std::string(CProfile::kMaxLine, '7') + "\n"},
        {"over the bound, last line without its end", "K=" + std::string(CProfile::kMaxLine, '7')},
        {"a NUL byte", std::string("K=12\0rest\n", 10)},
    };
    for (const Case& c : cases)
    {
        const std::string file = "[A]\nX=1\n[S]\n" + c.line;
        WriteFile(file);
        {
            CProfile profile(path.c_str());
            CString text("stale");
            int number = 5;
            EXPECT_EQ(profile.GetProfile("S", "K", text), CProfile::kCut) << c.name;
            EXPECT_STREQ(text, "") << c.name;
            EXPECT_EQ(profile.GetProfile("S", "K", &number), CProfile::kCut) << c.name;
            EXPECT_EQ(number, 0) << c.name;
            EXPECT_EQ(profile.GetProfile("S", "missing", text), CProfile::kMissing) << c.name;
            EXPECT_EQ(profile.GetProfile("A", "X", text), CProfile::kWhole) << c.name;
            EXPECT_TRUE(profile.WriteProfile("A", "X", "2")) << c.name;
        }
        EXPECT_EQ(ReadFile(), "[A]\nX=2\n[S]\n" + c.line) << c.name;
        {
            CProfile profile(path.c_str());
            EXPECT_TRUE(profile.WriteProfile("S", "J", "after")) << c.name;
        }
        EXPECT_EQ(Get("S", "J"), "after") << c.name;
        {
            CProfile profile(path.c_str());
            EXPECT_TRUE(profile.WriteProfile("S", "K", "new")) << c.name;
        }
        EXPECT_EQ(Get("S", "K"), "new") << c.name;
        EXPECT_EQ(ReadFile().find('7'), std::string::npos) << c.name << ": the whole old line went";
    }
}

namespace
{
struct Leftover
{
    const char* name;
    bool removed;
};

// Makes what the name stands for in `dir`: "link" files are symbolic links
// to a file of their own, "dir" ones directories, "held" ones files that a
// writer holds locked (on the descriptor given back), "uid" ones files of
// another user; the rest plain files of ours.
int MakeLeftover(const std::string& dir, const std::string& name)
{
    const std::string path = dir + "/" + name;
    if (name.find("link") != std::string::npos)
    {
        std::ofstream(dir + "/target-of-" + name) << "kept";
        EXPECT_EQ(symlink((dir + "/target-of-" + name).c_str(), path.c_str()), 0);
        return -1;
    }
    if (name.find("dir") != std::string::npos)
    {
        EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
        return -1;
    }
    std::ofstream(path) << "half a profile";
    if (name.find("uid") != std::string::npos)
    {
        EXPECT_EQ(chown(path.c_str(), 12345, 12345), 0) << "the tests run as root";
    }
    if (name.find("held") == std::string::npos)
        return -1;
    int fd = open(path.c_str(), O_RDONLY);
    EXPECT_EQ(flock(fd, LOCK_EX), 0);
    return fd;
}

const Leftover kLeftovers[] = {
    {"test.rc.AbC123", true},
    {"test.rc.zz9XY0", true},
    {"test.rc.link01", false},
    {"test.rc.dir001", false},
    {"test.rc.held01", false},
    {"test.rc.uid001", false},
    {"test.rc.abc", false},
    {"test.rc.AbC1234", false},
    {"test.rc.AB-123", false},
    {"test.rcXAbC123", false},
    {"other.rc.AbC123", false},
};
}

// What killed writers left beside the profile goes, at the caller's word
// and before every rewrite; nothing else does.
TEST_F(ProfileTest, LeftoversOfKilledRewritesAreRemovedAndNothingElse)
{
    const bool throughWrite[] = {false, true};
    for (bool write : throughWrite)
    {
        fs::remove_all(dir);
        fs::create_directory(dir);
        WriteFile("[S]\nK=1\n");
        std::vector<int> held;
        for (const Leftover& l : kLeftovers)
            held.push_back(MakeLeftover(dir, l.name));
        if (write)
        {
            CProfile profile(path.c_str());
            EXPECT_TRUE(profile.WriteProfile("S", "K", "2"));
        }
        else
            CProfile::RemoveLeftovers(path.c_str());
        for (const Leftover& l : kLeftovers)
            EXPECT_EQ(fs::exists(fs::symlink_status(dir + "/" + l.name)), !l.removed)
                << l.name << (write ? " (before a rewrite)" : "");
        EXPECT_EQ(Take(dir + "/target-of-test.rc.link01"), "kept");
        for (int fd : held)
        {
            if (fd >= 0)
                close(fd);
        }
    }
}

// Writers killed in the middle of rewrites of a large profile leave their
// temporary files; the next rewrite takes every one of them away.
TEST_F(ProfileTest, TheNextRewriteRemovesWhatKilledWritersLeft)
{
    WriteFile("[S]\nK=0\n[T]\n" + std::string(2 << 20, '#') + "\n");
    std::mt19937 random(20261211);
    for (int round = 0; round < 12; ++round)
    {
        ASSERT_NO_FATAL_FAILURE(KillWriterMidWay("a", "b", random, 30000)) << "round " << round;
        {
            CProfile profile(path.c_str());
            ASSERT_TRUE(profile.WriteProfile("S", "K", "after"));
        }
        ASSERT_EQ(FilesInDir(), 1) << "round " << round;
        ASSERT_EQ(Get("S", "K"), "after");
    }
}

// Every rewrite puts a new file under the profile's name, so another hard
// link to the old file keeps the old contents, whole; the README and the
// agent's man page say so.
TEST_F(ProfileTest, ARewriteSplitsAHardLinkedProfileAsTheDocumentsSay)
{
    WriteFile("[S]\nK=1\n");
    const std::string other = dir + "/other.rc";
    ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
    {
        CProfile profile(path.c_str());
        EXPECT_TRUE(profile.WriteProfile("S", "K", "2"));
    }
    EXPECT_EQ(ReadFile(), "[S]\nK=2\n");
    EXPECT_EQ(Take(other), "[S]\nK=1\n");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 1u);
    for (const char* document : {"/README.md", "/dist/man/dorvik.8"})
    {
        const std::string text = Take(std::string(TAVRINE_SOURCE_DIR) + document);
        EXPECT_NE(text.find("hard link"), std::string::npos) << document;
    }
}
