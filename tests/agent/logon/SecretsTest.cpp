// No password and no logon credential reaches what the agent writes: its
// standard output and error, the misc log and every other file under the
// log folder, packet dumps of the debug mode included.

#include "LogonFixture.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
using namespace logontest;
namespace fs = std::filesystem;

const char kFunctional[] = "800@Functional";
const char kInitPassword[] = "Init-Pw-7f3a";
const char kWrongPassword[] = "Wrong-Pw-51c9";
const char kBobPassword[] = "Bob-Pw-e20d";
const char kBobNewPassword[] = "Bob-New-Pw-9b44";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Written
{
    std::string where;
    std::string text;
};

// Every file under the log folder, and what the agent printed.
std::vector<Written> EverythingWritten(const std::vector<Written>& outputs)
{
    std::vector<Written> all = outputs;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator("/var/log/tavrine"))
    {
        if (entry.is_regular_file())
            all.push_back({entry.path().string(), ReadFile(entry.path())});
    }
    return all;
}

class SecretsTest : public testing::TestWithParam<const char*>
{
protected:
    // Logs on with a credential of a fixed salt, so that its text is known.
    void LogOn(halsen::Connection& c, const std::string& user, const std::string& password, const char* finish)
    {
        const std::string body = LogonBody(user, password);
        m_secrets.push_back(body.substr(body.find('@') + 1));
        EXPECT_EQ(Ask(c, halsen::kAccess, body).finish, finish) << user;
    }

    std::vector<std::string> m_secrets = {kInitPassword, kWrongPassword, kBobPassword, kBobNewPassword};
};

// An init, then good and failed logons, an account made with a password and
// a password changed, with and without the debug switch.
TEST_P(SecretsTest, NoPasswordOrCredentialIsWrittenAnywhere)
{
    const AgentResult init = RunAgent({"--init", kAdmin, kInitPassword});
    ASSERT_EQ(init.status, 0) << init.out;
    EXPECT_EQ(init.out, "System initialize successful!\nnew account generated:\naccount name:admin\n");

    std::vector<std::string> args;
    if (*GetParam())
        args.push_back(GetParam());
    AgentProcess agent(args);
    ASSERT_TRUE(agent.WaitForStdout(kRunningText)) << agent.Stdout();
    {
        halsen::Connection admin, bob;
        std::string error;
        ASSERT_TRUE(admin.Connect("127.0.0.1", halsen::kAgentPort, error)) << error;
        LogOn(admin, kAdmin, kWrongPassword, "802@Access Denied");
        LogOn(admin, kAdmin, kInitPassword, kFunctional);
        ASSERT_EQ(Ask(admin, halsen::kCd, "Users").finish, kFunctional);
        ASSERT_EQ(Ask(admin, halsen::kInvoke, std::string("CreateUser@bob@") + kBobPassword + "@1").finish,
                  kFunctional);
        ASSERT_EQ(Ask(admin, halsen::kDir, "").finish, kFunctional);

        ASSERT_TRUE(bob.Connect("127.0.0.1", halsen::kAgentPort, error)) << error;
        LogOn(bob, "bob", kBobPassword, kFunctional);
        ASSERT_EQ(Ask(bob, halsen::kCd, "Users").finish, kFunctional);
        ASSERT_EQ(Ask(bob, halsen::kCd, "bob").finish, kFunctional);
        ASSERT_EQ(Ask(bob, halsen::kInvoke, std::string("password@") + kBobNewPassword).finish, kFunctional);
        LogOn(bob, "bob", kBobPassword, "802@Access Denied");
        LogOn(bob, "bob", kBobNewPassword, kFunctional);
    }
    agent.Signal(SIGTERM);
    ASSERT_EQ(agent.WaitExit(), 0);

    const std::vector<Written> all = EverythingWritten({{"--init standard output", init.out},
                                                        {"--init standard error", init.err},
                                                        {"standard output", agent.Stdout()},
                                                        {"standard error", agent.Stderr()}});
    for (const Written& written : all)
    {
        for (const std::string& secret : m_secrets)
            EXPECT_EQ(written.text.find(secret), std::string::npos) << secret << " in " << written.where;
    }
    // The debug mode still shows the packets, up to where their secrets
    // begin.
    if (*GetParam())
    {
        EXPECT_NE(agent.Stdout().find("CreateUser@..."), std::string::npos);
        EXPECT_NE(agent.Stdout().find("password@..."), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, SecretsTest, testing::Values("", "--debug"),
                         [](const testing::TestParamInfo<const char*>& param)
                         { return *param.param ? std::string("Debug") : std::string("Plain"); });
} // namespace
