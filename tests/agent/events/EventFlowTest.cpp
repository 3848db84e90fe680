#include "CAgentDoc.h"
#include "CEmail.h"
#include "CLog.h"
#include "EventsTestSupport.h"
#include "SmtpPeer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const char kFolder[] = "/MV7000/Adapter0";
const char kDiskFail[] = "512@1700000000@1@Disk Fail@Disk 3 of channel 1 failed";
const char kDiskIn[] = "513@1700000001@3@Disk In@Disk 4 of channel 1 inserted";

class EventFlowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        RequireSandbox();
        m_Mail.SetSMTPServer("127.0.0.1");
        m_Mail.SetEmailID("\"Raid Admin\" <admin@example.com>");
        m_Mail.AddReceiver("\"Ann\" <ann@example.com>");
        m_Mail.SetEnable(1);
    }

    // Hands one event to the document, its output kept out of the way.
    bool NewEvent(const char* event, const char* source = "yes", const char* folder = kFolder)
    {
        CString isMorliven(source);
        testing::internal::CaptureStdout();
        bool report = g_AgentDoc.OnNewEvent(event, folder, isMorliven, m_strReport);
        m_strOutput = testing::internal::GetCapturedStdout();
        return report;
    }

    // The folder's log, oldest first.
    std::vector<std::string> Stored(const char* folder = kFolder)
    {
        std::vector<std::string> events;
        unsigned long pos = 0, magic = 0;
        void* handle = g_AgentDoc.EnumEvent(folder, pos, magic, CLog::kForward);
        CString text;
        while (g_AgentDoc.GetNextEvent(handle, text))
            events.push_back(text.GetBuffer());
        g_AgentDoc.CloseEnumEvent(handle, pos, magic);
        return events;
    }

    // The machine folder keeps the mail settings loaded, as here.
    CEmail m_Mail;
    CString m_strReport;
    std::string m_strOutput;
};

TEST_F(EventFlowTest, WithoutNoticeListsEventsAreOnlyStored)
{
    EXPECT_FALSE(NewEvent(kDiskFail));
    EXPECT_STREQ(m_strReport, "");
    EXPECT_EQ(Stored(), std::vector<std::string>{kDiskFail});
}

TEST_F(EventFlowTest, ListedEventsAreReportedWithTheirText)
{
    ASSERT_TRUE(g_AgentDoc.SetReportNoticeList("1@512"));
    EXPECT_TRUE(NewEvent(kDiskFail));
    EXPECT_STREQ(m_strReport, kDiskFail);
    EXPECT_FALSE(NewEvent(kDiskIn));
    EXPECT_STREQ(m_strReport, "");
    EXPECT_EQ(Stored(), (std::vector<std::string>{kDiskFail, kDiskIn}));
}

TEST_F(EventFlowTest, ListedEventsAreMailedWithTheProductName)
{
    ASSERT_TRUE(g_AgentDoc.SetEmailNoticeList("2@512@513"));
    SmtpPeer peer;
    NewEvent(kDiskFail, "yes");
    NewEvent(kDiskIn, "no");
    std::vector<std::string> messages = peer.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].find("Subject: Error-Disk Fail\r\n"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("\r\n\r\nMessage from Morliven at "), std::string::npos);
    EXPECT_NE(messages[0].find(" Disk 3 of channel 1 failed\r\n"), std::string::npos);
    EXPECT_NE(messages[1].find("Subject: Information-Disk In\r\n"), std::string::npos)
        << messages[1];
    EXPECT_NE(messages[1].find("\r\n\r\nMessage from Kindravel at "), std::string::npos);
    EXPECT_EQ(Stored(), (std::vector<std::string>{kDiskFail, kDiskIn}));
}

TEST_F(EventFlowTest, WithMailTurnedOffListedEventsAreNotMailed)
{
    ASSERT_TRUE(g_AgentDoc.SetEmailNoticeList("1@512"));
    m_Mail.SetEnable(0);
    SmtpPeer peer;
    NewEvent(kDiskFail);
    EXPECT_TRUE(peer.Messages().empty());
    EXPECT_EQ(Stored(), std::vector<std::string>{kDiskFail}) << "no mail, so no mail error either";
}

