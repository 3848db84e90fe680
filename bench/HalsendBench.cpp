// halsend at scale: a hundred fake agents on loopback (FakeFleet), watched
// by the real halsend. Prints the time until all are walked and up, the
// memory per agent, the time of a full scrape of /metrics, and the delay
// from an agent's change notice to the metric.
//
//   tools/sandbox -- build/bench/halsend_bench [agents] [scrapes]

#include "FakeFleet.h"

#include <httplib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;
const int kFirstPort = 7200;
const int kHttpPort = 9710;

double MsSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

pid_t Spawn(const std::function<void()>& child)
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        child();
        _exit(0);
    }
    return pid;
}

void WriteSettings(int agents)
{
    std::ofstream("/etc/tavrine/halsend.pwd") << "bench\n";
    chmod("/etc/tavrine/halsend.pwd", 0600);
    // Ten agents a line: a profile line is only so long.
    std::string list = "Static=";
    for (int i = 0; i < agents; ++i)
        list += (i % 10 ? "," : i ? "\nStatic" + std::to_string(i / 10 + 1) + "=" : "") + std::string("127.0.0.1:") +
                std::to_string(kFirstPort + i);
    std::ofstream("/etc/tavrine/halsend.conf") << "[Discovery]\nNetworks=\n[Account]\nUser=bench\nPasswordFile="
                                               << "/etc/tavrine/halsend.pwd\n[Agents]\n" << list
                                               << "\n[Http]\nPort=" << kHttpPort << "\n";
}

pid_t StartHalsend()
{
    return Spawn([] {
        const int log = open("/tmp/halsend-bench.log", O_WRONLY | O_CREAT | O_APPEND, 0600);
        dup2(log, STDERR_FILENO);
        execl(TAVRINE_BUILD_DIR "/server/halsend", "halsend", "--config", "/etc/tavrine/halsend.conf",
              static_cast<char*>(nullptr));
    });
}

long RssKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
    {
        if (line.compare(0, 6, "VmRSS:") == 0)
            return atol(line.c_str() + 6);
    }
    return -1;
}

std::string Scrape()
{
    httplib::Client client("127.0.0.1", kHttpPort);
    const httplib::Result r = client.Get("/metrics");
    return r && r->status == 200 ? r->body : "";
}

int CountUp(const std::string& page)
{
    int up = 0;
    for (size_t at = page.find("\ntavrine_agent_up{"); at != std::string::npos; at = page.find("\ntavrine_agent_up{", at + 1))
        up += page.compare(page.find('}', at) + 1, 3, " 1\n") == 0;
    return up;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    const Clock::time_point start = Clock::now();
    while (!done())
    {
        if (MsSince(start) > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    const int agents = argc > 1 ? atoi(argv[1]) : 100;
    const int scrapes = argc > 2 ? atoi(argv[2]) : 20;
    WriteSettings(0);
    pid_t server = StartHalsend();
    WaitFor([] { return !Scrape().empty(); }, 10000);
    const long idleKb = RssKb(server);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);

    const pid_t fleet = Spawn([agents] { halsendbench::ServeFleet(kFirstPort, agents); });
    WriteSettings(agents);
    const Clock::time_point start = Clock::now();
    server = StartHalsend();
    if (!WaitFor([agents] { return CountUp(Scrape()) == agents; }, 120000))
    {
        fprintf(stderr, "halsend_bench: not all %d agents came up; see its log:\n", agents);
        return system("tail -20 /tmp/halsend-bench.log") & 1;
    }
    printf("agents walked and up                 %9.1f ms for %d agents\n", MsSince(start), agents);
    const long fullKb = RssKb(server);
    printf("memory per agent                     %9.1f kB  (RSS %ld kB idle, %ld kB with %d agents)\n",
           double(fullKb - idleKb) / agents, idleKb, fullKb, agents);
    double total = 0, worst = 0;
    size_t bytes = 0;
    for (int i = 0; i < scrapes; ++i)
    {
        const Clock::time_point t = Clock::now();
        bytes = Scrape().size();
        const double ms = MsSince(t);
        total += ms;
        worst = ms > worst ? ms : worst;
    }
    printf("full scrape of /metrics              %9.3f ms mean, %.3f ms worst  (%zu bytes, %d scrapes)\n",
           total / scrapes, worst, bytes, scrapes);
    const std::string series = "tavrine_array_state{adapter=\"RAID/MVP1\",agent=\"127.0.0.1:7200\",array=\"array1\"} 1";
    const Clock::time_point turned = Clock::now();
    kill(fleet, SIGUSR1);
    const bool seen = WaitFor([&] { return Scrape().find(series) != std::string::npos; }, 10000);
    printf("change notice to metric              %9.3f ms%s\n", MsSince(turned), seen ? "" : "  (never seen)");
    kill(server, SIGTERM);
    kill(fleet, SIGTERM);
    waitpid(server, nullptr, 0);
    waitpid(fleet, nullptr, 0);
    return seen ? 0 : 1;
}
