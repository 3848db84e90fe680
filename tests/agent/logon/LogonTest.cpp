// The access command: logging users on and off, switching between the
// logons of one connection, and what a connection may do before a logon.

#include "LogonFixture.h"

#include <chrono>
#include <cstdio>

namespace
{
using namespace logontest;

const char kDenied[] = "802@Access Denied";
const char kNotFound[] = "803@Not found";
const char kFunctional[] = "800@Functional";

class LogonTest : public AgentFixture
{
};

TEST_F(LogonTest, OnlyTheRightPasswordOfAKnownUserLogsOn)
{
    const struct
    {
        const char* what;
        std::string body;
        const char* finish;
        bool handed;
    } cases[] = {
        {"right password", LogonBody(kAdmin, kAdminPassword, 1, 2), kFunctional, true},
        {"verb in upper case", "LOGON" + LogonBody(kAdmin, kAdminPassword).substr(5), kFunctional, true},
        {"wrong password", LogonBody(kAdmin, "admin-secreT"), kDenied, false},
        {"empty password", LogonBody(kAdmin, ""), kDenied, false},
        {"unknown user", LogonBody("nobody", kAdminPassword), kDenied, false},
        {"name in other case", LogonBody("Admin", kAdminPassword), kDenied, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        halsen::Connection conn;
        ConnectOnly(conn);
        const Reply reply = Ask(conn, halsen::kAccess, c.body);
        EXPECT_EQ(reply.finish, c.finish);
        ASSERT_EQ(reply.lines.size(), c.handed ? 1u : 0u);
        if (c.handed)
        {
            char expected[32];
            snprintf(expected, sizeof expected, "logon %08x", HandleOf(reply));
            EXPECT_EQ(reply.lines[0], expected);
            EXPECT_NE(HandleOf(reply), 0u);
        }
    }
    EXPECT_TRUE(m_agent->WaitForStdout("Failed logon of \"admin\" from 127.0.0.1 (1 in a row)\n"));
    EXPECT_TRUE(m_agent->WaitForStdout("Failed logon of \"nobody\" from 127.0.0.1 (1 in a row)\n"));
}

// Each case on a connection of its own, so no failure slows the next.
TEST_F(LogonTest, DamagedCredentialsAreNotFound)
{
    const std::string good = halsen::FromR64(halsen::EncodeCredential(kAdmin, kAdminPassword, "salt", 7));
    const std::string tail = good.substr(good.find('@'));
    const struct
    {
        const char* what;
        std::string body;
    } cases[] = {
        {"no blank after the verb", "logon"},
        {"empty argument", "logon "},
        {"only blanks", "logon    "},
        {"no @ before the credential", "logon 1 2" + halsen::ToR64(good)},
        {"empty credential", "logon 1 2@"},
        {"no @ in the decoded text", "logon 0 0@" + halsen::ToR64("adminsalt\x07" + std::string(9, 'x'))},
        {"salt and count cut short", "logon 0 0@" + halsen::ToR64("admin@sal")},
        {"ciphertext not whole blocks", "logon 0 0@" + halsen::ToR64(good.substr(0, good.size() - 1))},
        {"no ciphertext at all", "logon 0 0@" + halsen::ToR64(good.substr(0, good.find('@') + 7))},
        {"zero byte in the name", "logon 0 0@" + halsen::ToR64(std::string("ad\0min", 6) + tail)},
        {"characters outside the alphabet", "logon 0 0@!!!!!!!!!!!!!!!!!!!!"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        halsen::Connection conn;
        ConnectOnly(conn);
        const Reply reply = Ask(conn, halsen::kAccess, c.body);
        EXPECT_EQ(reply.finish, kNotFound);
        EXPECT_TRUE(reply.lines.empty());
        ExpectRefusedForNoLogon(conn, halsen::kDir, "");
    }
}

TEST_F(LogonTest, BeforeALogonOnlyAccessCdToTheRootAndPingAreServed)
{
    halsen::Connection c;
    ConnectOnly(c);
    const struct
    {
        int command;
        const char* body;
    } refused[] = {
        {halsen::kDir, ""},        {halsen::kGet, "IPAddress"}, {halsen::kSet, "IPAddress@1.2.3.4"},
        {halsen::kCd, "Users"},    {halsen::kCd, ".."},      {halsen::kRefresh, ""},
        {halsen::kInvoke, "CreateUser@eve@pw@3"},            {halsen::kCd, "\\\\"},
    };
    for (const auto& r : refused)
        ExpectRefusedForNoLogon(c, r.command, r.body);
    EXPECT_EQ(Ask(c, halsen::kCd, "\\").finish, kFunctional);
    EXPECT_EQ(Ask(c, halsen::kPing, "still there").finish, "still there");
    EXPECT_EQ(Ask(c, halsen::kAccess, "user 1").finish, kDenied);

    ASSERT_EQ(HandleOf(Ask(c, halsen::kAccess, LogonBody(kAdmin, kAdminPassword))), 1u);
    EXPECT_EQ(Ask(c, halsen::kCd, "Users").finish, kFunctional);
    EXPECT_EQ(Ask(c, halsen::kInvoke, "CreateUser@eve@pw@3").finish, kFunctional);
}

// One connection acting for several logons: handles are kept per record,
// the same user from the same location folds into one record.
TEST_F(LogonTest, LogonsOfOneConnectionAreSwitchedAndLoggedOff)
{
    halsen::Connection c;
    ConnectOnly(c);
    const unsigned first = HandleOf(Ask(c, halsen::kAccess, LogonBody(kAdmin, kAdminPassword, 1, 2)));
    EXPECT_EQ(HandleOf(Ask(c, halsen::kAccess, LogonBody(kAdmin, kAdminPassword, 1, 2))), first);
    const unsigned second = HandleOf(Ask(c, halsen::kAccess, LogonBody(kAdmin, kAdminPassword, 3, 4)));
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);

    char text[32];
    auto verb = [&text](const char* name, unsigned handle) {
        snprintf(text, sizeof text, "%s %x", name, handle);
        return std::string(text);
    };
    const struct
    {
        std::string body;
        const char* finish;
        bool served;
    } steps[] = {
        {verb("user", first), kFunctional, true},
        {verb("USER", second), kFunctional, true},
        {"user 0", kDenied, false},
        {verb("user", second), kFunctional, true},
        {verb("logoff", second), kFunctional, false},
        {verb("logoff", second), kNotFound, false},
        {verb("user", second), kDenied, false},
        {verb("user", first), kFunctional, true},
        {"logoff ", kNotFound, true},
        {"user  ", kNotFound, true},
        {"logoff", kNotFound, true},
        {"frobnicate now", kFunctional, true},
        {verb("logoff", first), kFunctional, false},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(s.body);
        const Reply reply = Ask(c, halsen::kAccess, s.body);
        EXPECT_EQ(reply.finish, s.finish);
        EXPECT_TRUE(reply.lines.empty());
        if (s.served)
            EXPECT_EQ(Ask(c, halsen::kDir, "").finish, kFunctional);
        else
            ExpectRefusedForNoLogon(c, halsen::kDir, "");
    }
}

// The first failures cost nothing, later ones hold the connection back
// longer each time; a good logon ends that, and other connections are
// never held up.
TEST_F(LogonTest, RepeatedFailedLogonsAreSlowedDown)
{
    using Clock = std::chrono::steady_clock;
    halsen::Connection guesser, other;
    ConnectOnly(guesser);
    ConnectOnly(other);
    auto timedAsk = [&guesser](const std::string& password, std::string& finish) {
        const Clock::time_point start = Clock::now();
        finish = Ask(guesser, halsen::kAccess, LogonBody(kAdmin, password)).finish;
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    };
    std::string finish;
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_LT(timedAsk("guess", finish), 900) << i;
        EXPECT_EQ(finish, kDenied);
    }
    // The right account from elsewhere is not affected.
    EXPECT_EQ(HandleOf(Ask(other, halsen::kAccess, LogonBody(kAdmin, kAdminPassword))), 1u);
    // A pause of n seconds counted in whole seconds lasts at least n - 1.
    EXPECT_GE(timedAsk("guess", finish), 1000);
    EXPECT_EQ(finish, kDenied);
    EXPECT_GE(timedAsk(kAdminPassword, finish), 3000);
    EXPECT_EQ(finish, kFunctional);
    EXPECT_LT(timedAsk("guess", finish), 900);
    EXPECT_EQ(finish, kDenied);
    EXPECT_TRUE(m_agent->WaitForStdout("Failed logon of \"admin\" from 127.0.0.1 (4 in a row)\n"
                                       "Requests from 127.0.0.1 wait 4 seconds\n"))
        << m_agent->Stdout();
    EXPECT_TRUE(m_agent->WaitForStdout("Failed logon of \"admin\" from 127.0.0.1 (1 in a row)\n"));
}
} // namespace
