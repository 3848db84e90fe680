#include "MetricsPage.h"

#include "RaidStates.h"

#include <prometheus/text_serializer.h>

#include <cstdlib>

namespace halsend
{
namespace
{
struct GaugeHelp
{
    const char* name;
    const char* help;
};

const GaugeHelp kGauges[] = {
    {"tavrine_agent_up", "Whether halsend is logged on to the agent and its view is current (1) or not (0)."},
    {"tavrine_agent_tree_folders", "Folders of the agent's tree that halsend keeps."},
    {"tavrine_array_state", "Array state: 0 functional, 1 critical (degraded or rebuilding), 2 offline."},
    {"tavrine_array_activity",
     "Task the array runs: 0 idle, 1 synchronising, 2 rebuilding, 3 expanding, 4 initialising."},
    {"tavrine_array_progress_ratio", "Progress of the array's running task, from 0 to 1."},
    {"tavrine_array_eta_seconds", "Estimated time left of the array's running task, from its progress rate."},
    {"tavrine_disk_state", "Disk state: 0 in an array, 1 free or spare, 2 offline (failed)."},
    {"tavrine_enclosure_temperature_celsius", "Enclosure temperature."},
    {"tavrine_enclosure_fan_speed_rpm", "Enclosure fan speed in revolutions per minute."},
    {"tavrine_enclosure_voltage_volts", "Enclosure power rail voltage."},
    {"tavrine_battery_failed", "Whether the cache battery reports a fault or an alarm (1) or not (0)."},
    {"tavrine_battery_info", "The cache battery's charge status, as a label."},
    {"tavrine_battery_temperature_celsius", "Cache battery temperature."},
    {"tavrine_battery_voltage_volts", "Cache battery voltage."},
    {"halsend_agents", "Agents halsend knows."},
    {"halsend_scrape_duration_seconds", "Time taken to gather this page."},
};

double Number(const TreeCache& tree, const std::string& path, const char* name)
{
    return strtod(tree.Value(path, name, "0").c_str(), nullptr);
}

std::string Relative(const std::string& path)
{
    std::string out;
    for (const std::string& name : PathNames(path))
        out += (out.empty() ? "" : "/") + name;
    return out;
}
} // namespace

std::string AdapterOf(const TreeCache& tree, const std::string& path)
{
    for (std::string p = path; p != "\\"; p = ParentPath(p))
    {
        if (tree.Type(p) == kTypeAdapter)
            return Relative(p);
    }
    return "";
}

MetricsPage::MetricsPage()
{
    for (const GaugeHelp& g : kGauges)
        m_gauges[g.name] = &Gauge(g.name, g.help);
    m_events = &Counter("tavrine_events_total", "Events the agents stored, by event id and severity.");
    m_mailFailures = &Counter("tavrine_mail_failures_total", "Mails the agent could not send.");
    m_reconnects = &Counter("halsend_agent_connection_losses_total", "Times halsend lost its connection to the agent.");
}

prometheus::Family<prometheus::Gauge>& MetricsPage::Gauge(const std::string& name, const std::string& help)
{
    return prometheus::BuildGauge().Name(name).Help(help).Register(m_registry);
}

prometheus::Family<prometheus::Counter>& MetricsPage::Counter(const std::string& name, const std::string& help)
{
    return prometheus::BuildCounter().Name(name).Help(help).Register(m_registry);
}

void MetricsPage::Set(const std::string& name, const Labels& labels, double value)
{
    m_gauges.at(name)->Add(labels).Set(value);
}

void MetricsPage::Add(const AgentMonitor& agent, Clock::time_point now)
{
    const Labels labels{{"agent", agent.Name()}};
    Set("tavrine_agent_up", labels, agent.Up() ? 1 : 0);
    m_reconnects->Add(labels).Increment(static_cast<double>(agent.Reconnects()));
    AddEvents(agent);
    if (!agent.Up())
        return;
    Set("tavrine_agent_tree_folders", labels, static_cast<double>(agent.Tree().Size()));
    for (const auto& folder : agent.Tree().Folders())
        AddFolder(agent, folder.first, now);
}

void MetricsPage::AddFolder(const AgentMonitor& agent, const std::string& path, Clock::time_point now)
{
    const TreeCache& tree = agent.Tree();
    const int type = tree.Type(path);
    Labels labels{{"agent", agent.Name()}, {"adapter", AdapterOf(tree, path)}};
    switch (type)
    {
    case kTypeArray:
        labels["array"] = LastName(path);
        return AddArray(agent, path, labels, now);
    case kTypeDisk:
        if (tree.Type(ParentPath(path)) != kTypeChannel)
            return;
        labels["disk"] = LastName(ParentPath(path)) + "/" + LastName(path);
        return AddDisk(tree, path, labels);
    case kTypeEnclosure:
        labels["enclosure"] = LastName(path);
        return AddEnclosure(tree, path, labels);
    case kTypeBattery:
        return AddBattery(tree, path, labels);
    default:
        return;
    }
}

void MetricsPage::AddArray(const AgentMonitor& agent, const std::string& path, Labels labels, Clock::time_point now)
{
    const TreeCache& tree = agent.Tree();
    const long status = StatusWord(tree.Value(path, "Status", "0"));
    const int activity = ArrayActivityOf(status);
    const double percent = Number(tree, path, "percent");
    Set("tavrine_array_state", labels, ArrayState(status));
    Set("tavrine_array_activity", labels, activity);
    Set("tavrine_array_progress_ratio", labels, activity != kIdle && percent >= 0 ? percent / 100 : 0);
    double eta = 0;
    if (activity != kIdle && agent.Progress().Eta(path, now, eta))
    {
        labels["activity"] = ActivityName(activity);
        Set("tavrine_array_eta_seconds", labels, eta);
    }
}

void MetricsPage::AddDisk(const TreeCache& tree, const std::string& path, Labels labels)
{
    Set("tavrine_disk_state", labels, DiskState(StatusWord(tree.Value(path, "Status", "0"))));
}

void MetricsPage::AddEnclosure(const TreeCache& tree, const std::string& path, Labels labels)
{
    Set("tavrine_enclosure_temperature_celsius", labels, Number(tree, path, "Temperature") / 2);
    Set("tavrine_enclosure_fan_speed_rpm", labels, Number(tree, path, "FanRPM"));
    labels["rail"] = "5v";
    Set("tavrine_enclosure_voltage_volts", labels, Number(tree, path, "Power5VStatus") / 1000);
    labels["rail"] = "12v";
    Set("tavrine_enclosure_voltage_volts", labels, Number(tree, path, "Power12VStatus") / 1000);
}

void MetricsPage::AddBattery(const TreeCache& tree, const std::string& path, Labels labels)
{
    const std::string status = tree.Value(path, "BatteryChargeStatus", "BATTERY_STATUS_UNKNOWN");
    Set("tavrine_battery_failed", labels, BatteryFailed(status) ? 1 : 0);
    Set("tavrine_battery_temperature_celsius", labels, Number(tree, path, "BatteryTemperature"));
    Set("tavrine_battery_voltage_volts", labels, Number(tree, path, "BatteryVoltage") / 1000);
    labels["status"] = status;
    Set("tavrine_battery_info", labels, 1);
}

void MetricsPage::AddEvents(const AgentMonitor& agent)
{
    for (const auto& c : agent.EventCounts())
    {
        m_events
            ->Add({{"agent", agent.Name()},
                   {"id", std::to_string(c.first.first)},
                   {"severity", SeverityText(c.first.second)}})
            .Increment(static_cast<double>(c.second));
    }
    m_mailFailures->Add({{"agent", agent.Name()}}).Increment(static_cast<double>(agent.MailFailures()));
}

std::string MetricsPage::Render(Clock::time_point started)
{
    Set("halsend_scrape_duration_seconds", {},
        std::chrono::duration<double>(Clock::now() - started).count());
    return prometheus::TextSerializer().Serialize(m_registry.Collect());
}
} // namespace halsend
