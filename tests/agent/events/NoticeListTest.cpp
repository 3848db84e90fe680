#include "CAgentDoc.h"
#include "CLog.h"
#include "CProfile.h"
#include "EventsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{
struct ListCase
{
    const char* text;
    bool valid;
    std::vector<unsigned long> ids;
};

const char kAllIds[] =
    "21@256@257@258@512@513@514@515@516@517@521@522@518@519@520@524@523@525@526@527@528@529";
const char kTooMany[] =
    "22@256@257@258@512@513@514@515@516@517@521@522@518@519@520@524@523@525@526@527@528@529@256";

const ListCase kListCases[] = {
    {"0", true, {}},
    {"1@512", true, {512}},
    {"2@512@513", true, {512, 513}},
    {"3@529@256@512", true, {529, 256, 512}},
    {"2@512@512", true, {512, 512}},
    {kAllIds, true, {256, 257, 258, 512, 513, 514, 515, 516, 517, 521, 522,
                     518, 519, 520, 524, 523, 525, 526, 527, 528, 529}},
    {kTooMany, false, {}},
    {"22", false, {}},
    {"2@512@999", false, {}},
    {"1@0", false, {}},
    {"1@530", false, {}},
    {"1@512@513", false, {}},
    {"2@512", false, {}},
    {"0@512", false, {}},
    {"1@512@", false, {}},
    {"1@@512", false, {}},
    {"1@512x", false, {}},
    {"1 @512", false, {}},
    {"-1@512", false, {}},
    {"1@0000000000512", false, {}},
    {"99999999999999999999@512", false, {}},
    {"", false, {}},
    {"@512", false, {}},
};

TEST(NoticeListTest, SyntaxCheckAcceptsOnlyWholeListsOfKnownIds)
{
    for (const ListCase& c : kListCases)
    {
        unsigned long count = 77;
        unsigned long* ids = reinterpret_cast<unsigned long*>(&count);
        bool valid = CLog::strListSyntax(c.text, count, ids);
        EXPECT_EQ(valid, c.valid) << c.text;
        std::vector<unsigned long> got(ids, ids + (valid ? count : 0));
        EXPECT_EQ(got, c.ids) << c.text;
        if (!valid || c.ids.empty())
        {
            EXPECT_EQ(ids, nullptr) << c.text;
        }
        delete[] ids;
    }
    unsigned long count = 0;
    unsigned long* ids = nullptr;
    EXPECT_FALSE(CLog::strListSyntax(nullptr, count, ids));
}

TEST(NoticeListTest, NumInListLooksAtTheFirstEntriesOnly)
{
    const unsigned long ids[] = {512, 513, 514};
    EXPECT_TRUE(CLog::NumInList(513, ids, 3));
    EXPECT_FALSE(CLog::NumInList(514, ids, 2));
    EXPECT_FALSE(CLog::NumInList(512, nullptr, 3));
    EXPECT_FALSE(CLog::NumInList(512, ids, 0));
}

std::string StoredList(const char* key)
{
    return ProfileValue("LogEvent", key);
}

TEST(NoticeListTest, DocumentStoresOnlyValidLists)
{
    RequireSandbox();
    CString list("unchanged");
    EXPECT_TRUE(g_AgentDoc.GetEmailNoticeList(list));
    EXPECT_STREQ(list, "");

    EXPECT_TRUE(g_AgentDoc.SetEmailNoticeList("1@512"));
    EXPECT_FALSE(g_AgentDoc.SetEmailNoticeList("2@512"));
    EXPECT_FALSE(g_AgentDoc.SetEmailNoticeList(nullptr));
    EXPECT_EQ(StoredList("EmailNotice"), "1@512");
    EXPECT_TRUE(g_AgentDoc.SetReportNoticeList("0"));
    EXPECT_FALSE(g_AgentDoc.SetReportNoticeList("1@999"));
    EXPECT_EQ(StoredList("ReportNotice"), "0");
    EXPECT_TRUE(g_AgentDoc.GetReportNoticeList(list));
    EXPECT_STREQ(list, "0");
}

// A list that cannot be written is not reported as stored.
TEST(NoticeListTest, AListThatCannotBeWrittenIsReported)
{
    RequireSandbox();
    // The agent document made the profile at start; a full disk takes its place.
    std::filesystem::remove_all("/etc/tavrine");
    FullDisk disk("/etc/tavrine");
    ASSERT_TRUE(g_AgentDoc.SetEmailNoticeList("1@512"));
    disk.Fill();
    EXPECT_FALSE(g_AgentDoc.SetEmailNoticeList("1@513"));
    disk.Free();
    EXPECT_EQ(StoredList("EmailNotice"), "1@512");
}

TEST(NoticeListTest, EventsAreReportedWhenTheirIdIsListed)
{
    RequireSandbox();
    CLog listed(&g_AgentDoc, "/Adapter0", "512@1@1@T@D");
    CLog other(&g_AgentDoc, "/Adapter0", "513@1@1@T@D");
    CLog orphan(nullptr, "/Adapter0", "512@1@1@T@D");
    EXPECT_FALSE(listed.NeedEmailReport());
    EXPECT_FALSE(listed.NeedConsoleReport());

    ASSERT_TRUE(g_AgentDoc.SetEmailNoticeList("2@514@512"));
    ASSERT_TRUE(g_AgentDoc.SetReportNoticeList("1@513"));
    EXPECT_TRUE(listed.NeedEmailReport());
    EXPECT_FALSE(listed.NeedConsoleReport());
    EXPECT_FALSE(other.NeedEmailReport());
    EXPECT_TRUE(other.NeedConsoleReport());
    EXPECT_FALSE(orphan.NeedEmailReport());

    // A list edited by hand into something invalid matches nothing.
    CProfile().WriteProfile("LogEvent", "EmailNotice", "1@512@513");
    EXPECT_FALSE(listed.NeedEmailReport());
}
} // namespace
