// The folder commands as a management server meets them: the real dorvik
// in the sandbox with the tests' plug-in as its one device.

#include "AgentConnection.h"
#include "HalsenClient.h"
#include "LogonHelpers.h"
#include "TestPluginAgent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
const int kReplyMs = 5000;

std::string HostName()
{
    char name[32] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

using agenttest::Ask;
using agenttest::Reply;

class FolderCommandTest : public TestPluginAgent
{
protected:
    // Logged on from elsewhere (location 0 0): local-only methods stay out
    // of reach.
    static void Connect(halsen::Connection& c) { logontest::ConnectAndLogOn(c); }
};

struct Row
{
    int command;
    const char* body;
    std::vector<std::string> lines;
    const char* finish;
};

// Run in order on one connection: cd rows move it for the rows after them.
TEST_F(FolderCommandTest, CommandsAnswerWithTheirLinesAndCodes)
{
    const std::string host = HostName();
    const Row rows[] = {
        {halsen::kCd, "..", {}, "803@Not found"},
        {halsen::kGet, ".", {".@" + host + "@o--@2"}, "800@Functional"},
        {halsen::kCd, "Nowhere", {}, "803@Not found"},
        {halsen::kCd, "Dev", {}, "800@Functional"},
        {halsen::kGet, ".", {".@Dev@o--@14"}, "800@Functional"},
        {halsen::kGet, "Model", {"Model@pr-@TR-1000"}, "0@Functional"},
        {halsen::kGet, "Missing", {}, "803@Not found"},
        {halsen::kGet, "Succeed", {"Succeed@m--@1"}, "800@Functional"},
        {halsen::kGet, "LocalOnly", {"LocalOnly@m--@0"}, "800@Functional"},
        {halsen::kSet, "Label@main", {}, "800@Functional"},
        {halsen::kGet, "Label", {"Label@prw@main"}, "0@Functional"},
        {halsen::kSet, "Model@other", {}, "802@Access Denied"},
        {halsen::kGet, "Model", {"Model@pr-@TR-1000"}, "0@Functional"},
        {halsen::kSet, "Label", {}, "803@Not found"},
        {halsen::kSet, "@x", {}, "803@Not found"},
        {halsen::kSet, "Missing@x", {}, "803@Not found"},
        {halsen::kSet, "Succeed@x", {}, "802@Access Denied"},
        {halsen::kInvoke, "Fail@", {"801@Error@Fail@"}, "801@Error"},
        {halsen::kInvoke, "Refuse@", {"802@Access Denied@Refuse@"}, "802@Access Denied"},
        {halsen::kInvoke, "Check@a", {"805@Invalid argument@Check@a"}, "805@Invalid argument"},
        {halsen::kInvoke, "Check@a@b", {"800@Functional@Check@a@b"}, "800@Functional"},
        {halsen::kInvoke, "@x", {"805@Invalid argument@@x"}, "805@Invalid argument"},
        {halsen::kInvoke, "Check", {"805@Invalid argument@Check"}, "805@Invalid argument"},
        {halsen::kInvoke, "Missing@", {"803@Not found@Missing@"}, "803@Not found"},
        {halsen::kInvoke, "Model@", {"803@Not found@Model@"}, "803@Not found"},
        {halsen::kInvoke, "LocalOnly@", {"802@Access Denied@LocalOnly@"}, "802@Access Denied"},
        {halsen::kRefresh, "", {}, "800@Functional"},
        {halsen::kGet, "LastCheck", {"LastCheck@prw@a+b"}, "0@Functional"},
        {halsen::kCd, "Model", {}, "803@Not found"},
        {halsen::kCd, "MVP1\\array1", {}, "803@Not found"},
        {halsen::kCd, "MVP1", {}, "800@Functional"},
        {halsen::kCd, "array1", {}, "800@Functional"},
        {halsen::kGet, ".", {".@array1@o--@25"}, "800@Functional"},
        {halsen::kCd, "..", {}, "800@Functional"},
        {halsen::kGet, ".", {".@MVP1@o--@26"}, "800@Functional"},
        {halsen::kCd, "\\", {}, "800@Functional"},
        {halsen::kGet, ".", {".@" + host + "@o--@2"}, "800@Functional"},
    };
    halsen::Connection c;
    Connect(c);
    for (const Row& row : rows)
    {
        SCOPED_TRACE(halsen::CommandName(row.command) + " " + row.body);
        Reply reply = Ask(c, row.command, row.body);
        EXPECT_EQ(reply.lines, row.lines);
        EXPECT_EQ(reply.finish, row.finish);
    }
}

TEST_F(FolderCommandTest, DirListsEntriesAndHidesWhatTheUserMayNotRun)
{
    halsen::Connection c;
    Connect(c);
    Reply root = Ask(c, halsen::kDir, "ignored");
    EXPECT_EQ(root.finish, "800@Functional");
    EXPECT_NE(std::find(root.lines.begin(), root.lines.end(), "Dev@o--@14"), root.lines.end());

    Ask(c, halsen::kCd, "Dev");
    Reply dev = Ask(c, halsen::kDir, "");
    EXPECT_EQ(dev.finish, "800@Functional");
    for (const char* shown :
         {"Model@pr-@TR-1000", "Label@prw@spare", "Succeed@m--@1", "RemoveSpare@m--@1", "MVP1@o--@26"})
        EXPECT_NE(std::find(dev.lines.begin(), dev.lines.end(), shown), dev.lines.end()) << shown;
    for (const std::string& line : dev.lines)
        EXPECT_EQ(line.find("LocalOnly"), std::string::npos) << line;
}

TEST_F(FolderCommandTest, PingComesBackAndCloseEndsTheConnection)
{
    halsen::Connection c;
    Connect(c);
    Reply ping = Ask(c, halsen::kPing, "are you there");
    EXPECT_TRUE(ping.lines.empty());
    EXPECT_EQ(ping.finish, "are you there");

    halsen::Packet close;
    close.command = halsen::kClose;
    ASSERT_TRUE(c.Send(close));
    halsen::Packet p;
    ASSERT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kGot);
    EXPECT_EQ(p.kind, halsen::kNotice);
    EXPECT_EQ(p.command, halsen::kClose);
    EXPECT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kClosed);
}

