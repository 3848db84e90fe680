// The "Users" folder: accounts made, listed, renamed, re-righted and
// deleted through the folder tree, each method under its rights.

#include "LogonFixture.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using namespace logontest;

const char kFunctional[] = "800@Functional";
const char kError[] = "801@Error";
const char kDenied[] = "802@Access Denied";
const char kNotFound[] = "803@Not found";
const char kInvalid[] = "805@Invalid argument";
// The administrator mask that an account file starts with, as "%d" shows it.
const char kAdminRight[] = "-134217729";

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string ReadFile(const char* path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class UsersFolderTest : public AgentFixture
{
protected:
    // An administrator in "Users", and an ordinary user "bob" made by it.
    void MakeBob()
    {
        ConnectAndLogOn(m_admin);
        ASSERT_EQ(Ask(m_admin, halsen::kCd, "Users").finish, kFunctional);
        ASSERT_EQ(Ask(m_admin, halsen::kInvoke, "CreateUser@bob@bobpw@1").finish, kFunctional);
        ConnectAndLogOn(m_bob, "bob", "bobpw");
    }

    halsen::Connection m_admin, m_bob;
};

struct Row
{
    // 0 the administrator, 1 bob.
    int who;
    int command;
    const char* body;
    const char* finish;
    std::vector<std::string> shown;
    std::vector<std::string> hidden;
};

// Run in order; cd rows move their connection for the rows after them.
TEST_F(UsersFolderTest, MethodsAnswerWithTheirCodesUnderTheirRights)
{
    MakeBob();
    const Row rows[] = {
        {0, halsen::kInvoke, "CreateUser@@x@1", kInvalid, {}, {}},
        {0, halsen::kInvoke, "CreateUser@carl@x", kInvalid, {}, {}},
        {0, halsen::kInvoke, "CreateUser@bob@other@1", kError, {}, {}},
        {0, halsen::kInvoke, "CreateUser@dora@@1", kFunctional, {}, {}},
        {0, halsen::kInvoke, "createuser@ed@edpw@1", kNotFound, {}, {}},
        {0, halsen::kInvoke, "CreateUser@ed@edpw@x", kFunctional, {}, {}},
        {0, halsen::kInvoke, "Frobnicate@", kNotFound, {}, {}},
        {0, halsen::kDir, "", kFunctional,
         {"CreateUser@m--@2", "DeleteUser@m--@2", "admin@or-@13", "bob@or-@13", "dora@or-@13", "ed@or-@13"}, {}},
        {1, halsen::kCd, "Users", kFunctional, {}, {}},
        {1, halsen::kDir, "", kFunctional, {"admin@or-@13", "bob@or-@13"}, {"CreateUser@m--@2", "DeleteUser@m--@2"}},
        {1, halsen::kInvoke, "CreateUser@x@y@1", kDenied, {}, {}},
        {1, halsen::kInvoke, "DeleteUser@dora", kDenied, {}, {}},
        {1, halsen::kCd, "bob", kFunctional, {}, {}},
        {1, halsen::kDir, "", kFunctional,
         {"right@pr-@1", "name@pr-@bob", "rename@m--@1", "password@m--@1"}, {"changeright@m--@2", "changeright@m--@0"}},
        {1, halsen::kInvoke, "changeright@3", kDenied, {}, {}},
        {1, halsen::kInvoke, "password@newpw", kFunctional, {}, {}},
        {1, halsen::kCd, "..", kFunctional, {}, {}},
        {1, halsen::kCd, "admin", kFunctional, {}, {}},
        {1, halsen::kDir, "", kFunctional, {"right@pr-@0", "name@pr-@admin"}, {"rename@m--@1", "password@m--@1"}},
        {1, halsen::kInvoke, "rename@bobby", kDenied, {}, {}},
        {0, halsen::kCd, "bob", kFunctional, {}, {}},
        {0, halsen::kDir, "", kFunctional,
         {"right@pr-@1", "rename@m--@2", "password@m--@2", "changeright@m--@2"}, {}},
        {0, halsen::kInvoke, "password@x", kError, {}, {}},
        {0, halsen::kInvoke, "changeright@5", kFunctional, {}, {}},
        {0, halsen::kDir, "", kFunctional, {"right@pr-@5"}, {}},
        {0, halsen::kCd, "..", kFunctional, {}, {}},
        {0, halsen::kInvoke, "DeleteUser@dora", kFunctional, {}, {}},
        {0, halsen::kInvoke, "DeleteUser@dora", kError, {}, {}},
        {0, halsen::kInvoke, "DeleteUser@admin", kError, {}, {}},
        {0, halsen::kDir, "", kFunctional, {"admin@or-@13", "bob@or-@13"}, {"dora@or-@13"}},
        {0, halsen::kCd, "admin", kFunctional, {}, {}},
        {0, halsen::kInvoke, "changeright@1", kError, {}, {}},
        {0, halsen::kDir, "", kFunctional, {std::string("right@pr-@") + kAdminRight}, {}},
        {0, halsen::kInvoke, "rename@root", kFunctional, {}, {}},
        {0, halsen::kCd, "..", kFunctional, {}, {}},
        {0, halsen::kDir, "", kFunctional, {"root@or-@13"}, {"admin@or-@13"}},
    };
    halsen::Connection* who[] = {&m_admin, &m_bob};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::string(row.who ? "bob: " : "admin: ") + halsen::CommandName(row.command) + " " + row.body);
        const Reply reply = Ask(*who[row.who], row.command, row.body);
        EXPECT_EQ(reply.finish, row.finish);
        for (const std::string& line : row.shown)
            EXPECT_TRUE(Has(reply.lines, line)) << line;
        for (const std::string& line : row.hidden)
            EXPECT_FALSE(Has(reply.lines, line)) << line;
    }
    halsen::Connection again;
    ConnectAndLogOn(again, "bob", "newpw");
    ConnectAndLogOn(again, "root", kAdminPassword);
    ConnectAndLogOn(again, "ed", "edpw");
}

