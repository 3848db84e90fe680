#include "CAccountManager.h"
#include "CHashMD5.h"
#include "StatusWords.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
const char* const kPath = "/etc/tavrine/ZELRAID.PWD";
typedef std::vector<unsigned char> Bytes;
typedef std::map<std::string, std::pair<std::string, unsigned long>> Accounts; // name -> password, right

Bytes ReadFile(const char* path = kPath)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const Bytes& bytes, const char* path = kPath)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t Le32(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Runs check in a child process with an account manager of its own, so that
// nothing but the file carries over.
bool InFreshProcess(const std::function<bool(CAccountManager&)>& check)
{
    pid_t pid = fork();
    if (pid == 0)
    {
        bool ok = false;
        {
            CAccountManager am;
            ok = check(am);
        }
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every account logs on with its password and carries its right, the count
// matches, and the administrator's listing shows exactly these accounts.
bool HoldsExactly(CAccountManager& am, const Accounts& accounts, const std::string& admin)
{
    const std::string& adminPassword = accounts.at(admin).first;
    for (const auto& a : accounts)
    {
        void* h = nullptr;
        if (am.LoginUser(a.first.c_str(), a.second.first.c_str(), &h) != S_OK)
            return false;
        unsigned long right = 0;
        am.GetUserRight(h, &right);
        am.LogoutUser(h);
        if (right != a.second.second)
            return false;
    }
    void* h = nullptr;
    if (am.LoginUser(admin.c_str(), adminPassword.c_str(), &h) != S_OK)
        return false;
    Accounts listed;
    void* e = nullptr;
    bool ok = am.EnumUserStart(h, &e) == S_OK;
    char name[256];
    unsigned long length = sizeof name, right = 0;
    while (ok && am.EnumUserNext(e, name, &length, &right) == S_OK)
    {
        listed[name] = {"", right};
        length = sizeof name;
    }
    if (e)
        am.EnumUserStop(e);
    am.LogoutUser(h);
    ok = ok && listed.size() == accounts.size();
    for (const auto& a : accounts)
        ok = ok && listed.count(a.first) && listed[a.first].second == a.second.second;
    return ok;
}

class Accounts_ : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_am.Init("admin", "secret"), S_OK);
        ASSERT_EQ(m_am.LoginUser("admin", "secret", &m_hAdmin), S_OK);
        m_Expected["admin"] = {"secret", CAccountManager::kInitialAdminRight};
    }
    void TearDown() override
    {
        if (m_hAdmin)
            m_am.LogoutUser(m_hAdmin);
    }
    bool FileHoldsExpected()
    {
        Accounts expected = m_Expected;
        return InFreshProcess([&](CAccountManager& am) { return HoldsExactly(am, expected, "admin"); });
    }
    void Add(const std::string& name, const std::string& password, unsigned long right)
    {
        ASSERT_EQ(m_am.AddUser(m_hAdmin, name.c_str(), password.c_str(), right), S_OK) << name;
        m_Expected[name] = {password, right | 1};
    }

    CAccountManager m_am;
    void* m_hAdmin = nullptr;
    Accounts m_Expected;
};

