// halsenctl's folder commands against the real dorvik in the sandbox, with
// the tests' plug-in as its one device.

#include "AgentConnection.h"
#include "FolderClient.h"
#include "TestPluginAgent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using agenttest::RunHalsenctl;

class HalsenctlFolderTest : public TestPluginAgent
{
protected:
    HalsenctlFolderTest() : TestPluginAgent("MVP") {}
};

// Identity numbers are the plug-in's own; the rest of the tree is fixed.
std::string WithoutIdentities(std::string text)
{
    const std::string mark = "handle = ";
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1))
    {
        const size_t digits = at + mark.size();
        const size_t end = text.find(';', digits);
        if (end != std::string::npos)
            text.replace(digits, end - digits, "N");
    }
    return text;
}

// halsenctl proves to be local, so the local-only method is listed.
TEST_F(HalsenctlFolderTest, TreePrintsTheDeviceIndentedWithAttributes)
{
    const agenttest::CommandResult result = RunHalsenctl("tree MVP");
    EXPECT_EQ(0, result.status) << result.out;
    EXPECT_EQ("o-- MVP (type 14)\n"
              "  pr- handle = N;14\n"
              "  pr- Model = TR-1000\n"
              "  prw Label = spare\n"
              "  prv Ticks = 0\n"
              "  m-- Succeed (rights 1)\n"
              "  m-- Fail (rights 1)\n"
              "  m-- Refuse (rights 1)\n"
              "  m-- Check (rights 1)\n"
              "  m-- Notify (rights 1)\n"
              "  m-- AddSpare (rights 1)\n"
              "  m-- RemoveSpare (rights 1)\n"
              "  m-- LocalOnly (rights 1)\n"
              "  o-- MVP1 (type 26)\n"
              "    pr- handle = N;26\n"
              "    pr- HasEvent = 1\n"
              "    m-- RaiseEvent (rights 1)\n"
              "    m-- ReadEvent (rights -134217729)\n"
              "    m-- ClearEvent (rights 64)\n"
              "    o-- array1 (type 25)\n"
              "      pr- handle = N;25\n"
              "      pr- Size = 1.000 GB\n"
              "    o-- ch1 (type 20)\n"
              "      pr- handle = N;20\n"
              "      o-- disk1 (type 21)\n"
              "        pr- handle = N;21\n"
              "        pr- model = Disk A\n",
              WithoutIdentities(result.out));
}

// The walk ends where it started: later commands run in that folder.
TEST_F(HalsenctlFolderTest, TreeFromTheCurrentFolderEndsThere)
{
    const agenttest::CommandResult result = RunHalsenctl("cd 'MVP\\MVP1' tree get .");
    EXPECT_EQ(0, result.status) << result.out;
    EXPECT_EQ("o-- MVP1 (type 26)\n", result.out.substr(0, result.out.find('\n') + 1));
    EXPECT_EQ("o-- MVP1 (type 26)\n",
              result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1));
    EXPECT_NE(std::string::npos, result.out.find("\n      pr- model = Disk A\n")) << result.out;
}

