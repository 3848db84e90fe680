#pragma once

// halsend's view of one agent: it logs on, walks the tree once, then keeps
// its copy current from the agent's notices (a changed folder is
// refreshed and listed again, a removed one forgotten), reads new events
// from the event logs with a cursor that survives reconnects, and
// reconnects with a growing pause when the agent goes away.

#include "AgentChannel.h"
#include "EventCursor.h"
#include "ProgressTracker.h"
#include "TreeCache.h"

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace halsend
{
struct AgentSettings
{
    std::string user;
    std::string password;
    int timeoutMs = 10000;
    int keepAliveMs = 60000;
    int reconnectMaxMs = 60000;
    int eventPollMs = 30000;
};

// An event as halsend counted it, with the folder it came from.
struct SeenEvent
{
    std::string folder;
    EventRecord record;
};

class AgentMonitor : private AgentChannel::Listener
{
public:
    enum State
    {
        kDown,
        kConnecting,
        kLoggingOn,
        kWalking,
        kUp,
    };
    static constexpr size_t kRecentEvents = 100;
    static constexpr int kEventBatch = 200;

    // What answered a request made for someone else: the closing reply's
    // code and text, the data lines, or why there was none (then code is
    // -1, or 803 when the folder was not found).
    struct Result
    {
        int code = -1;
        std::string text;
        std::vector<std::string> lines;
        std::string problem;
    };
    using ResultHandler = std::function<void(const Result&)>;

    AgentMonitor(std::string name, std::string address, int port, const AgentSettings& settings);

    void Start(Clock::time_point now);
    void Rename(const std::string& name) { m_name = name; }

    int Fd() const { return m_channel.Fd(); }
    short PollEvents() const { return m_channel.PollEvents(); }
    void OnPoll(short revents, Clock::time_point now) { m_channel.OnPoll(revents, now); }
    void OnTimer(Clock::time_point now);
    Clock::time_point NextDue() const;

    // An invoke in folder `path`, or any request list ending in one.
    void Ask(const std::string& path, int command, const std::string& body, ResultHandler handler);

    const std::string& Name() const { return m_name; }
    const std::string& Address() const { return m_channel.Address(); }
    int Port() const { return m_channel.Port(); }
    State GetState() const { return m_state; }
    bool Up() const { return m_state == kUp; }
    const std::string& LastProblem() const { return m_problem; }
    const TreeCache& Tree() const { return m_tree; }
    const ProgressTracker& Progress() const { return m_progress; }
    const std::map<std::pair<long, long>, unsigned long>& EventCounts() const { return m_eventCounts; }
    unsigned long MailFailures() const { return m_mailFailures; }
    unsigned long Reconnects() const { return m_reconnects; }
    const std::deque<SeenEvent>& RecentEvents() const { return m_recent; }
    // Bytes held for this agent's view, roughly.
    size_t Bytes() const;

private:
    void OnConnected() override;
    void OnNotice(const halsen::Packet& notice) override;
    void OnLost(const std::string& reason) override;

    void LogOn();
    void OnLogon(const std::vector<halsen::Answer>& answers, bool complete);
    void Visit(const std::string& path, bool refresh);
    void OnVisited(const std::string& path, const std::vector<halsen::Answer>& answers, bool complete);
    void ListChildren(const std::string& path);
    void Observe(const std::string& path);
    void WalkStep();
    void ReadEvents(const std::string& folder);
    void OnEvents(const std::string& folder, const std::vector<halsen::Answer>& answers, bool complete);
    void Count(const std::string& folder, const EventRecord& record);
    void PollEventLogs(Clock::time_point now);
    void Drop(const std::string& reason, Clock::time_point now);
    void Say(const std::string& text) const;

    std::string m_name;
    AgentSettings m_settings;
    AgentChannel m_channel;
    State m_state = kDown;
    std::string m_problem;
    Clock::time_point m_retryAt;
    int m_backoffMs = 1000;
    int m_walking = 0;
    bool m_treeFull = false;
    Clock::time_point m_nextEventPoll;
    Clock::time_point m_floodWindow;
    int m_noticesInWindow = 0;

    TreeCache m_tree;
    ProgressTracker m_progress;
    std::set<std::string> m_eventFolders;
    std::map<std::string, EventCursor> m_cursors;
    std::map<std::pair<long, long>, unsigned long> m_eventCounts;
    unsigned long m_mailFailures = 0;
    unsigned long m_reconnects = 0;
    std::deque<SeenEvent> m_recent;
};

const char* StateName(AgentMonitor::State state);
} // namespace halsend
