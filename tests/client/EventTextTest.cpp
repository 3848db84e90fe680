// Event texts and notices in words, and the events command's query.

#include "EventQuery.h"
#include "EventText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace
{
// Event times are told in local time; these rows are written in UTC.
void UseUtc()
{
    setenv("TZ", "UTC", 1);
    tzset();
}

TEST(EventTextTest, EventsAreDecodedAndOtherTextsKept)
{
    UseUtc();
    const struct
    {
        const char* text;
        const char* words;
    } rows[] = {
        {"256@1000@1@Drv. Fail@disk 1", "1970-01-01 00:16:40 Error 256 Drv. Fail: disk 1"},
        {"512@0@2@Bad@a@b", "1970-01-01 00:00:00 Warning 512 Bad: a@b"},
        {"0@0@3@Email Error@x.", "1970-01-01 00:00:00 Information 0 Email Error: x."},
        {"9@0@7@T@", "1970-01-01 00:00:00 Unknown 9 T: "},
        {"256@1000@1@no detail", "256@1000@1@no detail"},
        {"x@1000@1@T@d", "x@1000@1@T@d"},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(halsen::DescribeEvent(row.text), row.words) << row.text;
}

TEST(EventTextTest, NoticesAreToldInWords)
{
    UseUtc();
    const struct
    {
        int command;
        int kind;
        const char* body;
        const char* words;
    } rows[] = {
        {8195, halsen::kNotice, "\\MVP1@256@1000@1@Drv. Fail@disk 1",
         "event   \\MVP1 1970-01-01 00:16:40 Error 256 Drv. Fail: disk 1"},
        {8195, halsen::kNotice, "\\MVP1@", "event   \\MVP1"},
        {8194, halsen::kNotice, "\\MVP1\\array1@", "changed \\MVP1\\array1"},
        {8193, halsen::kNotice, "\\MVP1\\array1@", "removed \\MVP1\\array1"},
        {8192, halsen::kNotice, "", "notice  8192"},
        {8194, halsen::kNotice, "no path", "notice  8194 no path"},
        {8195, halsen::kData, "\\MVP1@x", "data    \\MVP1@x"},
    };
    for (const auto& row : rows)
    {
        halsen::Packet p;
        p.command = row.command;
        p.kind = row.kind;
        p.body = row.body;
        EXPECT_EQ(halsen::DescribeNotice(p), row.words) << row.body;
    }
}

TEST(EventQueryTest, WordsGiveTheReadEventRequest)
{
    const struct
    {
        std::vector<std::string> words;
        std::vector<std::string> path;
        const char* body;
    } rows[] = {
        {{"\\MVP1"}, {"MVP1"}, "ReadEvent@0@0@0"},
        {{"Dev/MVP1/", "--limit", "5"}, {"Dev", "MVP1"}, "ReadEvent@0@5@0"},
        {{"\\Dev\\MVP1", "--oldest"}, {"Dev", "MVP1"}, "ReadEvent@0@-2147483647@0"},
        {{"\\", "--oldest", "--limit", "2", "--from", "79", "1700000000"}, {}, "ReadEvent@79@-2@1700000000"},
    };
    for (const auto& row : rows)
    {
        halsen::EventQuery query;
        std::string problem;
        ASSERT_TRUE(halsen::ParseEventQuery(row.words, query, problem)) << row.words[0] << ": " << problem;
        EXPECT_EQ(query.path, row.path);
        EXPECT_EQ(halsen::ReadEventBody(query), row.body);
    }
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{},
                                               {"--oldest"},
                                               {"\\MVP1", "--limit"},
                                               {"\\MVP1", "--limit", "-3"},
                                               {"\\MVP1", "--limit", "3000000000"},
                                               {"\\MVP1", "--from", "1"},
                                               {"\\MVP1", "--from", "1", "99999999999"},
                                               {"\\MVP1", "--newest"}})
    {
        halsen::EventQuery query;
        std::string problem;
        EXPECT_FALSE(halsen::ParseEventQuery(bad, query, problem)) << (bad.empty() ? "" : bad.back());
        EXPECT_FALSE(problem.empty());
    }
}
} // namespace
