#pragma once

// The /metrics page: the fleet's state in the Prometheus text format,
// built afresh from the agents' views at every scrape, so arrays, disks
// and agents that went away leave no stale series behind.

#include "AgentMonitor.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <map>
#include <memory>
#include <string>

namespace halsend
{
class MetricsPage
{
public:
    MetricsPage();

    // One agent's series; under the fleet's lock.
    void Add(const AgentMonitor& agent, Clock::time_point now);
    void SetAgents(size_t count) { Set("halsend_agents", {}, static_cast<double>(count)); }
    // The page, with the time it took to gather it since construction.
    std::string Render(Clock::time_point started);

private:
    using Labels = std::map<std::string, std::string>;
    prometheus::Family<prometheus::Gauge>& Gauge(const std::string& name, const std::string& help);
    prometheus::Family<prometheus::Counter>& Counter(const std::string& name, const std::string& help);
    void Set(const std::string& name, const Labels& labels, double value);

    void AddFolder(const AgentMonitor& agent, const std::string& path, Clock::time_point now);
    void AddArray(const AgentMonitor& agent, const std::string& path, Labels labels, Clock::time_point now);
    void AddDisk(const TreeCache& tree, const std::string& path, Labels labels);
    void AddEnclosure(const TreeCache& tree, const std::string& path, Labels labels);
    void AddBattery(const TreeCache& tree, const std::string& path, Labels labels);
    void AddEvents(const AgentMonitor& agent);

    prometheus::Registry m_registry;
    std::map<std::string, prometheus::Family<prometheus::Gauge>*> m_gauges;
    prometheus::Family<prometheus::Counter>* m_events;
    prometheus::Family<prometheus::Counter>* m_mailFailures;
    prometheus::Family<prometheus::Counter>* m_reconnects;
};

// The adapter above a folder, as "RAID/MVP1"; empty when there is none.
std::string AdapterOf(const TreeCache& tree, const std::string& path);
} // namespace halsend
