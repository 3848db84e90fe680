#pragma once

// What the benchmarks on the simulated controller share: the count of
// driver requests the simulator has answered, and one measured row.

#include "SimModel.h"
#include "SimStore.h"

#include <chrono>
#include <cstdio>
#include <functional>

namespace simbench
{
inline uint32_t Requests()
{
    uint32_t n = 0;
    zelsim::UpdateState([&](zelsim::SimState& s) { n = s.counters.ioctls; });
    return n;
}

// Runs `round` `rounds` times and prints the mean time and driver requests
// of one; false as soon as a round fails.
inline bool Measure(const char* name, int rounds, const std::function<bool()>& round)
{
    using Clock = std::chrono::steady_clock;
    const uint32_t before = Requests();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < rounds; ++i)
    {
        if (!round())
            return false;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    printf("%-36s %9.3f ms each  %7.1f driver requests each  (%d rounds)\n", name, ms / rounds,
           double(Requests() - before) / rounds, rounds);
    return true;
}
} // namespace simbench