TEST_F(EventFlowTest, FailedMailIsStoredAsAnEventBeforeTheEvent)
{
    ASSERT_TRUE(g_AgentDoc.SetEmailNoticeList("1@512"));
    ASSERT_TRUE(g_AgentDoc.SetReportNoticeList("1@512"));
    time_t before = time(nullptr);
    EXPECT_TRUE(NewEvent(kDiskFail));
    std::vector<std::string> stored = Stored();
    ASSERT_EQ(stored.size(), 2u);
    CLog failure(nullptr, nullptr, stored[0].c_str());
    EXPECT_EQ(failure.m_nEventID, 0u);
    EXPECT_GE(failure.m_tTime, static_cast<uint32_t>(before));
    EXPECT_EQ(failure.m_nSeverity, 1u);
    EXPECT_STREQ(failure.m_strTitle, "Email Error");
    EXPECT_STREQ(failure.m_strDetail, "Cannot Connect to 127.0.0.1.");
    EXPECT_EQ(stored[1], kDiskFail);
}

// A full disk loses the stored copy only: the event is still mailed and
// reported, and a diagnostic line tells of the failed store.
TEST_F(EventFlowTest, FullDiskStillMailsAndReports)
{
    ASSERT_TRUE(g_AgentDoc.SetEmailNoticeList("1@512"));
    ASSERT_TRUE(g_AgentDoc.SetReportNoticeList("1@512"));
    SmtpPeer peer;
    FullDisk disk("/var/log/tavrine/Full");
    NewEvent(kDiskIn, "yes", "/Full");
    disk.Fill();
    const std::string big = "512@1@1@Disk Fail@" + std::string(8000, 'x');
    EXPECT_TRUE(NewEvent(big.c_str(), "yes", "/Full"));
    EXPECT_NE(m_strOutput.find("Can not store the event in /var/log/tavrine/Full/Full.log"),
              std::string::npos)
        << m_strOutput;
    EXPECT_EQ(peer.Messages().size(), 1u);
    EXPECT_EQ(Stored("/Full"), std::vector<std::string>{kDiskIn});
}

TEST_F(EventFlowTest, ForwardEnumerationResumesAfterTheLastDelivered)
{
    for (int i = 1; i <= 5; ++i)
        NewEvent(("514@" + std::to_string(i) + "@2@T@D").c_str());
    unsigned long pos = 0, magic = 0;
    void* handle = g_AgentDoc.EnumEvent(kFolder, pos, magic, CLog::kForward);
    ASSERT_NE(handle, nullptr);
    CString text;
    ASSERT_TRUE(g_AgentDoc.GetNextEvent(handle, text));
    ASSERT_TRUE(g_AgentDoc.GetNextEvent(handle, text));
    EXPECT_STREQ(text, "514@2@2@T@D");
    ASSERT_TRUE(g_AgentDoc.CloseEnumEvent(handle, pos, magic));
    handle = g_AgentDoc.EnumEvent(kFolder, pos, magic, CLog::kForward);
    ASSERT_TRUE(g_AgentDoc.GetNextEvent(handle, text));
    EXPECT_STREQ(text, "514@3@2@T@D");
    ASSERT_TRUE(g_AgentDoc.CloseEnumEvent(handle, pos, magic));

    EXPECT_TRUE(g_AgentDoc.ClearEvent(kFolder));
    EXPECT_FALSE(g_AgentDoc.ClearEvent(kFolder));
    EXPECT_EQ(g_AgentDoc.EnumEvent(kFolder, pos, magic, CLog::kForward), nullptr);
    text = "left over";
    EXPECT_FALSE(g_AgentDoc.GetNextEvent(nullptr, text));
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(g_AgentDoc.CloseEnumEvent(nullptr, pos, magic));
}
} // namespace
