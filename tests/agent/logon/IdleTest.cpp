// The time-outs of a connection: keep-alive pings, the idle logoff, the
// removal of a silent connection and of one that never logs on. The agent
// runs with its clock sped up forty times (Debian's faketime), so its 2-second
// tick sees 80 seconds pass.

#include "LogonFixture.h"

#include <cstdlib>

namespace
{
using namespace logontest;

const char kFakeTimeLibrary[] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
const int kSpeed = 40;
// Real milliseconds that cover the agent's 22 minutes and a few ticks.
const int kLongestWaitMs = (22 * 60 * 1000) / kSpeed + 10000;

class IdleTest : public AgentFixture
{
protected:
    void SetUp() override
    {
        CreateAdmin();
        setenv("LD_PRELOAD", kFakeTimeLibrary, 1);
        setenv("FAKETIME", ("+0 x" + std::to_string(kSpeed)).c_str(), 1);
        // The sanitizer's run-time would otherwise insist on being loaded first.
        const char* asan = getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
        StartAgent();
    }

    // The next packet other than a ping, counting the pings before it.
    static halsen::Packet SkipPings(halsen::Connection& c, int& pings)
    {
        halsen::Packet p;
        while (c.Receive(p, kLongestWaitMs) == halsen::Connection::kGot)
        {
            if (!IsPing(p))
                return p;
            ++pings;
        }
        ADD_FAILURE() << "the connection ended without a packet";
        return p;
    }

    static bool IsPing(const halsen::Packet& p)
    {
        return p.kind == halsen::kNotice && p.command == halsen::kPing && p.body == "hello buddy!";
    }

    static void ExpectPing(halsen::Connection& c)
    {
        halsen::Packet p;
        ASSERT_EQ(c.Receive(p, kLongestWaitMs), halsen::Connection::kGot);
        EXPECT_TRUE(IsPing(p)) << p.command << " " << p.body;
    }
};

TEST_F(IdleTest, ASilentConnectionIsPingedTenTimesAndThenRemoved)
{
    halsen::Connection c;
    ConnectAndLogOn(c);
    int pings = 0;
    const halsen::Packet last = SkipPings(c, pings);
    EXPECT_EQ(pings, 10);
    EXPECT_EQ(last.kind, halsen::kNotice);
    EXPECT_EQ(last.command, halsen::kClose);
    halsen::Packet p;
    EXPECT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kClosed);
}

// The first ping comes with the idle logoff; a client that keeps sending
// signs of life is never pinged and keeps its logons.
TEST_F(IdleTest, IdleLogonsGoUnlessTheClientKeepsThemAlive)
{
    halsen::Connection silent, answering;
    ConnectAndLogOn(silent);
    ConnectAndLogOn(answering);
    // A real second is 40 of the agent's, well inside its two minutes.
    // The keep-alive goes out while the client waits in Receive.
    answering.KeepAlive(1000);
    halsen::Packet p;
    EXPECT_EQ(answering.Receive(p, 8000), halsen::Connection::kTimeout) << p.body;
    ExpectPing(silent);
    ExpectRefusedForNoLogon(silent, halsen::kDir, "");
    EXPECT_EQ(Ask(answering, halsen::kDir, "").finish, "800@Functional");
}

TEST_F(IdleTest, AConnectionThatNeverLogsOnIsDropped)
{
    halsen::Connection anonymous, user;
    ConnectOnly(anonymous);
    ConnectAndLogOn(user);
    int pings = 0;
    const halsen::Packet last = SkipPings(anonymous, pings);
    EXPECT_EQ(last.command, halsen::kClose);
    EXPECT_LE(pings, 2);
    EXPECT_TRUE(m_agent->WaitForStdout("127.0.0.1 logged no user on within 180 seconds, connection dropped\n"));
    // The logged-on connection stays, though idle long enough to lose its
    // logon.
    EXPECT_EQ(Ask(user, halsen::kPing, "here").finish, "here");
}
} // namespace