TEST_F(UsersFolderTest, ADeletedUsersOpenLogonStopsWorking)
{
    MakeBob();
    ASSERT_EQ(Ask(m_bob, halsen::kCd, "Users").finish, kFunctional);
    ASSERT_EQ(Ask(m_bob, halsen::kDir, "").finish, kFunctional);
    ASSERT_EQ(Ask(m_admin, halsen::kInvoke, "DeleteUser@bob").finish, kFunctional);
    ExpectRefusedForNoLogon(m_bob, halsen::kDir, "");
    ExpectRefusedForNoLogon(m_bob, halsen::kGet, ".");
    // Made again under the same name, the account is another one.
    ASSERT_EQ(Ask(m_admin, halsen::kInvoke, "CreateUser@bob@bobpw@1").finish, kFunctional);
    ExpectRefusedForNoLogon(m_bob, halsen::kDir, "");
}

// The change notices reach every connection; a user that no dir listed
// has no folder to tell of its deletion.
TEST_F(UsersFolderTest, ChangesAreNoticedByEveryConnection)
{
    MakeBob();
    const struct
    {
        const char* body;
        int code;
        const char* text;
    } steps[] = {
        {"CreateUser@carl@pw@1", 0x2002, "\\Users@"},
        {"DeleteUser@carl", 0, ""},
        {"CreateUser@dora@pw@1", 0x2002, "\\Users@"},
        {nullptr, 0, ""},
        {"DeleteUser@dora", 0x2001, "\\Users\\dora@"},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(s.body ? s.body : "dir");
        const Reply reply = s.body ? Ask(m_admin, halsen::kInvoke, s.body) : Ask(m_admin, halsen::kDir, "");
        EXPECT_EQ(reply.finish, kFunctional);
        halsen::Packet p;
        if (!s.code)
        {
            EXPECT_EQ(m_bob.Receive(p, 300), halsen::Connection::kTimeout) << p.body;
            continue;
        }
        ASSERT_EQ(m_bob.Receive(p, kReplyMs), halsen::Connection::kGot);
        EXPECT_EQ(p.kind, halsen::kNotice);
        EXPECT_EQ(p.command, s.code);
        EXPECT_EQ(p.body, s.text);
    }
}

// "/tmp/right.txt" lies in a directory that everybody may write to.
TEST_F(UsersFolderTest, TheRightsTraceIsAppendedOnlyToAPlainFileOfItsOwn)
{
    const char kTrace[] = "/tmp/right.txt";
    MakeBob();
    ASSERT_EQ(Ask(m_admin, halsen::kDir, "").finish, kFunctional);
    ASSERT_EQ(Ask(m_admin, halsen::kCd, "bob").finish, kFunctional);
    ASSERT_EQ(Ask(m_admin, halsen::kInvoke, "changeright@5").finish, kFunctional);
    EXPECT_EQ(ReadFile(kTrace), "user bob, right= 5, nadmin= 1\n");
    struct stat st;
    ASSERT_EQ(lstat(kTrace, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const struct
    {
        const char* what;
        void (*plant)(const char* trace, const char* victim);
    } plants[] = {
        {"symbolic link", [](const char* trace, const char* victim) { ASSERT_EQ(symlink(victim, trace), 0); }},
        {"hard link", [](const char* trace, const char* victim) { ASSERT_EQ(link(victim, trace), 0); }},
        {"file of another user",
         [](const char* trace, const char*) {
             std::ofstream(trace) << "";
             ASSERT_EQ(chown(trace, 65534, 65534), 0);
         }},
        {"named pipe", [](const char* trace, const char*) { ASSERT_EQ(mkfifo(trace, 0666), 0); }},
    };
    const char kVictim[] = "/tmp/victim";
    for (const auto& p : plants)
    {
        SCOPED_TRACE(p.what);
        unlink(kTrace);
        std::ofstream(kVictim) << "keep\n";
        p.plant(kTrace, kVictim);
        EXPECT_EQ(Ask(m_admin, halsen::kInvoke, "changeright@1").finish, kFunctional);
        EXPECT_EQ(ReadFile(kVictim), "keep\n");
        EXPECT_TRUE(m_agent->WaitForStdout("/tmp/right.txt is no plain file of the agent's own, no trace written\n"));
    }
    unlink(kTrace);
    EXPECT_EQ(Ask(m_admin, halsen::kDir, "").finish, kFunctional);
}
} // namespace