TEST_F(Accounts_, InitWritesTheLayoutOfANewFile)
{
    Bytes f = ReadFile();
    ASSERT_EQ(f.size(), 18144u);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 8), (Bytes{0x30, 4, 0, 0, 1, 0, 0x31, 4}));
    EXPECT_EQ(Le32(f, 8), 1u);
    EXPECT_EQ(Le32(f, 16), 64u);
    EXPECT_EQ(Le32(f, 20), 320u);
    EXPECT_EQ(Le32(f, 24), 16704u);
    EXPECT_EQ(Le32(f, 28), 17504u);
    EXPECT_EQ(Bytes(f.begin() + 12, f.begin() + 16), Bytes(4, 0));
    EXPECT_EQ(Bytes(f.begin() + 32, f.begin() + 64), Bytes(32, 0));
    unsigned char digest[16];
    CHashMD5::Digest("admin", 5, digest);
    EXPECT_EQ(Bytes(f.begin() + 64, f.begin() + 80), Bytes(digest, digest + 16));
    EXPECT_EQ(Bytes(f.begin() + 80, f.begin() + 320), Bytes(240, 0));
    EXPECT_EQ(f[320], '2');
    EXPECT_EQ(Le32(f, 16704), 16736u);
    EXPECT_EQ(Bytes(f.begin() + 16708, f.begin() + 16736), Bytes(28, 0));
    EXPECT_EQ(f[16736], '8');
    EXPECT_EQ(Le32(f, 17504), 17632u);
    // The administrator password record: '7', 64, one RSA block.
    EXPECT_EQ(f[17520], '7');
    EXPECT_EQ(f[17521], 64);
    EXPECT_EQ(Bytes(f.begin() + 17586, f.begin() + 17632), Bytes(46, 0));
    EXPECT_EQ(f[17632], '8');
    struct stat info;
    ASSERT_EQ(stat(kPath, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(FileHoldsExpected());
}

TEST_F(Accounts_, InitWithoutNameOrPasswordLeavesTheFileAlone)
{
    Bytes before = ReadFile();
    EXPECT_EQ(m_am.Init(nullptr, "x"), E_FAIL);
    EXPECT_EQ(m_am.Init("x", nullptr), E_FAIL);
    EXPECT_EQ(m_am.Init("", "x"), E_INVALIDARG);
    EXPECT_EQ(ReadFile(), before);
}

TEST_F(Accounts_, LogonChecksThePassword)
{
    Add("alice", "wonder", 0);
    void* h = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_am.LoginUser("alice", "Wonder", &h), E_FAIL);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(m_am.LoginUser("Alice", "wonder", &h), E_FAIL);
    EXPECT_EQ(m_am.LoginUser("nobody", "", &h), E_FAIL);
    void *a = nullptr, *b = nullptr;
    ASSERT_EQ(m_am.LoginUser("alice", "wonder", &a), S_OK);
    EXPECT_EQ(m_am.LoginUser("alice", "wrong", &h), E_FAIL);
    ASSERT_EQ(m_am.LoginUser("alice", "wonder", &b), S_OK);
    EXPECT_EQ(a, b);
    EXPECT_EQ(m_am.LogoutUser(a), S_OK);
    EXPECT_TRUE(m_am.IsValidUserHandle(b));
    EXPECT_EQ(m_am.LogoutUser(b), S_OK);
    EXPECT_FALSE(m_am.IsValidUserHandle(b));
    EXPECT_FALSE(m_am.IsValidUserHandle(nullptr));
    EXPECT_FALSE(m_am.IsValidUserHandle(reinterpret_cast<void*>(0xFFFFFFFFul)));
}

