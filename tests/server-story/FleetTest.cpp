#include "HalsendHarness.h"
#include "LogonHelpers.h"

#include <memory>

namespace
{
using namespace halsendtest;

const int kAgents = 20;

std::string Address(int i) { return "10.77.0." + std::to_string(10 + i); }
std::string Name(int i) { return "agent" + std::to_string(i); }
std::string Home(int i) { return "/tmp/fleet/" + std::to_string(i); }

// A bridge in the test's own network namespace, and one namespace per
// agent joined to it by a veth pair, with the bridge as its way out so
// that its announcements reach halsend.
void MakeNetwork()
{
    std::string script = "set -e; ip link add br-fleet type bridge; ip addr add 10.77.0.1/24 dev br-fleet;"
                         "ip link set br-fleet up;";
    for (int i = 1; i <= kAgents; ++i)
    {
        const std::string ns = "fleet" + std::to_string(i), veth = "vf" + std::to_string(i);
        script += "ip netns add " + ns + "; ip link add " + veth + " type veth peer name eth0 netns " + ns +
                  "; ip link set " + veth + " master br-fleet up; ip -n " + ns + " addr add " + Address(i) +
                  "/24 dev eth0; ip -n " + ns + " link set eth0 up; ip -n " + ns + " link set lo up; ip -n " + ns +
                  " route add default via 10.77.0.1;";
    }
    int status = -1;
    const std::string out = simtest::Shell(script + " 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
}

// Each agent's own profile, accounts, logs and simulated controller.
void MakeHome(int i)
{
    const std::string home = Home(i);
    int status = -1;
    simtest::Shell("mkdir -p " + home + "/etc " + home + "/log/misc " + home + "/run && ZELSIM_STATE=" + home +
                       "/zelsim.state zelsim init one-adapter && printf '[Morliven]\\nNumOfDevice=1\\nDevice1=RAID\\n"
                       "Path1=" MVRAID_PATH "\\n' >" +
                       home + "/etc/Dorvik.rc",
                   &status);
    ASSERT_EQ(status, 0) << home;
}

// The agent in its namespace, with its own host name and its own
// /etc/tavrine, /var/log/tavrine and /run (where an agent holds the lock
// that allows one agent per machine); it makes its account the first time.
std::unique_ptr<ChildProcess> StartAgent(int i)
{
    const std::string home = Home(i);
    const std::string agent = std::string(TAVRINE_BUILD_DIR) + "/agent/dorvik";
    const std::string script = "hostname " + Name(i) + " && mount --bind " + home + "/etc /etc/tavrine && mount --bind " +
                               home + "/log /var/log/tavrine && mount --bind " + home + "/run /run && { [ -f /etc/tavrine/ZELRAID.PWD ] || " + agent +
                               " -i " + logontest::kAdmin + " " + logontest::kAdminPassword + " >/dev/null; } && exec " +
                               agent;
    return std::make_unique<ChildProcess>(
        std::vector<std::string>{"ip", "netns", "exec", "fleet" + std::to_string(i), "unshare", "--mount", "--uts",
                                 "sh", "-c", script},
        home + "/agent.log", "ZELSIM_STATE=" + home + "/zelsim.state");
}

double Up(int i) { return Metric(Metrics(), "tavrine_agent_up{agent=\"" + Name(i) + "\"}"); }

TEST(Fleet, TwentyAgentsAreFoundByBroadcastAndOneComesBackAfterARestart)
{
    ASSERT_NO_FATAL_FAILURE(MakeNetwork());
    std::vector<std::unique_ptr<ChildProcess>> agents(kAgents + 1);
    for (int i = 1; i <= kAgents; ++i)
    {
        ASSERT_NO_FATAL_FAILURE(MakeHome(i));
        agents[i] = StartAgent(i);
    }
    WriteConfig(logontest::kAdminPassword, "", "Networks=10.77.0.255");
    HalsendProcess server;
    const bool allUp = WaitUntil(
        [] {
            for (int i = 1; i <= kAgents; ++i)
            {
                if (Up(i) != 1)
                    return false;
            }
            return true;
        },
        90000);
    ASSERT_TRUE(allUp) << Metrics() << server.Log();
    EXPECT_EQ(Metric(Metrics(), "halsend_agents"), kAgents);

    const int victim = 7;
    agents[victim]->Stop(SIGKILL);
    EXPECT_TRUE(WaitUntil([] { return Up(victim) == 0; }, 20000)) << server.Log();
    EXPECT_EQ(Up(victim + 1), 1);
    agents[victim] = StartAgent(victim);
    EXPECT_TRUE(WaitUntil([] { return Up(victim) == 1; }, 30000)) << server.Log() << agents[victim]->Log();
    EXPECT_NE(server.Log().find("agent " + Name(victim) + " (" + Address(victim) + ":710): up"), std::string::npos);
}
} // namespace