TEST_F(HalsenctlFolderTest, CommandsPrintTheirAnswerAndStopAtTheFirstError)
{
    const struct
    {
        const char* args;
        int status;
        const char* out;
    } rows[] = {
        {"cd MVP invoke Succeed ''", 0, "notice  8194 \\MVP@\n800 Functional\n"},
        {"cd MVP invoke Fail ''", 1, "801 Error\nhalsenctl: invoke Fail: 801 Error\n"},
        {"cd MVP invoke Refuse ''", 1,
         "802 Access Denied\nhalsenctl: invoke Refuse: 802 Access Denied\n"},
        {"cd MVP invoke Check a", 1,
         "805 Invalid argument\nhalsenctl: invoke Check: 805 Invalid argument\n"},
        {"cd MVP invoke Check a@b invoke Missing ''", 1,
         "800 Functional\n803 Not found\nhalsenctl: invoke Missing: 803 Not found\n"},
        // halsenctl on the agent's machine proves it with the agent identity.
        {"cd MVP invoke LocalOnly ''", 0, "800 Functional\n"},
        {"invoke '' x", 1, "805 Invalid argument\nhalsenctl: invoke : 805 Invalid argument\n"},
        {"cd MVP get Model get Label", 0, "pr- Model = TR-1000\nprw Label = spare\n"},
        {"cd MVP set Label main get Label", 0, "prw Label = main\n"},
        {"cd MVP set Model x get Model", 1, "halsenctl: set Model: 802 Access Denied\n"},
        {"cd MVP get Nothing dir", 1, "halsenctl: get Nothing: 803 Not found\n"},
        {"cd 'MVP\\MVP1\\ch1' get . get disk1", 0, "o-- ch1 (type 20)\no-- disk1 (type 21)\n"},
        {"cd 'MVP\\MVP1' cd '..\\MVP1\\array1' get Size", 0, "pr- Size = 1.000 GB\n"},
        {"cd 'MVP\\Nowhere' dir", 1, "halsenctl: cd MVP\\Nowhere: 803 Not found\n"},
        {"cd ''", 1, "halsenctl: cd : 803 Not found\n"},
        {"cd 'MVP\\MVP1' cd '\\' get .", 0, ""},
        {"cd 'MVP\\MVP1' dir", 0,
         "pr- handle = N;26\npr- HasEvent = 1\nm-- RaiseEvent (rights 1)\nm-- ReadEvent (rights -134217729)\n"
         "m-- ClearEvent (rights 64)\no-- array1 (type 25)\no-- ch1 (type 20)\n"},
        {"cd MVP invoke AddSpare '' refresh get spare1", 0, "800 Functional\no-- spare1 (type 21)\n"},
        {"tree 'MVP\\Model'", 1, "halsenctl: cd MVP\\Model: 803 Not found\n"},
        // A plug-in property's get closes with 0@Functional: no error.
        {"send 'cd MVP' 'get Model' 'get Nothing'", 1,
         "done    800@Functional\ndata    Model@pr-@TR-1000\ndone    0@Functional\ndone    803@Not "
         "found\n"},
        // Usage errors are found before anything is sent.
        {"cd MVP invoke Fail '' set Label", 2,
         "halsenctl: set needs 2 argument(s) (see halsenctl --help)\n"},
        {"dir bogus", 2, "halsenctl: \"bogus\" is no folder command (see halsenctl --help)\n"},
        {"wait soon", 2,
         "halsenctl: wait needs a number of seconds, not soon (see halsenctl --help)\n"},
        {"--port 1 dir", 3, "halsenctl: cannot connect to 127.0.0.1 port 1: Connection refused\n"},
    };
    for (const auto& row : rows)
    {
        const agenttest::CommandResult result = RunHalsenctl(row.args);
        EXPECT_EQ(row.status, result.status) << row.args << "\n" << result.out;
        std::string out = WithoutIdentities(result.out);
        // The root's own line carries the host name.
        if (std::string(row.args).find("get .") != std::string::npos && row.out[0] == '\0')
            EXPECT_EQ(0u, out.find("o-- ")) << out;
        else
            EXPECT_EQ(row.out, out) << row.args;
    }
}

// What a command started with popen has printed so far, read without
// waiting.
void ReadAvailable(FILE* from, std::string& out)
{
    char buf[256];
    ssize_t n;
    while ((n = read(fileno(from), buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
}

// Notices reach a halsenctl that only waits while another server works.
TEST_F(HalsenctlFolderTest, WaitPrintsTheNoticesOfOtherServersWork)
{
    FILE* waiting = popen((agenttest::Halsenctl() + " wait 6").c_str(), "r");
    ASSERT_NE(nullptr, waiting);
    fcntl(fileno(waiting), F_SETFL, O_NONBLOCK);
    halsen::Connection connection;
    ASSERT_TRUE(agenttest::ConnectToAgent(connection));
    halsen::FolderClient client(connection);
    ASSERT_TRUE(client.Cd("MVP").Ok());
    // Told again until the waiting halsenctl, once connected, prints it.
    const std::string told = "notice  8194 \\MVP@\n";
    std::string out;
    for (int i = 0; i < 20 && out.find(told) == std::string::npos; ++i)
    {
        EXPECT_TRUE(client.Invoke("Notify", "8194").Ok());
        usleep(200000);
        ReadAvailable(waiting, out);
    }
    EXPECT_NE(std::string::npos, out.find(told)) << out;
    EXPECT_TRUE(client.Cd("MVP1").Ok());
    EXPECT_TRUE(client.Invoke("RaiseEvent", "7@0@1@title@detail").Ok());
    fcntl(fileno(waiting), F_SETFL, 0);
    ReadAvailable(waiting, out);
    EXPECT_EQ(0, WEXITSTATUS(pclose(waiting)));
    EXPECT_NE(std::string::npos, out.find("notice  8195 \\MVP\\MVP1@\n")) << out;
}
} // namespace
