// The RAID tree as a management server sees it through the agent: printed
// by halsenctl tree for each simulator preset, the adapters' properties
// against what the simulator holds, and a failed disk told while a server
// is connected.

#include "RaidAgent.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace
{
using raidagent::Names;
using raidagent::ParseTree;

class AgentTree : public raidagent::RaidAgentTest
{
};

TEST_F(AgentTree, HalsenctlPrintsEachPresetsTree)
{
    const struct
    {
        const char* preset;
        const char* path;
        Names children;
    } objects[] = {
        {"one-adapter", "", {"MVP1"}},
        // Four channels and the enclosure channel; no battery module.
        {"one-adapter", "MVP1", {"ch1", "ch2", "ch3", "ch4", "enclosure1"}},
        {"one-adapter", "MVP1\\ch4", {"master", "slave"}},
        {"two-adapters", "", {"MVP1", "MVP2"}},
        {"two-adapters",
         "MVP1",
         {"ch1", "ch2", "ch3", "ch4", "enclosure1", "System", "Data", "Scratch"}},
        {"two-adapters", "MVP2", {"ch1", "ch2", "ch3", "ch4", "enclosure1", "Archive", "Vault"}},
        {"two-adapters", "MVP2\\ch4", {"master"}},
        {"two-adapters", "MVP1\\Data", {"disk5", "disk6", "disk7"}},
        {"two-adapters-full",
         "MVP1",
         {"ch1", "ch2", "ch3", "ch4", "enclosure1", "Boot", "Data", "Fast", "Single"}},
        {"two-adapters-full",
         "MVP2",
         {"ch1", "ch2", "ch3", "ch4", "enclosure1", "Logs", "Vault", "Media", "Spare"}},
        {"two-adapters-full", "MVP2\\Media", {"disk6", "disk7"}},
        {"enclosure-battery",
         "MVP1",
         {"ch1", "ch2", "ch3", "ch4", "enclosure1", "battery", "Mirror"}},
        {"enclosure-battery", "MVP1\\Mirror", {"disk1", "disk3"}},
    };
    const struct
    {
        const char* preset;
        const char* path;
        const char* attribute;
        const char* value;
    } entries[] = {
        {"one-adapter", "", "o--", "14"},
        {"one-adapter", "Type", "pr-", "TAVRINE Morliven QV7000"},
        {"one-adapter", "MVP1", "o--", "26"},
        {"one-adapter", "MVP1\\HasEvent", "pr-", "3"},
        {"one-adapter", "MVP1\\ReadEvent", "m--", "-134217729"},
        {"one-adapter", "MVP1\\TurnOnBuzzer", "m--", "64"},
        {"one-adapter", "MVP1\\ch4\\slave\\Status", "prv", "256"},
        {"one-adapter", "MVP1\\ch4\\slave\\Size", "pr-", "37.271 GB"},
        {"one-adapter", "MVP1\\enclosure1", "o--", "7"},
        {"two-adapters", "MVP1\\ch1\\master", "o--", "21"},
        {"two-adapters", "MVP1\\ch1\\master\\Status", "prv", "512"},
        {"two-adapters", "MVP1\\ch3\\master\\model", "pr-", "ZELSIM HD-80G"},
        {"two-adapters", "MVP1\\System", "o--", "25"},
        {"two-adapters", "MVP1\\System\\RAID_Mode", "prw", "RAID1(MIRROR)"},
        {"two-adapters", "MVP1\\System\\Status", "prv", "0"},
        {"two-adapters", "MVP1\\System\\percent", "prv", "-1"},
        {"two-adapters", "MVP1\\System\\rename", "m--", "16"},
        {"two-adapters", "MVP1\\System\\SyncArray", "m--", "-134217729"},
        {"two-adapters", "MVP1\\Data\\disk5\\Channel", "pr-", "2"},
        {"two-adapters", "MVP2\\Archive\\RAID_Mode", "prw", "RAID0+1(STRIPING + MIRRORING)"},
        {"two-adapters", "MVP2\\Vault\\RAID_Mode", "prw", "PARITY"},
        {"two-adapters-full", "MVP1\\Single\\RAID_Mode", "prw", "JBOD"},
        {"two-adapters-full", "MVP2\\Media\\RAID_Mode", "prw", "SPANNING"},
        {"two-adapters-full", "MVP2\\Spare\\disk8\\model", "pr-", "ZELSIM XL-160G"},
        {"enclosure-battery", "MVP1\\battery", "o--", "29"},
        // Three enclosures: the count the plug-in publishes starts at 1.
        {"enclosure-battery", "MVP1\\enclosure1\\NumEnclosures", "prv", "4"},
    };
    std::string started;
    raidagent::PrintedTree tree;
    auto load = [&](const std::string& preset)
    {
        if (started == preset)
            return;
        Start(started = preset);
        const agenttest::CommandResult result = agenttest::RunHalsenctl("--raw tree RAID");
        EXPECT_EQ(0, result.status) << result.out;
        tree = ParseTree(result.out);
    };
    for (const auto& row : objects)
    {
        load(row.preset);
        EXPECT_EQ(row.children, tree.children[row.path]) << row.preset << " " << row.path;
    }
    for (const auto& row : entries)
    {
        load(row.preset);
        const halsen::Entry& entry = tree.entries[row.path];
        EXPECT_EQ(row.attribute, entry.attribute) << row.preset << " " << row.path;
        EXPECT_EQ(row.value, entry.value) << row.preset << " " << row.path;
    }
    // Methods that need a proof of locality are not listed without one.
    load("one-adapter");
    EXPECT_EQ(ProvesLocality(), tree.entries.count("MVP1\\CreateArray") == 1);
}

// Reads "NAME VALUE" out of zelsim show's line that starts with `line`.
unsigned Shown(const std::string& show, const std::string& line, const std::string& name)
{
    const size_t start = show.find(line);
    const size_t at = show.find(name + " ", start);
    if (start == std::string::npos || at == std::string::npos)
        return ~0u;
    return static_cast<unsigned>(strtoul(show.c_str() + at + name.size() + 1, nullptr, 10));
}

TEST_F(AgentTree, AdapterPropertiesAreWhatTheSimulatorHolds)
{
    Load("two-adapters", "zelsim set smart-check 0");
    simtest::Sim(
        [](zelsim::SimState& s)
        {
            s.settings.writeMode = 1;
            s.settings.readThreshold = 77;
            s.settings.writeThreshold = 66;
            s.settings.submitThreshold = 3;
            s.settings.maintenanceLength = 2;
        });
    Launch();
    const std::string show = simtest::Shell("zelsim show");
    const std::string version =
        show.substr(show.find("version ") + 8, show.find(" (") - show.find("version ") - 8);
    const struct
    {
        const char* adapter;
        const char* property;
        std::string value;
    } rows[] = {
        {"MVP1", "IRQ", std::to_string(Shown(show, "adapter 0:", "irq"))},
        {"MVP2", "IRQ", std::to_string(Shown(show, "adapter 1:", "irq"))},
        {"MVP1", "DV", version},
        {"MVP1", "GetSmart", std::to_string(Shown(show, "settings:", "smart check"))},
        {"MVP1", "WriteMode", std::to_string(Shown(show, "settings:", "write mode"))},
        {"MVP1", "GetMaintenanceRate",
         std::to_string(Shown(show, "thresholds:", "maintenance length"))},
        {"MVP1", "ReadThreshold", std::to_string(Shown(show, "thresholds:", "read"))},
        {"MVP2", "WriteThreshold", std::to_string(Shown(show, "thresholds:", "write"))},
        {"MVP2", "SubmitChannelThreshold", std::to_string(Shown(show, "thresholds:", "submit"))},
    };
    // The values differ from the preset's, so none is a default.
    EXPECT_EQ("0", rows[3].value) << show;
    EXPECT_EQ("1", rows[4].value) << show;
    EXPECT_EQ("77", rows[6].value) << show;
    for (const auto& row : rows)
        EXPECT_EQ(row.value, Prop(row.adapter, row.property))
            << row.adapter << " " << row.property << "\n"
            << show;
}

TEST_F(AgentTree, AFailedDiskIsToldAndShowsInTheTreeWithinAFewTicks)
{
    Start("two-adapters");
    EXPECT_EQ("0", Prop("MVP1\\System", "Status"));
    // The notice comes unasked: the connection only waits.
    simtest::Shell("zelsim fail-disk 0 1");
    EXPECT_TRUE(WaitForNotice(8194, "MVP1\\System", 8000));
    EXPECT_TRUE(WaitForNotice(8194, "MVP1", 1000));
    EXPECT_EQ(raidagent::kCritical, Prop("MVP1\\System", "Status"));
    EXPECT_EQ(raidagent::kCritical, Prop("MVP1\\ch1\\slave", "Status"));
    EXPECT_EQ((Names{"disk1"}), Children("MVP1\\System"));
    // A second server connected meanwhile sees the same tree.
    raidagent::PrintedTree seen = ParseTree(agenttest::RunHalsenctl("--raw tree RAID").out);
    EXPECT_EQ(raidagent::kCritical, seen.entries["MVP1\\System\\Status"].value);
}

// People read the states in words, in the folders whose objects they are
// states of; scripts get the value and its word.
TEST_F(AgentTree, StatesAreShownInWords)
{
    Start("two-adapters");
    const std::string both = "cd 'RAID\\MVP1\\System' get Status get ThrottleStatus cd '\\RAID\\MVP1\\ch1\\slave' get Status";
    EXPECT_EQ("prv Status = 0 (functional)\nprv ThrottleStatus = 2 (idle)\nprv Status = 512 (assigned)\n",
              agenttest::RunHalsenctl(both).out);
    simtest::Shell("zelsim fail-disk 0 1");
    EXPECT_TRUE(WaitForNotice(8194, "MVP1\\System", 8000));
    const std::string refreshed = "cd 'RAID\\MVP1\\System' refresh get Status cd '\\RAID\\MVP1\\ch1\\slave' refresh get Status";
    // The refresh may bring the plug-in's change notices first.
    const std::string failed = agenttest::RunHalsenctl(refreshed).out;
    EXPECT_NE(std::string::npos, failed.find("prv Status = " + raidagent::kCritical + " (critical)\nprv Status = " +
                                             raidagent::kCritical + " (offline)\n"))
        << failed;
    // The same value in another kind of folder has no word there, and
    // --raw leaves the words out.
    EXPECT_EQ("prv Status = " + raidagent::kCritical + "\n",
              agenttest::RunHalsenctl("--raw cd 'RAID\\MVP1\\System' get Status").out);
    const std::string tree = agenttest::RunHalsenctl("tree 'RAID\\MVP1'").out;
    EXPECT_NE(std::string::npos, tree.find("    prv Status = " + raidagent::kCritical + " (critical)\n")) << tree;
    EXPECT_EQ(std::string::npos, tree.find("Channel = 0 (")) << tree;

    const std::string json = agenttest::RunHalsenctl("--json cd 'RAID\\MVP1\\System' get Status").out;
    const nlohmann::json got = nlohmann::json::parse(json.substr(json.find('\n') + 1));
    EXPECT_EQ((nlohmann::json::array({{{"name", "Status"},
                                       {"attribute", "prv"},
                                       {"value", raidagent::kCritical},
                                       {"meaning", "critical"}}})),
              got["entries"]);
}
} // namespace
