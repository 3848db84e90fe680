#include "AgentMonitor.h"

#include "Log.h"
#include "RaidStates.h"

#include <cstdlib>

namespace halsend
{
namespace
{
// A tree is a few levels deep; far deeper is a fault of the peer.
const size_t kMaxDepth = 16;
const int kFloodNotices = 1000;
const int kNoticeNoUser = 8192;
const int kNoticeRemoved = 8193;
const int kNoticeChanged = 8194;
const int kNoticeEvent = 8195;

std::string NoticePath(const halsen::Packet& notice) { return notice.body.substr(0, notice.body.find('@')); }
} // namespace

const char* StateName(AgentMonitor::State state)
{
    static const char* const kNames[] = {"down", "connecting", "logging on", "walking", "up"};
    return kNames[state];
}

AgentMonitor::AgentMonitor(std::string name, std::string address, int port, const AgentSettings& settings)
    : m_name(std::move(name)), m_settings(settings),
      m_channel(std::move(address), port, settings.timeoutMs, settings.keepAliveMs, *this)
{
}

void AgentMonitor::Say(const std::string& text) const
{
    LogLine("agent " + m_name + " (" + Address() + ":" + std::to_string(Port()) + "): " + text);
}

void AgentMonitor::Start(Clock::time_point now)
{
    m_state = kConnecting;
    m_tree.Clear();
    m_progress.Clear();
    m_treeFull = false;
    m_channel.Open(now);
}

void AgentMonitor::OnConnected()
{
    m_state = kLoggingOn;
    LogOn();
}

void AgentMonitor::LogOn()
{
    Task logon;
    logon.build = [this] {
        return std::vector<halsen::Packet>{
            Request(halsen::kAccess, halsen::LogonBody(nullptr, halsen::EncodeCredential(m_settings.user,
                                                                                          m_settings.password)))};
    };
    logon.done = [this](const std::vector<halsen::Answer>& answers, bool complete) { OnLogon(answers, complete); };
    m_channel.Queue(std::move(logon), true);
}

void AgentMonitor::OnLogon(const std::vector<halsen::Answer>& answers, bool complete)
{
    const Clock::time_point now = Clock::now();
    if (!complete)
    {
        const std::string why = answers.empty() ? "no answer" : answers.back().Problem();
        m_backoffMs = m_settings.reconnectMaxMs;
        return Drop("the agent refused the logon of " + m_settings.user + ": " + why, now);
    }
    m_state = kWalking;
    m_walking = 0;
    Visit("\\", false);
}

void AgentMonitor::Visit(const std::string& path, bool refresh)
{
    Task visit;
    visit.key = (refresh ? "refresh " : "list ") + path;
    visit.build = [path, refresh] {
        std::vector<halsen::Packet> steps = GoTo(path);
        if (refresh)
            steps.push_back(Request(halsen::kRefresh, ""));
        steps.push_back(Request(halsen::kDir, ""));
        return steps;
    };
    visit.done = [this, path](const std::vector<halsen::Answer>& answers, bool complete) {
        OnVisited(path, answers, complete);
    };
    const bool walking = m_state == kWalking;
    if (walking)
        ++m_walking;
    if (!m_channel.Queue(std::move(visit)) && walking)
        --m_walking;
}

void AgentMonitor::OnVisited(const std::string& path, const std::vector<halsen::Answer>& answers, bool complete)
{
    if (!complete && !answers.empty() && answers.back().status == halsen::Connection::kGot)
    {
        // The folder went away between the notice and the visit.
        m_tree.Erase(path);
        m_progress.Forget(path);
    }
    else if (complete && answers.back().Ok())
    {
        if (!m_tree.Set(path, answers.back().lines) && !m_treeFull)
        {
            m_treeFull = true;
            Say("the tree has more than " + std::to_string(TreeCache::kMaxFolders) + " folders; the rest is left out");
        }
        ListChildren(path);
        Observe(path);
    }
    WalkStep();
}

void AgentMonitor::ListChildren(const std::string& path)
{
    const TreeCache::Folder* folder = m_tree.Find(path);
    if (!folder)
        return;
    std::set<std::string> listed;
    for (const halsen::Entry& e : *folder)
    {
        if (!e.IsObject())
            continue;
        const std::string child = ChildPath(path, e.name);
        listed.insert(child);
        if (!m_tree.Has(child) && PathNames(child).size() <= kMaxDepth)
            Visit(child, false);
    }
    for (const std::string& below : m_tree.Below(path))
    {
        if (ParentPath(below) == path && below != path && !listed.count(below))
            m_tree.Erase(below);
    }
}

void AgentMonitor::Observe(const std::string& path)
{
    if (m_tree.Value(path, "HasEvent", "0") != "0" && m_eventFolders.insert(path).second && m_state == kUp)
        ReadEvents(path);
    if (m_tree.Type(path) != kTypeArray)
        return;
    const long status = StatusWord(m_tree.Value(path, "Status", "0"));
    m_progress.Observe(path, ArrayActivityOf(status), strtol(m_tree.Value(path, "percent", "-1").c_str(), nullptr, 10),
                       Clock::now());
}

void AgentMonitor::WalkStep()
{
    if (m_state != kWalking || --m_walking > 0)
        return;
    m_state = kUp;
    m_backoffMs = 1000;
    m_problem.clear();
    Say("up, " + std::to_string(m_tree.Size()) + " folders");
    for (const std::string& folder : m_eventFolders)
        ReadEvents(folder);
    m_nextEventPoll = Clock::now() + std::chrono::milliseconds(m_settings.eventPollMs);
}

void AgentMonitor::ReadEvents(const std::string& folder)
{
    Task read;
    read.key = "events " + folder;
    read.build = [this, folder] {
        std::vector<halsen::Packet> steps = GoTo(folder);
        steps.push_back(Request(halsen::kInvoke, "ReadEvent@" + m_cursors[folder].Arguments(kEventBatch)));
        return steps;
    };
    read.done = [this, folder](const std::vector<halsen::Answer>& answers, bool complete) {
        OnEvents(folder, answers, complete);
    };
    m_channel.Queue(std::move(read));
}

void AgentMonitor::OnEvents(const std::string& folder, const std::vector<halsen::Answer>& answers, bool complete)
{
    if (!complete)
    {
        if (!answers.empty() && answers.back().status == halsen::Connection::kGot)
            m_eventFolders.erase(folder);
        return;
    }
    std::vector<EventRecord> fresh;
    const EventCursor::Outcome outcome = m_cursors[folder].Take(answers.back().lines, fresh);
    for (const EventRecord& r : fresh)
        Count(folder, r);
    if (outcome == EventCursor::kRestart)
        Say("the event log of " + folder + " was made anew; reading it from its start");
    if (outcome == EventCursor::kRestart || fresh.size() >= static_cast<size_t>(kEventBatch))
        ReadEvents(folder);
}

void AgentMonitor::Count(const std::string& folder, const EventRecord& record)
{
    ++m_eventCounts[{record.id, record.severity}];
    if (record.id == 0 && record.title == "Email Error")
        ++m_mailFailures;
    m_recent.push_back({folder, record});
    if (m_recent.size() > kRecentEvents)
        m_recent.pop_front();
}

void AgentMonitor::OnNotice(const halsen::Packet& notice)
{
    const Clock::time_point now = Clock::now();
    if (now - m_floodWindow >= std::chrono::seconds(1))
    {
        m_floodWindow = now;
        m_noticesInWindow = 0;
    }
    if (++m_noticesInWindow == kFloodNotices)
        Say("more than " + std::to_string(kFloodNotices) + " notices in a second; each changed folder is read once");
    const std::string path = NoticePath(notice);
    switch (notice.command)
    {
    case kNoticeChanged:
        if (m_tree.Has(path) || m_tree.Has(ParentPath(path)))
            Visit(path, true);
        break;
    case kNoticeRemoved:
        m_tree.Erase(path);
        m_progress.Forget(path);
        break;
    case kNoticeEvent:
        if (m_eventFolders.count(path) && m_state == kUp)
            ReadEvents(path);
        break;
    case kNoticeNoUser:
        m_backoffMs = 1000;
        Drop("the agent asks for a logon again", now);
        break;
    case halsen::kClose:
        Drop("the agent closes the connection", now);
        break;
    default:
        break;
    }
}

void AgentMonitor::OnLost(const std::string& reason)
{
    if (m_state == kDown)
        return;
    const Clock::time_point now = Clock::now();
    m_problem = reason;
    Say(reason + "; down, trying again in " + std::to_string(m_backoffMs / 1000) + " s");
    m_state = kDown;
    m_retryAt = now + std::chrono::milliseconds(m_backoffMs);
    m_backoffMs = std::min(m_backoffMs * 2, m_settings.reconnectMaxMs);
    ++m_reconnects;
}

void AgentMonitor::Drop(const std::string& reason, Clock::time_point)
{
    m_channel.Close();
    OnLost(reason);
}

void AgentMonitor::PollEventLogs(Clock::time_point now)
{
    if (m_state != kUp || now < m_nextEventPoll)
        return;
    m_nextEventPoll = now + std::chrono::milliseconds(m_settings.eventPollMs);
    for (const std::string& folder : m_eventFolders)
        ReadEvents(folder);
}

void AgentMonitor::OnTimer(Clock::time_point now)
{
    if (m_state == kDown)
    {
        if (now >= m_retryAt)
            Start(now);
        return;
    }
    m_channel.OnTimer(now);
    PollEventLogs(now);
}

Clock::time_point AgentMonitor::NextDue() const
{
    if (m_state == kDown)
        return m_retryAt;
    Clock::time_point due = m_channel.NextDue();
    if (m_state == kUp)
        due = std::min(due, m_nextEventPoll);
    return due;
}

void AgentMonitor::Ask(const std::string& path, int command, const std::string& body, ResultHandler handler)
{
    Task ask;
    ask.external = true;
    ask.build = [path, command, body] {
        std::vector<halsen::Packet> steps = GoTo(path);
        steps.push_back(Request(command, body));
        return steps;
    };
    ask.done = [handler](const std::vector<halsen::Answer>& answers, bool complete) {
        Result r;
        if (answers.empty() || answers.back().status != halsen::Connection::kGot)
            r.problem = "the agent went away before it answered";
        else if (!complete)
        {
            r.code = 803;
            r.problem = "no folder at that path";
        }
        else
        {
            const halsen::Answer& a = answers.back();
            r.code = a.code;
            r.text = a.finish.substr(a.finish.find('@') + 1);
            r.lines = a.lines;
        }
        handler(r);
    };
    m_channel.Queue(std::move(ask));
}

size_t AgentMonitor::Bytes() const
{
    size_t n = sizeof *this + m_tree.Bytes();
    for (const SeenEvent& e : m_recent)
        n += sizeof e + e.folder.size() + e.record.title.size() + e.record.detail.size();
    return n + m_cursors.size() * 96 + m_eventCounts.size() * 64;
}
} // namespace halsend
