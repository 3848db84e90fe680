#pragma once

// Every agent halsend watches, and the one loop that serves them: it polls
// the agents' connections and the discovery socket, runs their timers and
// broadcasts the discovery request on schedule. The HTTP side reads the
// agents and hands them requests under Lock(); the loop holds the same
// lock while it works, and is woken when work is handed over.

#include "AgentMonitor.h"
#include "Config.h"
#include "DiscoverySocket.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace halsend
{
class Fleet
{
public:
    static constexpr size_t kMaxAgents = 4096;

    explicit Fleet(const Config& config);
    ~Fleet();
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    bool Open(std::string& error);
    // Runs until `stopFd` becomes readable.
    void Run(int stopFd);
    // Tells the loop that work was handed to an agent.
    void Wake();

    std::mutex& Lock() { return m_lock; }
    // By host name or address; null when unknown. Under Lock().
    AgentMonitor* Find(const std::string& host);
    const std::map<std::string, std::unique_ptr<AgentMonitor>>& Agents() const { return m_agents; }

private:
    void Add(const std::string& name, const std::string& address, int port, Clock::time_point now);
    void Discover(Clock::time_point now);
    void TakeAnnouncements(Clock::time_point now);
    void RunTimers(Clock::time_point now);
    int WaitMs(Clock::time_point now) const;
    void DrainWake();

    Config m_config;
    AgentSettings m_settings;
    DiscoverySocket m_discovery;
    int m_wakeFd = -1;
    std::mutex m_lock;
    std::map<std::string, std::unique_ptr<AgentMonitor>> m_agents;
    Clock::time_point m_nextDiscovery;
    bool m_full = false;
};
} // namespace halsend
