#pragma once

// How fast each array's running task (rebuild, initialisation, ...) moves,
// from the percent the agent shows at each change, and so how long it
// has left.

#include <chrono>
#include <map>
#include <string>

namespace halsend
{
class ProgressTracker
{
public:
    using Clock = std::chrono::steady_clock;

    // The array at `path` shows task `activity` (0 for none) at `percent`.
    void Observe(const std::string& path, int activity, long percent, Clock::time_point now);
    void Forget(const std::string& path) { m_arrays.erase(path); }
    void Clear() { m_arrays.clear(); }
    // Seconds left at the rate seen since the task was first seen moving;
    // false while no rate is known.
    bool Eta(const std::string& path, Clock::time_point now, double& seconds) const;

private:
    struct Sample
    {
        int activity = 0;
        long firstPercent = 0;
        Clock::time_point firstAt;
        long percent = 0;
        Clock::time_point at;
    };
    std::map<std::string, Sample> m_arrays;
};
} // namespace halsend