TEST_F(Accounts_, ChangesFollowTheirStatusesAndReachTheFile)
{
    void* op = nullptr;
    struct Step
    {
        const char* what;
        std::function<long()> run;
        long status;
        std::function<void()> expect;
    };
    std::string longName(256, 'n');
    const Step steps[] = {
        {"add", [&] { return m_am.AddUser(m_hAdmin, "bob", "builder", 0); }, S_OK,
         [&] { m_Expected["bob"] = {"builder", 1}; }},
        {"add operator", [&] { return m_am.AddUser(m_hAdmin, "op", "op1", 0x10); }, S_OK,
         [&] { m_Expected["op"] = {"op1", 0x11}; }},
        {"duplicate", [&] { return m_am.AddUser(m_hAdmin, "bob", "x", 0); }, E_INVALIDARG, [] {}},
        {"empty name", [&] { return m_am.AddUser(m_hAdmin, "", "x", 0); }, E_INVALIDARG, [] {}},
        {"long name", [&] { return m_am.AddUser(m_hAdmin, longName.c_str(), "x", 0); }, E_INVALIDARG, [] {}},
        {"name with @", [&] { return m_am.AddUser(m_hAdmin, "a@b", "x", 0); }, E_INVALIDARG, [] {}},
        {"update", [&] { return m_am.UpdateUser(m_hAdmin, "bob", 0x31); }, S_OK,
         [&] { m_Expected["bob"].second = 0x31; }},
        {"update missing", [&] { return m_am.UpdateUser(m_hAdmin, "nobody", 1); }, E_FAIL, [] {}},
        {"rename", [&] { return m_am.RenameUser(m_hAdmin, "bob", "robert"); }, S_OK,
         [&] {
             m_Expected["robert"] = m_Expected["bob"];
             m_Expected.erase("bob");
         }},
        {"rename to taken", [&] { return m_am.RenameUser(m_hAdmin, "robert", "op"); }, E_INVALIDARG, [] {}},
        {"operator logs on", [&] { return m_am.LoginUser("op", "op1", &op); }, S_OK, [] {}},
        {"operator adds", [&] { return m_am.AddUser(op, "eve", "x", 0); }, E_INVALIDARG, [] {}},
        {"operator deletes", [&] { return m_am.DelUser(op, "robert"); }, E_INVALIDARG, [] {}},
        {"operator updates", [&] { return m_am.UpdateUser(op, "op", 0xFF); }, E_INVALIDARG, [] {}},
        {"operator renames other", [&] { return m_am.RenameUser(op, "robert", "rob"); }, E_INVALIDARG, [] {}},
        {"operator reads other's right",
         [&] {
             unsigned long r = 7;
             long s = m_am.GetUserRight(op, "robert", &r);
             return r == 0 ? s : S_OK;
         },
         E_INVALIDARG, [] {}},
        {"operator changes own password", [&] { return m_am.ChangePassword(op, "op2"); }, S_OK,
         [&] { m_Expected["op"].first = "op2"; }},
        {"operator renames itself", [&] { return m_am.RenameUser(op, "op", "operator"); }, S_OK,
         [&] {
             m_Expected["operator"] = m_Expected["op"];
             m_Expected.erase("op");
         }},
        {"delete", [&] { return m_am.DelUser(m_hAdmin, "robert"); }, S_OK, [&] { m_Expected.erase("robert"); }},
        {"delete missing", [&] { return m_am.DelUser(m_hAdmin, "robert"); }, E_FAIL, [] {}},
    };
    for (const Step& s : steps)
    {
        EXPECT_EQ(s.run(), s.status) << s.what;
        s.expect();
        EXPECT_TRUE(FileHoldsExpected()) << s.what;
    }
    EXPECT_TRUE(m_am.IsValidUserHandle(op));
    EXPECT_TRUE(m_am.IsUser(op, "operator"));
    unsigned long right = 0;
    EXPECT_EQ(m_am.GetUserRight(m_hAdmin, "operator", &right), S_OK);
    EXPECT_EQ(right, 0x11u);
    EXPECT_EQ(m_am.GetNumberOfUser(m_hAdmin, 0), 2u);
    EXPECT_EQ(m_am.GetNumberOfUser(m_hAdmin, 0x10), 2u);
    EXPECT_EQ(m_am.GetNumberOfUser(op, 0), 2u);
    EXPECT_EQ(m_am.GetNumberOfUser(op, 0x10), 1u);
    m_am.LogoutUser(op);
}

TEST_F(Accounts_, OrdinaryUsersSeeOnlyTheirOwnRight)
{
    Add("carol", "c", 0x40);
    void* h = nullptr;
    ASSERT_EQ(m_am.LoginUser("carol", "c", &h), S_OK);
    void* e = nullptr;
    ASSERT_EQ(m_am.EnumUserStart(h, &e), S_OK);
    std::map<std::string, unsigned long> seen;
    char name[256];
    unsigned long length = sizeof name, right = 0;
    while (m_am.EnumUserNext(e, name, &length, &right) == S_OK)
    {
        seen[name] = right;
        length = sizeof name;
    }
    EXPECT_EQ(m_am.EnumUserNext(e, name, &length, &right), S_NOMOREUSERS);
    m_am.EnumUserStop(e);
    EXPECT_EQ(seen, (std::map<std::string, unsigned long>{{"admin", 0}, {"carol", 0x41}}));
    ASSERT_EQ(m_am.EnumUserStart(h, &e), S_OK);
    char one[1] = {'x'};
    length = 1;
    ASSERT_EQ(m_am.EnumUserNext(e, one, &length, &right), S_OK);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(length, 1u);
    m_am.EnumUserStop(e);
    EXPECT_EQ(m_am.EnumUserStop(nullptr), E_INVALIDARG);
    m_am.LogoutUser(h);
}

