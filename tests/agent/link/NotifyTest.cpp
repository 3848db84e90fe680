// Notifications from the agent document to its connections, in-process:
// the document's own listener, connections accepted by its handler, and
// client connections reading what arrives.

#include "CAgentDoc.h"
#include "CSvrSocket.h"
#include "HalsenClient.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace
{
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class NotifyTest : public testing::Test
{
protected:
    void SetUp() override
    {
        CaptureStdout();
        g_AgentDoc.ListenServerCall();
        GetCapturedStdout();
        ASSERT_NE(g_AgentDoc.m_pSvrLstnSocket, nullptr);
        for (halsen::Connection& c : m_peers)
        {
            std::string error;
            ASSERT_TRUE(c.Connect("127.0.0.1", halsen::kAgentPort, error)) << error;
            g_AgentDoc.AcceptServerCall();
        }
        ASSERT_EQ(g_AgentDoc.m_SvrList.GetCount(), 2);
    }

    void TearDown() override
    {
        CaptureStdout();
        g_AgentDoc.RemoveServer(nullptr);
        GetCapturedStdout();
    }

    static void ExpectNotice(halsen::Connection& c, int code, const std::string& body)
    {
        halsen::Packet p;
        ASSERT_EQ(c.Receive(p, 2000), halsen::Connection::kGot);
        EXPECT_EQ(p.kind, halsen::kNotice);
        EXPECT_EQ(p.command, code);
        EXPECT_EQ(p.body, body);
        // The close notice carries stamp 0, every other notice its send time.
        if (code == halsen::kClose)
            EXPECT_EQ(p.stamp, 0);
        else
            EXPECT_LE(std::abs(static_cast<long>(p.stamp) - static_cast<long>(time(nullptr))), 2L);
    }

    halsen::Connection m_peers[2];
};

TEST_F(NotifyTest, NoticeToAllReachesEveryConnection)
{
    g_AgentDoc.NotifyServer(8195, "\\A0@event", nullptr);
    ExpectNotice(m_peers[0], 8195, "\\A0@event");
    ExpectNotice(m_peers[1], 8195, "\\A0@event");
}

TEST_F(NotifyTest, NoticeToOneReachesOnlyIt)
{
    g_AgentDoc.NotifyServer(4105, "hello buddy!", g_AgentDoc.m_SvrList.GetAt(2));
    ExpectNotice(m_peers[1], 4105, "hello buddy!");
    halsen::Packet p;
    EXPECT_EQ(m_peers[0].Receive(p, 300), halsen::Connection::kTimeout);
}

TEST_F(NotifyTest, RemovedConnectionGetsTheCloseNoticeAndTheOtherStays)
{
    CaptureStdout();
    g_AgentDoc.RemoveServer(g_AgentDoc.m_SvrList.GetAt(1));
    g_AgentDoc.RemoveServer(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "close connection with 127.0.0.1\nclose connection with 127.0.0.1\n");
    for (halsen::Connection& c : m_peers)
    {
        ExpectNotice(c, 4104, "");
        halsen::Packet p;
        EXPECT_EQ(c.Receive(p, 1000), halsen::Connection::kClosed);
    }
    EXPECT_TRUE(g_AgentDoc.m_SvrList.IsEmpty());
}
} // namespace