TEST_F(FolderCommandTest, MethodNoticesReachEveryConnection)
{
    halsen::Connection a, b;
    Connect(a);
    Connect(b);
    Ask(a, halsen::kCd, "Dev");
    Reply reply = Ask(a, halsen::kInvoke, "Notify@8194");
    EXPECT_EQ(reply.finish, "800@Functional");
    halsen::Packet p;
    ASSERT_EQ(b.Receive(p, kReplyMs), halsen::Connection::kGot);
    EXPECT_EQ(p.kind, halsen::kNotice);
    EXPECT_EQ(p.command, 8194);
    EXPECT_EQ(p.body, "\\Dev@");
}

// A connection whose folder vanishes in another connection's refresh is
// moved to the root instead of being left in a destroyed folder.
TEST_F(FolderCommandTest, AConnectionInARemovedFolderIsMovedToTheRoot)
{
    halsen::Connection a, b;
    Connect(a);
    Connect(b);
    Ask(a, halsen::kCd, "Dev");
    EXPECT_EQ(Ask(a, halsen::kInvoke, "AddSpare@").finish, "800@Functional");
    EXPECT_EQ(Ask(a, halsen::kRefresh, "").finish, "800@Functional");
    EXPECT_EQ(Ask(b, halsen::kCd, "Dev").finish, "800@Functional");
    EXPECT_EQ(Ask(b, halsen::kCd, "spare1").finish, "800@Functional");

    EXPECT_EQ(Ask(a, halsen::kInvoke, "RemoveSpare@").finish, "800@Functional");
    EXPECT_EQ(Ask(a, halsen::kRefresh, "").finish, "800@Functional");
    Reply where = Ask(b, halsen::kGet, ".");
    EXPECT_EQ(where.lines, (std::vector<std::string>{".@" + HostName() + "@o--@2"}));
    EXPECT_EQ(Ask(a, halsen::kGet, ".").lines, (std::vector<std::string>{".@Dev@o--@14"}));
}
} // namespace