TEST_F(Accounts_, AdministratorsMadeByAnAdministratorCanAdminister)
{
    Add("deputy", "d", CAccountManager::kAdminRight);
    void* h = nullptr;
    ASSERT_EQ(m_am.LoginUser("deputy", "d", &h), S_OK);
    EXPECT_EQ(m_am.AddUser(h, "fred", "f", 0), S_OK);
    m_Expected["fred"] = {"f", 1};
    // Losing the bit loses the key blob and with it every administrator power.
    EXPECT_EQ(m_am.UpdateUser(m_hAdmin, "deputy", 1), S_OK);
    m_Expected["deputy"].second = 1;
    EXPECT_EQ(m_am.AddUser(h, "gina", "g", 0), E_INVALIDARG);
    m_am.LogoutUser(h);
    EXPECT_TRUE(FileHoldsExpected());
}

TEST_F(Accounts_, TheAdministratorBitAloneGivesNoPower)
{
    Add("mallory", "m", 0x10);
    void* h = nullptr;
    ASSERT_EQ(m_am.LoginUser("mallory", "m", &h), S_OK);
    CUserContext* context = static_cast<CUserContext*>(h);
    context->m_nRight |= CAccountManager::kAdminRight;
    EXPECT_FALSE(m_am.UserHasAdminRight(*context));
    EXPECT_EQ(m_am.AddUser(h, "trudy", "t", 0), E_INVALIDARG);
    EXPECT_EQ(m_am.DelUser(h, "admin"), E_INVALIDARG);
    // A real administrator's check unlocks both secrets into its context.
    CUserContext* admin = static_cast<CUserContext*>(m_hAdmin);
    ASSERT_TRUE(m_am.UserHasAdminRight(*admin));
    EXPECT_EQ(admin->m_AdminPrivateKey.length, 708u);
    EXPECT_EQ(admin->m_AdminPassword.length, 16u);
    m_am.LogoutUser(h);
    EXPECT_TRUE(FileHoldsExpected());
}

TEST_F(Accounts_, LogonsOfDeletedOrRenamedAccountsEnd)
{
    Add("hank", "h", 0);
    Add("ivy", "i", 0);
    void *hank = nullptr, *ivy = nullptr;
    ASSERT_EQ(m_am.LoginUser("hank", "h", &hank), S_OK);
    ASSERT_EQ(m_am.LoginUser("ivy", "i", &ivy), S_OK);
    ASSERT_EQ(m_am.DelUser(m_hAdmin, "hank"), S_OK);
    EXPECT_FALSE(m_am.IsValidUserHandle(hank));
    ASSERT_EQ(m_am.RenameUser(m_hAdmin, "ivy", "iris"), S_OK);
    EXPECT_FALSE(m_am.IsValidUserHandle(ivy));
    void* again = nullptr;
    EXPECT_EQ(m_am.LoginUser("ivy", "i", &again), E_FAIL);
    EXPECT_EQ(m_am.LoginUser("iris", "i", &again), S_OK);
    EXPECT_TRUE(m_am.IsValidUserHandle(again));
    // The old handles stay safe to log off.
    EXPECT_EQ(m_am.LogoutUser(hank), S_OK);
    EXPECT_EQ(m_am.LogoutUser(ivy), S_OK);
    EXPECT_EQ(m_am.LogoutUser(again), S_OK);

    // An account deleted and made again under its name is another account.
    void* first = nullptr;
    Add("jack", "j", 0);
    ASSERT_EQ(m_am.LoginUser("jack", "j", &first), S_OK);
    ASSERT_EQ(m_am.DelUser(m_hAdmin, "jack"), S_OK);
    Add("jack", "j", 0);
    EXPECT_FALSE(m_am.IsValidUserHandle(first));
    m_am.LogoutUser(first);
}

