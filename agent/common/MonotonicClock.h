#pragma once

#include <ctime>

// Milliseconds on a clock that setting the system time does not move, for
// deadlines.
inline long long MonotonicMs()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
