// Load on the management links: holds N connections to a freshly started
// agent and keeps exactly one request in flight on each for a fixed time; a
// round trip counts once the request's closing reply has come. Prints the
// connections held, the round trips per second and the agent's peak memory
// and CPU time. The request is a ping (answered by its closing reply alone)
// or, with --request get, a get of the root folder's name by a logged-on
// user (a data line and the closing reply). With --idle it measures the
// agent's CPU time over a quiet period instead.
//
//   tools/sandbox -- build/bench/link_bench [--connections N] [--seconds S] [--request ping|get]
//   tools/sandbox -- build/bench/link_bench --idle S [--connections N]
//
// It starts the agent and binds its ports, so it runs only in the sandbox.

#include "HalsenClient.h"
#include "LinkLoad.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace
{
const char kAgent[] = TAVRINE_BUILD_DIR "/agent/dorvik";
const char kAgentLog[] = "/tmp/link-bench-agent.out";
const char kUser[] = "bench";
const char kPassword[] = "bench-secret";

struct Settings
{
    int connections = 100;
    int seconds = 10;
    int idleSeconds = 0;
    bool get = false;
};

halsen::Packet Request(bool get)
{
    halsen::Packet p;
    p.command = get ? halsen::kGet : halsen::kPing;
    p.body = get ? "name" : "";
    return p;
}

// Connects n clients and keeps those whose first request the agent
// answered (it refuses what it cannot watch); for gets each logs on first.
std::vector<std::unique_ptr<halsen::Connection>> Connect(int n, bool get)
{
    std::vector<std::unique_ptr<halsen::Connection>> held;
    for (int i = 0; i < n; ++i)
    {
        std::unique_ptr<halsen::Connection> c(new halsen::Connection);
        std::string error;
        std::vector<halsen::Packet> replies;
        if (c->Connect("127.0.0.1", halsen::kAgentPort, error) &&
            (!get || c->LogOn(kUser, kPassword, error)) &&
            c->Request(Request(get), replies, 5000) == halsen::Connection::kGot &&
            replies.back().kind == halsen::kFinish)
            held.push_back(std::move(c));
    }
    return held;
}

linkload::LoadResult Drive(std::vector<std::unique_ptr<halsen::Connection>>& held, int seconds,
                           bool get)
{
    std::vector<linkload::Client> clients(held.size());
    const std::string request = halsen::Encode(Request(get));
    for (size_t i = 0; i < held.size(); ++i)
    {
        clients[i].fd = held[i]->Fd();
        linkload::SendWithoutDelay(clients[i].fd);
        clients[i].request = request;
    }
    return linkload::RunLoad(clients, linkload::AgentAnswerEnd, seconds, false);
}

bool ParseArgs(int argc, char** argv, Settings& s)
{
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string arg = argv[i];
        const std::string text = argv[i + 1];
        const int value = atoi(text.c_str());
        if (arg == "--request" && (text == "ping" || text == "get"))
            s.get = text == "get";
        else if (value < 0)
            return false;
        else if (arg == "--connections")
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

void Report(const Settings& s, const linkload::LoadResult& load, pid_t agent, double cpuBefore)
{
    const char* what = s.get ? "get name, logged on" : "ping";
    printf(
        "round trips (%s, one request in flight per connection) %ld in %.1f s: %.0f per second%s\n",
        what, load.trips, load.seconds, load.Rate(), load.failed ? " (a connection broke!)" : "");
    const double cpu = linkload::CpuSeconds(agent) - cpuBefore;
    printf("agent CPU %.2f s (%.0f%% of one core)\n", cpu, 100 * cpu / load.seconds);
}
} // namespace

int main(int argc, char** argv)
{
    Settings s;
    if (const int refused = linkload::RefuseToStart(
            ParseArgs(argc, argv, s), "link_bench",
            "[--connections N] [--seconds S] [--request ping|get] [--idle S]"))
        return refused;
    rlimit limit = {static_cast<rlim_t>(s.connections + 64),
                    static_cast<rlim_t>(s.connections + 64)};
    setrlimit(RLIMIT_NOFILE, &limit);
    const std::string init = std::string(kAgent) + " -i " + kUser + " " + kPassword + " >/dev/null";
    if (s.get && system(init.c_str()) != 0)
    {
        fprintf(stderr, "link_bench: cannot make the account\n");
        return 1;
    }
    const pid_t agent = linkload::Start({kAgent}, kAgentLog);
    if (!linkload::WaitForTcp(halsen::kAgentPort, 10000))
    {
        fprintf(stderr, "link_bench: the agent did not start; see %s\n", kAgentLog);
        linkload::Stop(agent);
        return 1;
    }
    std::vector<std::unique_ptr<halsen::Connection>> held = Connect(s.connections, s.get);
    printf("connections asked %d, held %zu\n", s.connections, held.size());
    const double cpuBefore = linkload::CpuSeconds(agent);
    if (s.idleSeconds > 0)
    {
        sleep(static_cast<unsigned>(s.idleSeconds));
        printf("idle %d s: agent CPU %.3f s\n", s.idleSeconds,
               linkload::CpuSeconds(agent) - cpuBefore);
    }
    else
        Report(s, Drive(held, s.seconds, s.get), agent, cpuBefore);
    printf("agent peak RSS %ld kB\n", linkload::PeakRssKb(agent));
    linkload::Stop(agent);
    return 0;
}