TEST_F(Accounts_, GrowthKeepsEveryAccount)
{
    Bytes before = ReadFile();
    for (int i = 1; i < 17; ++i)
        Add("user" + std::to_string(i), "pw" + std::to_string(i), i % 3 == 0 ? 0x10 : 0);
    Bytes grown = ReadFile();
    ASSERT_EQ(Le32(grown, 8), 17u);
    EXPECT_EQ(Le32(grown, 16), 64u);
    EXPECT_EQ(Le32(grown, 20), 320u + 256);
    EXPECT_EQ(Le32(grown, 24), 16704u + 16640);
    EXPECT_EQ(Le32(grown, 28), 17504u + 17440);
    EXPECT_EQ(Le32(grown, 16704 + 16640), 16736u + 16640);
    EXPECT_EQ(Le32(grown, 17504 + 17440), 17632u + 17440);
    // The administrator password record moved with its section.
    EXPECT_EQ(Bytes(grown.begin() + 17504 + 17440 + 16, grown.begin() + 17504 + 17440 + 82),
              Bytes(before.begin() + 17520, before.begin() + 17586));
    EXPECT_TRUE(FileHoldsExpected());
}

TEST_F(Accounts_, DamagedFilesAreRefusedWithoutHarm)
{
    Add("kim", "k", 0);
    Bytes good = ReadFile();
    struct Damage
    {
        const char* what;
        std::function<void(Bytes&)> apply;
    };
    const Damage damages[] = {
        {"version", [](Bytes& f) { f[4] = 2; }},
        {"truncated", [](Bytes& f) { f.resize(40); }},
        {"count beyond index", [](Bytes& f) { f[8] = 0xFF; f[9] = 0xFF; }},
        {"section past the end", [](Bytes& f) { f[31] = 0x7F; }},
        {"sections out of order", [](Bytes& f) { f[20] = 0; f[21] = 0; }},
        {"name list outside", [](Bytes& f) { f[16704 + 3] = 0x10; }},
        {"record length", [](Bytes& f) { f[321] = 0x84; f[322] = 0xFF; }},
        {"user section cut", [](Bytes& f) { f.resize(1000); }},
    };
    for (const Damage& d : damages)
    {
        Bytes bad = good;
        d.apply(bad);
        WriteFile(bad);
        void* h = nullptr;
        EXPECT_NE(m_am.LoginUser("kim", "k", &h), S_OK) << d.what;
        EXPECT_EQ(h, nullptr);
        EXPECT_NE(m_am.AddUser(m_hAdmin, "lee", "l", 0), S_OK) << d.what;
    }
    WriteFile(good);
    EXPECT_TRUE(FileHoldsExpected());
}

// Damage inside the records is told in one line that names the part, and
// the file is not touched.
TEST_F(Accounts_, DamageInsideTheRecordsIsToldByItsPart)
{
    Add("kim", "k", 0);
    const Bytes good = ReadFile();
    const struct
    {
        const char* what;
        size_t at;
        const char* part;
    } damages[] = {
        // The tags of the name list, of the rights list and of the first
        // user's record (last: a damaged record of its own may end the
        // administrator's logon).
        {"name list", 16736, "name list"},
        {"rights list", 17632, "rights list"},
        {"user record", 320, "user record"},
    };
    for (const auto& d : damages)
    {
        SCOPED_TRACE(d.what);
        Bytes bad = good;
        bad[d.at] = 'X';
        WriteFile(bad);
        testing::internal::CaptureStdout();
        void* h = nullptr;
        m_am.LoginUser("admin", "secret", &h);
        m_am.LoginUser("kim", "k", &h);
        unsigned long right = 0;
        m_am.GetUserRight(m_hAdmin, "kim", &right);
        EXPECT_NE(m_am.AddUser(m_hAdmin, "lee", "l", 0), S_OK);
        void* users = nullptr;
        if (m_am.EnumUserStart(m_hAdmin, &users) == S_OK)
            m_am.EnumUserStop(users);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(std::string("Account file ") + kPath + ": its " + d.part +
                           " is damaged; the file is left as it is\n"),
                  std::string::npos)
            << out;
        EXPECT_EQ(ReadFile(), bad) << "the file is untouched";
    }
    WriteFile(good);
    testing::internal::CaptureStdout();
    void* h = nullptr;
    EXPECT_EQ(m_am.LoginUser("kim", "k", &h), S_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("damaged"), std::string::npos);
}

