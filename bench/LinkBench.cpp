// Load on the management links: holds N connections to a freshly started
// agent and keeps one request in flight on each for a fixed time, then
// prints the connections held, the round trips per second and the agent's
// peak memory and CPU time. With --idle it measures the agent's CPU time
// over a quiet period instead.
//
//   tools/sandbox -- build/bench/link_bench [--connections N] [--seconds S]
//   tools/sandbox -- build/bench/link_bench --idle S [--connections N]
//
// It starts the agent and binds its ports, so it runs only in the sandbox.

#include "HalsenClient.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

const char kAgent[] = TAVRINE_BUILD_DIR "/agent/dorvik";
const char kAgentLog[] = "/tmp/link-bench-agent.out";

struct Settings
{
    int connections = 100;
    int seconds = 10;
    int idleSeconds = 0;
};

bool InSandbox()
{
    struct stat st;
    return stat("/run/tavrine-sandbox", &st) == 0;
}

pid_t StartAgent()
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int fd = open(kAgentLog, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        execl(kAgent, kAgent, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Seconds of CPU the process has used, user and system.
double CpuSeconds(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* f = fopen(path.c_str(), "r");
    if (!f)
        return -1;
    char text[1024] = {};
    const size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = '\0';
    // Fields after the command name, which is in parentheses: utime and
    // stime are the 12th and 13th of them.
    const char* p = strrchr(text, ')');
    unsigned long utime = 0, stime = 0;
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return -1;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

long PeakRssKb(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    FILE* f = fopen(path.c_str(), "r");
    long kb = -1;
    char line[256];
    while (f && fgets(line, sizeof line, f))
    {
        if (sscanf(line, "VmHWM: %ld kB", &kb) == 1)
            break;
    }
    if (f)
        fclose(f);
    return kb;
}

bool WaitForPort()
{
    for (int i = 0; i < 200; ++i)
    {
        halsen::Connection probe;
        std::string error;
        if (probe.Connect("127.0.0.1", halsen::kAgentPort, error))
            return true;
        usleep(50000);
    }
    return false;
}

halsen::Packet Ping(int stamp)
{
    halsen::Packet p;
    p.command = halsen::kGet;
    p.stamp = stamp;
    p.body = "name";
    return p;
}

// Connects n clients and keeps those whose first request the agent
// answered (it refuses what it cannot watch).
std::vector<std::unique_ptr<halsen::Connection>> Connect(int n)
{
    std::vector<std::unique_ptr<halsen::Connection>> held;
    for (int i = 0; i < n; ++i)
    {
        std::unique_ptr<halsen::Connection> c(new halsen::Connection);
        std::string error;
        std::vector<halsen::Packet> replies;
        if (c->Connect("127.0.0.1", halsen::kAgentPort, error) &&
            c->Request(Ping(i), replies, 5000) == halsen::Connection::kGot && replies.back().kind == halsen::kFinish)
            held.push_back(std::move(c));
    }
    return held;
}

// One request in flight per connection for `seconds`; the round trips done.
long Drive(std::vector<std::unique_ptr<halsen::Connection>>& held, int seconds)
{
    std::vector<pollfd> fds;
    for (auto& c : held)
    {
        fds.push_back({c->Fd(), POLLIN, 0});
        c->Send(Ping(0));
    }
    long trips = 0;
    const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end)
    {
        if (poll(fds.data(), fds.size(), 100) <= 0)
            continue;
        for (size_t i = 0; i < fds.size(); ++i)
        {
            if (!(fds[i].revents & POLLIN))
                continue;
            halsen::Packet p;
            if (held[i]->Receive(p, 0) != halsen::Connection::kGot)
                continue;
            ++trips;
            held[i]->Send(Ping(static_cast<int>(trips)));
        }
    }
    return trips;
}

bool ParseArgs(int argc, char** argv, Settings& s)
{
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string arg = argv[i];
        const int value = atoi(argv[i + 1]);
        if (value < 0)
            return false;
        if (arg == "--connections")
            s.connections = value;
        else if (arg == "--seconds")
            s.seconds = value;
        else if (arg == "--idle")
            s.idleSeconds = value;
        else
            return false;
    }
    return argc % 2 == 1;
}
} // namespace

int main(int argc, char** argv)
{
    Settings s;
    if (!ParseArgs(argc, argv, s))
    {
        fprintf(stderr, "usage: link_bench [--connections N] [--seconds S] [--idle S]\n");
        return 2;
    }
    if (!InSandbox())
    {
        fprintf(stderr, "link_bench: run me inside tools/sandbox; I start an agent on its real ports\n");
        return 2;
    }
    rlimit limit = {static_cast<rlim_t>(s.connections + 64), static_cast<rlim_t>(s.connections + 64)};
    setrlimit(RLIMIT_NOFILE, &limit);
    const pid_t agent = StartAgent();
    if (!WaitForPort())
    {
        fprintf(stderr, "link_bench: the agent did not start; see %s\n", kAgentLog);
        return 1;
    }
    std::vector<std::unique_ptr<halsen::Connection>> held = Connect(s.connections);
    printf("connections asked %d, held %zu\n", s.connections, held.size());
    const double cpuBefore = CpuSeconds(agent);
    const Clock::time_point start = Clock::now();
    if (s.idleSeconds > 0)
    {
        sleep(static_cast<unsigned>(s.idleSeconds));
        printf("idle %d s: agent CPU %.3f s\n", s.idleSeconds, CpuSeconds(agent) - cpuBefore);
    }
    else
    {
        const long trips = Drive(held, s.seconds);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        printf("round trips %ld in %.1f s: %.0f per second\n", trips, elapsed, trips / elapsed);
        printf("agent CPU %.2f s (%.0f%% of one core)\n", CpuSeconds(agent) - cpuBefore,
               100 * (CpuSeconds(agent) - cpuBefore) / elapsed);
    }
    printf("agent peak RSS %ld kB\n", PeakRssKb(agent));
    kill(agent, SIGTERM);
    int status = 0;
    waitpid(agent, &status, 0);
    return 0;
}
