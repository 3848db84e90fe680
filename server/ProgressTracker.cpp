#include "ProgressTracker.h"

namespace halsend
{
void ProgressTracker::Observe(const std::string& path, int activity, long percent, Clock::time_point now)
{
    auto it = m_arrays.find(path);
    if (activity == 0 || percent < 0)
    {
        if (it != m_arrays.end())
            m_arrays.erase(it);
        return;
    }
    if (it == m_arrays.end() || it->second.activity != activity || percent < it->second.percent)
    {
        Sample& s = m_arrays[path];
        s.activity = activity;
        s.firstPercent = s.percent = percent;
        s.firstAt = s.at = now;
        return;
    }
    if (percent != it->second.percent)
    {
        it->second.percent = percent;
        it->second.at = now;
    }
}

bool ProgressTracker::Eta(const std::string& path, Clock::time_point now, double& seconds) const
{
    const auto it = m_arrays.find(path);
    if (it == m_arrays.end())
        return false;
    const Sample& s = it->second;
    const double elapsed = std::chrono::duration<double>(s.at - s.firstAt).count();
    if (s.percent <= s.firstPercent || elapsed <= 0)
        return false;
    const double rate = (s.percent - s.firstPercent) / elapsed;
    const double since = std::chrono::duration<double>(now - s.at).count();
    seconds = (100 - s.percent) / rate - since;
    if (seconds < 0)
        seconds = 0;
    return true;
}
} // namespace halsend
