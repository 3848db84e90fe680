// halsend: the management server that keeps a site's agents in view and
// hands that view to HTTP clients and to Prometheus.

#include "ApiServer.h"
#include "Config.h"
#include "Fleet.h"
#include "Log.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace
{
const char kDefaultConfig[] = "/etc/tavrine/halsend.conf";

int Usage(FILE* to, int status)
{
    fprintf(to, "usage: halsend [--config FILE]   (default %s)\n", kDefaultConfig);
    return status;
}

// SIGTERM and SIGINT end the loop through a descriptor it polls.
int StopDescriptor()
{
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK);
}

int Serve(const halsend::Config& config)
{
    const int stopFd = StopDescriptor();
    halsend::Fleet fleet(config);
    halsend::ApiServer api(fleet, config);
    std::string error;
    if (stopFd < 0 || !fleet.Open(error) || !api.Start(error))
    {
        halsend::LogLine(error.empty() ? "cannot watch for signals" : error);
        return 1;
    }
    halsend::LogLine("running as " + config.user + " with " + std::to_string(config.agents.size()) +
                     " static agents and " + std::to_string(config.networks.size()) + " discovery networks");
    fleet.Run(stopFd);
    api.Stop();
    halsend::LogLine("stopped");
    close(stopFd);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    std::string path = kDefaultConfig;
    for (int i = 1; i < argc; ++i)
    {
        if (strcmp(argv[i], "--config") == 0 && i + 1 < argc)
            path = argv[++i];
        else if (strcmp(argv[i], "--help") == 0)
            return Usage(stdout, 0);
        else
            return Usage(stderr, 2);
    }
    halsend::Config config;
    std::string error;
    if (!halsend::LoadConfig(path, config, error))
    {
        halsend::LogLine(error);
        return 1;
    }
    return Serve(config);
}
