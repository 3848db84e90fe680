// Calls per second of the RAID API functions a poller calls most, on the
// simulated controller, with the driver work each call costs.
//
//   tools/sandbox --sim two-adapters -- build/bench/raidapi_poll_bench [seconds per function]
//
// Every call reads "/proc/devices", checks "/dev/zeldev" (making it only
// when it is missing or wrong) and opens it for each request; under the
// simulator each of those steps is one locked round trip through the
// shared state file, which the last line measures on its own.

#include "Raidapi.h"
#include "SimStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace
{
using Clock = std::chrono::steady_clock;

zelsim::Counters Counters()
{
    zelsim::Counters c{};
    zelsim::UpdateState([&](zelsim::SimState& s) { c = s.counters; });
    return c;
}

void Measure(const char* name, double seconds, const std::function<void()>& call)
{
    zelsim::Counters before = Counters();
    long calls = 0;
    Clock::time_point start = Clock::now();
    double elapsed = 0;
    while (elapsed < seconds)
    {
        call();
        calls++;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    zelsim::Counters after = Counters();
    printf("%-22s %8.0f calls/s %7.1f us/call  per call: %.1f requests, %.1f /proc/devices reads, "
           "%.1f mknods\n",
           name, calls / elapsed, elapsed * 1e6 / calls,
           double(after.ioctls - before.ioctls) / calls,
           double(after.procDevicesOpens - before.procDevicesOpens) / calls,
           double(after.mknods - before.mknods) / calls);
}
} // namespace

int main(int argc, char** argv)
{
    double seconds = argc > 1 ? atof(argv[1]) : 1.0;
    void* handle = nullptr;
    if (raInitialize(&handle) != reSOK)
    {
        fprintf(stderr,
                "raidapi_poll_bench: no driver (run it in tools/sandbox --sim two-adapters)\n");
        return 1;
    }
    raeArrayFunctionalStatus functional;
    raeArrayActivityStatus activity;
    int percent, n;
    rasEvent events[RA_MAX_EVENTS];
    rasArrayInfo info;
    raeDiskFunctionalStatus df;
    raeDiskAssignmentStatus da;
    raeDiskMaintenanceActivity dm;
    raeDiskSMARTStatus ds;
    BOOL update;
    Measure("raGetArrayStatus", seconds,
            [&] { raGetArrayStatus(0, &functional, &activity, &percent); });
    Measure("raGetEvents", seconds, [&] { raGetEvents(events, &n); });
    Measure("raNeedUpdate", seconds, [&] { raNeedUpdate(&update); });
    Measure("raGetArrayInfo", seconds, [&] { raGetArrayInfo(0, &info); });
    Measure("raGetDiskStatus", seconds, [&] { raGetDiskStatus(0, &df, &da, &dm, &ds); });
    Measure("raGetDiskSize (cached)", seconds, [&] { raGetDiskSize(0, &percent, &n); });
    Measure("simulator round trip", seconds, [] { zelsim::UpdateState([](zelsim::SimState&) {}); });
    return 0;
}
