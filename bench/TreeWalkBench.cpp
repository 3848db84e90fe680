// Cost of a management server's full walk of the RAID tree through the
// agent: dorvik with the RAID plug-in on the simulated controller, walked
// with dir and cd on every folder, once by `halsenctl tree` (a process of
// its own and a connection per walk) and once over one open connection.
//
//   tools/sandbox --sim two-adapters-full -- build/bench/tree_walk_bench [rounds]

#include "FolderClient.h"
#include "SimBench.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using simbench::Measure;

bool WriteProfile()
{
    FILE* f = fopen("/etc/tavrine/Dorvik.rc", "w");
    if (!f)
        return false;
    fprintf(f, "[Morliven]\nNumOfDevice=1\nDevice1=RAID\nPath1=%s\n", MVRAID_PATH);
    return fclose(f) == 0;
}

// The account the walks log on with, made as an administrator makes the
// first one.
const char kUser[] = "bench";
const char kPassword[] = "bench-secret";

bool CreateAccount()
{
    const std::string init =
        std::string(TAVRINE_BUILD_DIR "/agent/dorvik -i ") + kUser + " " + kPassword + " >/dev/null";
    return system(init.c_str()) == 0;
}

pid_t StartAgent()
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execl(TAVRINE_BUILD_DIR "/agent/dorvik", "dorvik", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Connects and logs on, waiting up to `ms` for the agent to listen.
bool ConnectWithin(halsen::Connection& connection, int ms)
{
    std::string error;
    for (int waited = 0; waited < ms; waited += 50)
    {
        if (connection.Connect("127.0.0.1", halsen::kAgentPort, error))
        {
            if (connection.LogOn(kUser, kPassword, error))
                return true;
            break;
        }
        usleep(50000);
    }
    fprintf(stderr, "tree_walk_bench: %s\n", error.c_str());
    return false;
}

// The entries one walk of the device folder visits, the folder itself
// included; -1 when it failed.
int WalkOnce(halsen::FolderClient& client, int* objects = nullptr)
{
    int entries = 0;
    int folders = 0;
    std::string problem;
    const auto count = [&](int, const halsen::Entry& entry)
    {
        ++entries;
        folders += entry.IsObject();
    };
    if (objects)
        *objects = 0;
    if (!client.Cd("\\RAID").Ok() || !client.Walk(count, problem))
    {
        fprintf(stderr, "tree_walk_bench: %s\n", problem.c_str());
        return -1;
    }
    if (objects)
        *objects = folders;
    return entries;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? atoi(argv[1]) : 50;
    if (rounds <= 0 || !WriteProfile() || !CreateAccount())
    {
        fprintf(stderr, "usage: tree_walk_bench [rounds], inside tools/sandbox --sim PRESET\n");
        return 2;
    }
    const pid_t agent = StartAgent();
    halsen::Connection connection;
    bool ok = agent > 0 && ConnectWithin(connection, 10000);
    halsen::FolderClient client(connection);
    int objects = 0;
    const int entries = ok ? WalkOnce(client, &objects) : -1;
    ok = entries > 0;
    if (ok)
    {
        printf("tree: %d entries, %d objects, the device folder included\n", entries, objects);
        const std::string tree = std::string("HALSEN_PASSWORD=") + kPassword + " " TAVRINE_BUILD_DIR
                                 "/client/halsenctl --user " + kUser + " tree RAID >/dev/null";
        ok = Measure("walk over one open connection", rounds,
                     [&] { return WalkOnce(client) == entries; }) &&
             Measure("halsenctl tree RAID", rounds, [&] { return system(tree.c_str()) == 0; });
    }
    if (agent > 0)
    {
        kill(agent, SIGTERM);
        waitpid(agent, nullptr, 0);
    }
    return ok ? 0 : 1;
}