// Each change is stopped dead after every one of its steps in turn; the file
// must then hold the accounts from before or after, never anything else.
class Killed : public Accounts_
{
protected:
    static int s_nStepsLeft;
    static void KillAtStep(const char*)
    {
        if (--s_nStepsLeft == 0)
            raise(SIGKILL);
    }

    void Check(const char* what, const std::function<long(CAccountManager&, void*)>& change, const Accounts& after)
    {
        Accounts before = m_Expected;
        bool finished = false;
        for (int step = 1; !finished && step < 40; ++step)
        {
            Bytes saved = ReadFile();
            pid_t pid = fork();
            if (pid == 0)
            {
                s_nStepsLeft = step;
                CAccountManager::m_pfnStepHook = KillAtStep;
                _exit(change(m_am, m_hAdmin) == S_OK ? 0 : 1);
            }
            int status = 0;
            waitpid(pid, &status, 0);
            finished = WIFEXITED(status);
            EXPECT_TRUE(!finished || WEXITSTATUS(status) == 0) << what;
            bool old = InFreshProcess([&](CAccountManager& am) { return HoldsExactly(am, before, "admin"); });
            bool fresh = InFreshProcess([&](CAccountManager& am) { return HoldsExactly(am, after, "admin"); });
            EXPECT_TRUE(old || fresh) << what << " killed at step " << step;
            EXPECT_TRUE(!finished || fresh) << what;
            WriteFile(saved);
        }
        EXPECT_TRUE(finished) << what;
    }
};
int Killed::s_nStepsLeft = 0;

TEST_F(Killed, AnyChangeLeavesTheOldOrTheNewAccounts)
{
    Add("mia", "m", 0);
    Add("ned", "n", 0);
    Accounts added = m_Expected, deleted = m_Expected, renamed = m_Expected, updated = m_Expected,
             changed = m_Expected;
    added["oz"] = {"o", 1};
    deleted.erase("mia");
    renamed["nina"] = renamed["ned"];
    renamed.erase("ned");
    updated["mia"].second = 0x21;
    changed["admin"].first = "other";
    Check("add", [](CAccountManager& am, void* h) { return am.AddUser(h, "oz", "o", 0); }, added);
    Check("delete", [](CAccountManager& am, void* h) { return am.DelUser(h, "mia"); }, deleted);
    Check("rename", [](CAccountManager& am, void* h) { return am.RenameUser(h, "ned", "nina"); }, renamed);
    Check("update", [](CAccountManager& am, void* h) { return am.UpdateUser(h, "mia", 0x21); }, updated);
    Check("password", [](CAccountManager& am, void* h) { return am.ChangePassword(h, "other"); }, changed);
}

TEST_F(Killed, GrowthStoppedPartWayLosesNothing)
{
    for (int i = 1; i < 16; ++i)
        Add("u" + std::to_string(i), "p", 0);
    Accounts grown = m_Expected;
    grown["last"] = {"p", 1};
    Check("growth", [](CAccountManager& am, void* h) { return am.AddUser(h, "last", "p", 0); }, grown);
}

TEST_F(Killed, InitStoppedPartWayKeepsTheOldFile)
{
    Add("pat", "p", 0);
    Accounts fresh = {{"root", {"toor", CAccountManager::kInitialAdminRight}}};
    Accounts before = m_Expected;
    for (int step = 1; step < 4; ++step)
    {
        pid_t pid = fork();
        if (pid == 0)
        {
            s_nStepsLeft = step;
            CAccountManager::m_pfnStepHook = KillAtStep;
            CAccountManager am;
            _exit(am.Init("root", "toor") == S_OK ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status))
        {
            EXPECT_TRUE(InFreshProcess([&](CAccountManager& am) { return HoldsExactly(am, fresh, "root"); }));
            break;
        }
        EXPECT_TRUE(InFreshProcess([&](CAccountManager& am) { return HoldsExactly(am, before, "admin"); }));
    }
}
} // namespace
