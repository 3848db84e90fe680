#include "ApiViews.h"

#include "RaidStates.h"

namespace halsend
{
namespace
{
nlohmann::json EntryView(const halsen::Entry& e)
{
    return {{"name", e.name}, {"attribute", e.attribute}, {"value", e.value}};
}

void CountArray(const TreeCache& tree, const std::string& path, nlohmann::json& summary)
{
    static const char* const kStates[] = {"functional", "critical", "offline"};
    const long status = StatusWord(tree.Value(path, "Status", "0"));
    summary["arrays"][kStates[ArrayState(status)]] = summary["arrays"][kStates[ArrayState(status)]].get<int>() + 1;
    const int activity = ArrayActivityOf(status);
    if (activity != kIdle)
        summary["activities"].push_back({{"array", LastName(path)},
                                         {"activity", ActivityName(activity)},
                                         {"percent", atol(tree.Value(path, "percent", "0").c_str())}});
}
} // namespace

nlohmann::json ErrorView(const std::string& text, int code)
{
    nlohmann::json e = {{"error", text}};
    if (code >= 0)
        e["code"] = code;
    return e;
}

nlohmann::json EventView(const EventRecord& r)
{
    return {{"id", r.id},         {"time", r.time},   {"severity", r.severity}, {"severityText", SeverityText(r.severity)},
            {"title", r.title}, {"detail", r.detail}};
}

nlohmann::json AgentSummary(const AgentMonitor& agent)
{
    nlohmann::json s = {{"host", agent.Name()},
                        {"address", agent.Address()},
                        {"port", agent.Port()},
                        {"state", StateName(agent.GetState())},
                        {"up", agent.Up()},
                        {"problem", agent.LastProblem()},
                        {"folders", agent.Tree().Size()},
                        {"arrays", {{"functional", 0}, {"critical", 0}, {"offline", 0}}},
                        {"failedDisks", 0},
                        {"activities", nlohmann::json::array()},
                        {"recentEvents", nlohmann::json::array()}};
    const TreeCache& tree = agent.Tree();
    for (const auto& folder : tree.Folders())
    {
        const int type = tree.Type(folder.first);
        if (type == kTypeArray)
            CountArray(tree, folder.first, s);
        else if (type == kTypeDisk && tree.Type(ParentPath(folder.first)) == kTypeChannel &&
                 DiskState(StatusWord(tree.Value(folder.first, "Status", "0"))) == 2)
            s["failedDisks"] = s["failedDisks"].get<int>() + 1;
    }
    const auto& recent = agent.RecentEvents();
    for (size_t i = recent.size() > 5 ? recent.size() - 5 : 0; i < recent.size(); ++i)
    {
        nlohmann::json e = EventView(recent[i].record);
        e["folder"] = recent[i].folder;
        s["recentEvents"].push_back(e);
    }
    return s;
}

nlohmann::json TreeView(const AgentMonitor& agent, const std::string& path)
{
    const TreeCache& tree = agent.Tree();
    if (!tree.Has(path))
        return nullptr;
    nlohmann::json folders = nlohmann::json::array();
    for (const std::string& p : tree.Below(path))
    {
        nlohmann::json entries = nlohmann::json::array();
        for (const halsen::Entry& e : *tree.Find(p))
            entries.push_back(EntryView(e));
        folders.push_back({{"path", p}, {"type", tree.Type(p)}, {"entries", entries}});
    }
    return {{"host", agent.Name()}, {"up", agent.Up()}, {"path", path}, {"folders", folders}};
}

nlohmann::json EventsView(const std::vector<std::string>& lines)
{
    const ReadEventLines answer = SplitReadEvent(lines);
    nlohmann::json events = nlohmann::json::array();
    for (const std::string& text : answer.events)
    {
        EventRecord r;
        if (ParseEventText(text, r))
            events.push_back(EventView(r));
    }
    nlohmann::json next = nullptr;
    if (answer.cursor && answer.position != 0)
        next = std::to_string(answer.position) + ":" + std::to_string(answer.magic);
    return {{"events", events}, {"next", next}, {"log", answer.cursor}};
}
} // namespace halsend
