#include "Fleet.h"

#include "Log.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace halsend
{
namespace
{
std::string Key(const std::string& address, int port) { return address + ":" + std::to_string(port); }
} // namespace

Fleet::Fleet(const Config& config) : m_config(config)
{
    m_settings.user = config.user;
    m_settings.password = config.password;
    m_settings.timeoutMs = config.requestTimeoutSeconds * 1000;
    m_settings.keepAliveMs = config.keepAliveSeconds * 1000;
    m_settings.reconnectMaxMs = config.reconnectMaxSeconds * 1000;
    m_settings.eventPollMs = config.eventPollSeconds * 1000;
}

Fleet::~Fleet()
{
    m_agents.clear();
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

bool Fleet::Open(std::string& error)
{
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0)
    {
        error = "cannot make the wake-up descriptor";
        return false;
    }
    if (!m_discovery.Open(m_config.listenAddress, m_config.announcePort, error))
        return false;
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> hold(m_lock);
    // Until it announces its host name, a listed agent goes by its
    // address, with the port when that is not the usual one.
    for (const StaticAgent& a : m_config.agents)
        Add(a.port == m_config.agentPort ? a.address : Key(a.address, a.port), a.address, a.port, now);
    m_nextDiscovery = now;
    return true;
}

void Fleet::Add(const std::string& name, const std::string& address, int port, Clock::time_point now)
{
    const std::string key = Key(address, port);
    auto it = m_agents.find(key);
    if (it != m_agents.end())
    {
        if (it->second->Name() != name)
            it->second->Rename(name);
        return;
    }
    if (m_agents.size() >= kMaxAgents)
    {
        if (!m_full)
            LogLine("more than " + std::to_string(kMaxAgents) + " agents announce themselves; " + address +
                    " and the ones after it are left out");
        m_full = true;
        return;
    }
    auto agent = std::make_unique<AgentMonitor>(name, address, port, m_settings);
    LogLine("agent " + name + " (" + key + ") added");
    agent->Start(now);
    m_agents.emplace(key, std::move(agent));
}

AgentMonitor* Fleet::Find(const std::string& host)
{
    for (auto& a : m_agents)
    {
        if (a.second->Name() == host || a.second->Address() == host || a.first == host)
            return a.second.get();
    }
    return nullptr;
}

void Fleet::Wake()
{
    const uint64_t one = 1;
    if (write(m_wakeFd, &one, sizeof one) < 0)
        return;
}

void Fleet::DrainWake()
{
    uint64_t n;
    while (read(m_wakeFd, &n, sizeof n) > 0)
    {
    }
}

void Fleet::Discover(Clock::time_point now)
{
    if (now < m_nextDiscovery)
        return;
    m_nextDiscovery = now + std::chrono::seconds(m_config.discoveryIntervalSeconds);
    m_discovery.Broadcast(m_config.networks, m_config.discoveryPort);
}

void Fleet::TakeAnnouncements(Clock::time_point now)
{
    for (const halsen::Announcement& a : m_discovery.Receive())
        Add(a.host, a.address, m_config.agentPort, now);
}

void Fleet::RunTimers(Clock::time_point now)
{
    for (auto& a : m_agents)
    {
        if (now >= a.second->NextDue())
            a.second->OnTimer(now);
    }
    if (!m_config.networks.empty())
        Discover(now);
}

int Fleet::WaitMs(Clock::time_point now) const
{
    Clock::time_point due = now + std::chrono::seconds(5);
    if (!m_config.networks.empty())
        due = std::min(due, m_nextDiscovery);
    for (const auto& a : m_agents)
        due = std::min(due, a.second->NextDue());
    const long ms = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count();
    return ms <= 0 ? 0 : static_cast<int>(ms) + 1;
}

void Fleet::Run(int stopFd)
{
    std::vector<pollfd> fds;
    std::vector<AgentMonitor*> owners;
    for (;;)
    {
        int waitMs;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            fds.assign({{stopFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {m_discovery.Fd(), POLLIN, 0}});
            owners.assign(3, nullptr);
            for (auto& a : m_agents)
            {
                if (a.second->Fd() < 0)
                    continue;
                fds.push_back({a.second->Fd(), a.second->PollEvents(), 0});
                owners.push_back(a.second.get());
            }
            waitMs = WaitMs(Clock::now());
        }
        if (poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR)
            return LogLine("the loop cannot wait any longer");
        if (fds[0].revents)
            return;
        std::lock_guard<std::mutex> hold(m_lock);
        const Clock::time_point now = Clock::now();
        if (fds[1].revents)
            DrainWake();
        if (fds[2].revents)
            TakeAnnouncements(now);
        for (size_t i = 3; i < fds.size(); ++i)
        {
            if (fds[i].revents && owners[i]->Fd() == fds[i].fd)
                owners[i]->OnPoll(fds[i].revents, now);
        }
        RunTimers(now);
    }
}
} // namespace halsend
