// The agent started as the unit starts it, where systemd is not there to
// do it: the unit's capability bounding set, no new privileges and
// descriptor limit applied by setpriv and prlimit. It must come up, hold
// port 710 and answer a ping, and its process must carry the bounds.

#include "HalsenClient.h"
#include "LogonHelpers.h"
#include "ServiceUnit.h"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
const char kRunning[] = "dorvik daemon is running well...";
const int kStartMs = 20000;

struct Capability
{
    const char* name;
    int bit;
};
const Capability kCapabilities[] = {{"CAP_NET_BIND_SERVICE", 10}, {"CAP_MKNOD", 27}};

// The command that applies the unit's bounds and runs the agent.
std::vector<std::string> Command(const servicetest::ServiceUnit& unit, unsigned long long& mask)
{
    std::string bounding = "--bounding-set=-all";
    mask = 0;
    for (const std::string& cap : unit.Words("CapabilityBoundingSet"))
    {
        for (const Capability& c : kCapabilities)
        {
            if (cap == c.name)
                mask |= 1ULL << c.bit;
        }
        std::string name = cap.substr(4);
        for (char& ch : name)
            ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
        bounding += ",+" + name;
    }
    const std::string files = unit.Words("LimitNOFILE").at(0);
    std::vector<std::string> command = {"prlimit", "--nofile=" + files + ":" + files, "setpriv", bounding,
                                        "--inh-caps=-all"};
    if (unit.Words("NoNewPrivileges") == std::vector<std::string>{"yes"})
        command.push_back("--no-new-privs");
    command.push_back(std::string(TAVRINE_BUILD_DIR) + "/agent/dorvik");
    return command;
}

// A line of /proc/PID/status, without its name.
std::string Status(pid_t pid, const std::string& name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
    {
        if (line.compare(0, name.size() + 1, name + ":") == 0)
            return line.substr(line.find_first_not_of(" \t", name.size() + 1));
    }
    return "";
}

class RestrictedStartTest : public testing::Test
{
protected:
    void TearDown() override
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    void Start(const std::vector<std::string>& command)
    {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        m_pid = fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0)
        {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            for (const std::string& word : command)
                argv.push_back(const_cast<char*>(word.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        m_nOut = out[0];
    }

    // Reads the agent's output until `text` appears or the time runs out.
    bool WaitFor(const std::string& text)
    {
        for (int waited = 0; waited < kStartMs && m_out.find(text) == std::string::npos; waited += 100)
        {
            pollfd p = {m_nOut, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = read(m_nOut, buf, sizeof buf);
            if (n <= 0)
                break;
            m_out.append(buf, static_cast<size_t>(n));
        }
        return m_out.find(text) != std::string::npos;
    }

    pid_t m_pid = -1;
    int m_nOut = -1;
    std::string m_out;
};

TEST_F(RestrictedStartTest, AgentStartsAndServesWithinTheUnitsBounds)
{
    if (system("command -v setpriv >/dev/null && command -v prlimit >/dev/null") != 0)
        GTEST_SKIP() << "setpriv and prlimit (util-linux) are not here";
    servicetest::ServiceUnit unit;
    ASSERT_TRUE(unit.Load(servicetest::UnitPath())) << servicetest::UnitPath();
    logontest::CreateAdmin();
    unsigned long long mask = 0;
    Start(Command(unit, mask));
    ASSERT_TRUE(WaitFor(kRunning)) << m_out;

    // setpriv execs the agent, so the process is the agent itself.
    EXPECT_EQ(Status(m_pid, "NoNewPrivs"), "1");
    EXPECT_EQ(strtoull(Status(m_pid, "CapBnd").c_str(), nullptr, 16), mask);

    halsen::Connection c;
    std::string error;
    ASSERT_TRUE(c.Connect("127.0.0.1", halsen::kAgentPort, error)) << error;
    halsen::Packet ping;
    ping.command = halsen::kPing;
    ping.body = "still there?";
    std::vector<halsen::Packet> replies;
    ASSERT_EQ(c.Request(ping, replies, 5000), halsen::Connection::kGot);
    EXPECT_EQ(replies.back().kind, halsen::kFinish);
    EXPECT_EQ(replies.back().body, "still there?");

    kill(m_pid, SIGTERM);
    int status = -1;
    ASSERT_EQ(waitpid(m_pid, &status, 0), m_pid);
    m_pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
} // namespace
