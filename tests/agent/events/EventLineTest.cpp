#include "CLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace
{
struct ParseCase
{
    const char* text;
    uint32_t id;
    uint32_t time;
    uint32_t severity;
    const char* title;
    const char* detail;
};

const ParseCase kParseCases[] = {
    {"512@1000@1@Disk Fail@Disk 3 of channel 1 failed", 512, 1000, 1, "Disk Fail",
     "Disk 3 of channel 1 failed"},
    {"513@5@2@Title@a@b@@c", 513, 5, 2, "Title", "a@b@@c"},
    {"514@5@3@Title@", 514, 5, 3, "Title", ""},
    {"515@5@3@Title", 515, 5, 3, "Title", ""},
    {"516@77", 516, 77, 0, "", ""},
    {"517", 517, 0, 0, "", ""},
    {"", 0, 0, 0, "", ""},
    {"@@@@", 0, 0, 0, "", ""},
    {"abc@x1@y@T@D", 0, 0, 0, "T", "D"},
    {"-1@-2@7@T@D", 0xFFFFFFFF, 0xFFFFFFFE, 7, "T", "D"},
    {"4294967297@12abc@ 3@T@D", 1, 12, 3, "T", "D"},
};

TEST(EventLineTest, ParsesEveryFieldOrLeavesItZero)
{
    for (const ParseCase& c : kParseCases)
    {
        CLog log(nullptr, nullptr, c.text);
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(log.m_bInit);
        EXPECT_EQ(log.m_nEventID, c.id);
        EXPECT_EQ(log.m_tTime, c.time);
        EXPECT_EQ(log.m_nSeverity, c.severity);
        EXPECT_STREQ(log.m_strTitle, c.title);
        EXPECT_STREQ(log.m_strDetail, c.detail);
    }
}

TEST(EventLineTest, WithoutTextNothingIsParsedAndNothingStored)
{
    CLog log(nullptr, "/Adapter0", nullptr);
    EXPECT_FALSE(log.m_bInit);
    EXPECT_FALSE(log.Store());
}

TEST(EventLineTest, ConsoleTextRebuildsTheLine)
{
    for (const char* text :
         {"512@1000@1@Disk Fail@Disk 3 failed", "513@5@2@T@a@b@@c", "0@0@0@@", "-1@-2@7@T@D"})
    {
        CLog log(nullptr, nullptr, text);
        CString out;
        log.ToConsoleString(out);
        EXPECT_STREQ(out, text);
    }
}

struct MailCase
{
    const char* text;
    const char* body;
    const char* subject;
};

const MailCase kMailCases[] = {
    {"512@0@1@Disk Fail@Disk 3 failed", "01/01/70 00:00:00 Disk 3 failed", "Error-Disk Fail"},
    {"513@1700000000@2@Hot@ 2 degrees", "11/14/23 22:13:20  2 degrees", "Warning-Hot"},
    {"514@951782400@3@Leap@ok", "02/29/00 00:00:00 ok", "Information-Leap"},
    {"515@60@7@Odd@x@y", "01/01/70 00:01:00 x@y", "Unknown-Odd"},
    {"516@60@0@Zero@", "01/01/70 00:01:00 ", "Unknown-Zero"},
};

TEST(EventLineTest, MailTextsCarryLocalDateSeverityAndTitle)
{
    setenv("TZ", "UTC", 1);
    tzset();
    for (const MailCase& c : kMailCases)
    {
        CLog log(nullptr, nullptr, c.text);
        CString body, subject;
        log.ToEmailString(body, subject);
        EXPECT_STREQ(body, c.body) << c.text;
        EXPECT_STREQ(subject, c.subject) << c.text;
    }
}

struct PlaceCase
{
    const char* folder;
    const char* dir;
    const char* name;
    const char* path;
};

const PlaceCase kPlaceCases[] = {
    {"/", "/var/log/tavrine/", ".log", "/var/log/tavrine/.log"},
    {"/Adapter0", "/var/log/tavrine/Adapter0", "Adapter0.log",
     "/var/log/tavrine/Adapter0/Adapter0.log"},
    {"/MV7000/Adapter0/Array1", "/var/log/tavrine/MV7000/Adapter0/Array1", "Array1.log",
     "/var/log/tavrine/MV7000/Adapter0/Array1/Array1.log"},
};

TEST(EventLineTest, EachFolderHasItsOwnLogFile)
{
    for (const PlaceCase& c : kPlaceCases)
    {
        CLog log(nullptr, c.folder, nullptr);
        EXPECT_STREQ(log.m_strDir, c.dir);
        EXPECT_STREQ(log.m_strFileName, c.name);
        EXPECT_STREQ(log.GetPath(), c.path);
    }
    for (const char* outside : {static_cast<const char*>(nullptr), "/..", "/Adapter0/../../../etc", "/./x", "..",
                                "/a/.."})
    {
        CLog none(nullptr, outside, "512@1@1@T@D");
        EXPECT_TRUE(none.m_strDir.IsEmpty()) << (outside ? outside : "null");
        EXPECT_FALSE(none.Store());
        EXPECT_FALSE(none.ClearEvent());
    }
    CLog dotted(nullptr, "/a..b/...", nullptr);
    EXPECT_STREQ(dotted.GetPath(), "/var/log/tavrine/a..b/.../....log");
}
} // namespace
