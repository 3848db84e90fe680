// The adapter and array methods invoked through the agent as a management
// server invokes them: each row its own agent on a fresh preset, the reply
// code the agent maps the plug-in's status to, the notice the change is
// told with, and what the tree, the simulator and the profile show after.

#include "RaidAgent.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace
{
using raidagent::Names;
using raidagent::RaidAgentTest;
using Check = std::function<void(RaidAgentTest&)>;

struct MethodRow
{
    const char* name;
    const char* preset;
    // zelsim commands run before the agent starts, or "".
    const char* setup;
    const char* path;
    const char* method;
    // "{path}" stands for the identity number of the object at path.
    const char* args;
    int code;
    // The folder whose change is told with 8194, or null.
    const char* told;
    Check check;
};

void PrintTo(const MethodRow& row, std::ostream* os)
{
    *os << row.name;
}

std::string RowName(const ::testing::TestParamInfo<MethodRow>& row)
{
    return row.param.name;
}

// The adapter methods whose rights mask carries the local-only bit.
bool LocalOnly(const std::string& method)
{
    return method == "CreateArray" || method == "DeleteArray" || method == "ConvArray" ||
           method.compare(0, 3, "Set") == 0;
}

class AgentMethods : public RaidAgentTest, public ::testing::WithParamInterface<MethodRow>
{
protected:
    std::string Expand(const std::string& args)
    {
        std::string out;
        size_t at = 0;
        for (size_t open; (open = args.find('{', at)) != std::string::npos;
             at = args.find('}', open) + 1)
            out += args.substr(at, open - at) +
                   Identity(args.substr(open + 1, args.find('}', open) - open - 1));
        return out + args.substr(at);
    }
};

TEST_P(AgentMethods, AnswerWithTheirMappedCodes)
{
    const MethodRow& row = GetParam();
    Start(row.preset, row.setup);
    const std::string args = Expand(row.args);
    const uint32_t creates = simtest::Snapshot()->counters.creates;
    ASSERT_TRUE(At(row.path));
    if (LocalOnly(row.method) && !ProvesLocality())
    {
        ASSERT_TRUE(At(row.path));
        EXPECT_EQ(802, Client().Invoke(row.method, args).code);
        EXPECT_EQ(creates, simtest::Snapshot()->counters.creates);
        GTEST_SKIP() << "refused: the connection has not proved that it is local";
    }
    m_Notices.clear();
    const halsen::Answer answer = Client().Invoke(row.method, args);
    EXPECT_EQ(row.code, answer.code) << answer.finish;
    ASSERT_EQ(1u, answer.lines.size());
    EXPECT_EQ(answer.finish + "@" + row.method + "@" + args, answer.lines[0]);
    if (row.code == 805)
    {
        EXPECT_EQ(creates, simtest::Snapshot()->counters.creates)
            << "a refused argument reaches no driver creation";
    }
    if (row.told)
    {
        EXPECT_TRUE(WaitForNotice(8194, row.told, 0)) << row.told;
    }
    if (row.check)
        row.check(*this);
}

Check Shows(const char* path, const char* property, std::string value)
{
    return [=](RaidAgentTest& t)
    { EXPECT_EQ(value, t.Prop(path, property)) << path << " " << property; };
}

Check Lists(const char* path, Names children)
{
    return [=](RaidAgentTest& t) { EXPECT_EQ(children, t.Children(path)) << path; };
}

Check Sim(std::function<void(const zelsim::SimState&)> check)
{
    return [=](RaidAgentTest&) { check(*simtest::Snapshot()); };
}

// The plug-in keeps restart settings in the agent's profile.
Check Profile(const char* entry)
{
    return [=](RaidAgentTest&)
    {
        std::ifstream in("/etc/tavrine/Dorvik.rc");
        std::stringstream text;
        text << in.rdbuf();
        const std::string profile = text.str();
        const size_t section = profile.find("[MV7000]");
        ASSERT_NE(std::string::npos, section) << profile;
        EXPECT_NE(std::string::npos, profile.find(std::string("\n") + entry + "\n", section))
            << entry << "\n"
            << profile;
    };
}

Check All(std::vector<Check> checks)
{
    return [=](RaidAgentTest& t)
    {
        for (const Check& check : checks)
            check(t);
    };
}

#define D1 "{MVP1\\ch1\\master}"
#define D2 "{MVP1\\ch1\\slave}"
#define D3 "{MVP1\\ch2\\master}"
#define D4 "{MVP1\\ch2\\slave}"

const Names kChannels = {"ch1", "ch2", "ch3", "ch4", "enclosure1"};

Names With(Names names, const char* more)
{
    names.push_back(more);
    return names;
}

const MethodRow kAdapterRows[] = {
    // One creation per layout; the new array shows after the refresh the
    // notice asks for.
    {"CreateStriping", "one-adapter", "", "MVP1", "CreateArray",
     "Fast@RAID0(STRIPING)@0@2@" D1 "@" D2 "@64", 800, "MVP1",
     All({Lists("MVP1", With(kChannels, "Fast")),
          Shows("MVP1\\Fast", "RAID_Mode", "RAID0(STRIPING)"),
          Lists("MVP1\\Fast", {"disk1", "disk2"})})},
    {"CreateMirror", "one-adapter", "", "MVP1", "CreateArray",
     "Safe@RAID1(MIRROR)@1@2@" D1 "@" D3 "@64", 800, "MVP1",
     Shows("MVP1\\Safe", "RAID_Mode", "RAID1(MIRROR)")},
    {"CreateStripeMirror", "one-adapter", "", "MVP1", "CreateArray",
     "Both@RAID0+1(STRIPE-MIRRORING)@0@4@" D1 "@" D2 "@" D3 "@" D4 "@64", 800, "MVP1",
     Shows("MVP1\\Both", "RAID_Mode", "RAID0+1(STRIPING + MIRRORING)")},
    {"CreateParity", "one-adapter", "", "MVP1", "CreateArray",
     "Par@RAID3(PARITY-DEDICATED)@0@3@" D1 "@" D2 "@" D3 "@64", 800, "MVP1",
     Shows("MVP1\\Par", "RAID_Mode", "PARITY")},
    {"CreateRaid5", "one-adapter", "", "MVP1", "CreateArray",
     "R5@RAID5(PARITY-DISTRIBUTED)@0@1@4@" D1 "@" D2 "@" D3 "@" D4 "@64", 800, "MVP1",
     All({Shows("MVP1\\R5", "RAID_Mode", "RAID5(PARITY-DISTRIBUTED)"),
          Shows("MVP1\\R5", "Status", "1536")})},
    {"CreateSpan", "one-adapter", "", "MVP1", "CreateArray", "Long@SPAN@0@2@" D1 "@" D4 "@64", 800,
     "MVP1", Shows("MVP1\\Long", "RAID_Mode", "SPANNING")},
    {"CreateJbod", "one-adapter", "", "MVP1", "CreateArray", "One@JBOD@0@1@" D2 "@64", 800, "MVP1",
     Shows("MVP1\\One", "RAID_Mode", "JBOD")},
    // Bad arguments are refused before the driver is asked.
    {"CreateUnknownMode", "one-adapter", "", "MVP1", "CreateArray", "X@RAID9@0@2@" D1 "@" D2 "@64",
     805, nullptr, Lists("MVP1", kChannels)},
    {"CreateNoDisks", "one-adapter", "", "MVP1", "CreateArray", "X@RAID0(STRIPING)@0@0@64", 805,
     nullptr, nullptr},
    {"CreateWithoutFields", "one-adapter", "", "MVP1", "CreateArray", "X", 805, nullptr, nullptr},
    {"CreateOtherAdaptersDisk", "two-adapters", "", "MVP1", "CreateArray",
     "X@RAID1(MIRROR)@0@2@{MVP1\\ch4\\slave}@{MVP2\\ch4\\master}@64", 805, nullptr, nullptr},
    {"CreateOnDisksInUse", "two-adapters", "", "MVP1", "CreateArray",
     "X@RAID1(MIRROR)@0@2@" D1 "@{MVP1\\ch4\\slave}@64", 801, nullptr,
     Lists("MVP1", With(With(With(kChannels, "System"), "Data"), "Scratch"))},
    {"DeleteArray", "two-adapters", "", "MVP1", "DeleteArray", "{MVP1\\Scratch}", 800, "MVP1",
     All({Lists("MVP1", With(With(kChannels, "System"), "Data")),
          Sim([](const zelsim::SimState& s) { EXPECT_FALSE(s.arrays[2].blFlag & 1); })})},
    {"DeleteADisk", "two-adapters", "", "MVP1", "DeleteArray", "{MVP1\\ch1\\master}", 805, nullptr,
     nullptr},
    // A mounted array is busy: the driver's refusal is told.
    {"DeleteMountedArray", "two-adapters", "zelsim mount '/dev/sdb1 /data ext4 rw 0 0\n'", "MVP1",
     "DeleteArray", "{MVP1\\Data}", 801, nullptr,
     Shows("MVP1\\Data", "RAID_Mode", "RAID5(PARITY-DISTRIBUTED)")},
    {"ConvStripingGrows", "two-adapters", "", "MVP1", "ConvArray",
     "512@{MVP1\\Scratch}@RAID0(STRIPING)@64@1@{MVP1\\ch4\\slave}", 800, nullptr,
     Shows("MVP1\\Scratch", "Status", "768")},
    {"ConvUnknownOp", "two-adapters", "", "MVP1", "ConvArray", "7@{MVP1\\Scratch}", 805, nullptr,
     nullptr},
    // Settings: written through to the driver or the profile and read back.
    {"SetSmartOff", "one-adapter", "", "MVP1", "SetSmart", "0", 800, "MVP1",
     All({Shows("MVP1", "GetSmart", "0"), Profile("SMARTENABLE=0"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(0u, s.settings.smartCheck); })})},
    {"SetSmartOutOfRange", "one-adapter", "", "MVP1", "SetSmart", "2", 805, nullptr,
     Shows("MVP1", "GetSmart", "1")},
    {"SetPCIBusFull", "one-adapter", "", "MVP1", "SetPCIBus", "100", 800, "MVP1",
     All({Shows("MVP1", "GetPCIBus", "100"), Profile("COUNTTHRESHOLD=0")})},
    {"SetPCIBusAboveFull", "one-adapter", "", "MVP1", "SetPCIBus", "101", 805, nullptr, nullptr},
    {"SetMaintenanceRate", "one-adapter", "", "MVP1", "SetMaintenanceRate", "3", 800, "MVP1",
     All({Shows("MVP1", "GetMaintenanceRate", "3"), Profile("MAINTENANCELENGTH=3"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(3u, s.settings.maintenanceLength); })})},
    {"SetReadThreshold", "one-adapter", "", "MVP1", "SetReadThreshold", "50", 800, "MVP1",
     All({Shows("MVP1", "ReadThreshold", "50"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(50u, s.settings.readThreshold); })})},
    {"SetThresholdNotANumber", "one-adapter", "", "MVP1", "SetWriteThreshold", "fifty", 805,
     nullptr, Shows("MVP1", "WriteThreshold", "100")},
    {"SetWriteThrough", "one-adapter", "", "MVP1", "SetWriteMode", "1", 800, "MVP1",
     Sim([](const zelsim::SimState& s) { EXPECT_EQ(1u, s.settings.writeMode); })},
    {"SetCachePolicy", "one-adapter", "", "MVP1", "SetCachePolicy", "1", 800, "MVP1",
     All({Shows("MVP1", "GetCachePolicy", "1"), Profile("WRITEBACKCACHE=1")})},
    {"SetDisableHotSpare", "one-adapter", "", "MVP1", "SetDisableHotSpare", "1", 800, "MVP1",
     All({Shows("MVP1", "GetDisableHotSpare", "1"), Profile("DISABLEHOTSPARE=1")})},
    // Methods every administrator may run from anywhere.
    {"TurnOnBuzzer", "one-adapter", "zelsim set buzzer 0", "MVP1", "TurnOnBuzzer", "", 800, nullptr,
     Sim([](const zelsim::SimState& s) { EXPECT_EQ(1u, s.settings.buzzer); })},
    {"SilentBuzzer", "one-adapter", "", "MVP1", "SilentBuzzer", "", 800, nullptr,
     Sim([](const zelsim::SimState& s) { EXPECT_EQ(0u, s.settings.buzzer); })},
    {"ReadEvent", "one-adapter", "", "MVP1", "ReadEvent", "0@0@0", 800, nullptr, nullptr},
    {"ClearEvent", "one-adapter", "", "MVP1", "ClearEvent", "", 800, nullptr, nullptr},
    // Entries that are no methods, and names that are no entries.
    {"NotAMethod", "one-adapter", "", "MVP1", "GetSmart", "0", 803, nullptr, nullptr},
    {"NoSuchMethod", "one-adapter", "", "MVP1", "Format", "", 803, nullptr, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Adapter, AgentMethods, ::testing::ValuesIn(kAdapterRows), RowName);

const MethodRow kArrayRows[] = {
    {"Rename", "two-adapters", "", "MVP1\\System", "rename", "Boot", 800, "MVP1\\System",
     All({Shows("MVP1\\System", "name", "Boot"),
          Sim([](const zelsim::SimState& s)
              { EXPECT_STREQ("Boot", reinterpret_cast<const char*>(s.arrays[0].Name)); })})},
    {"RenameWithSeparator", "two-adapters", "", "MVP1\\System", "rename", "a@b", 805, nullptr,
     Shows("MVP1\\System", "name", "System")},
    {"RenameToNothing", "two-adapters", "", "MVP1\\System", "rename", "N/A", 801, nullptr,
     Shows("MVP1\\System", "name", "System")},
    {"SyncStart", "two-adapters", "", "MVP1\\System", "SyncArray", "512", 800, nullptr,
     All({Shows("MVP1\\System", "Status", "256"), Shows("MVP1\\System", "ThrottleStatus", "1")})},
    {"SyncNotANumber", "two-adapters", "", "MVP1\\System", "SyncArray", "now", 805, nullptr,
     nullptr},
    {"SyncPauseWithNothingRunning", "two-adapters", "", "MVP1\\System", "SyncArray", "1024", 801,
     nullptr, Shows("MVP1\\System", "ThrottleStatus", "2")},
    // Striping has no redundancy to check: the array lists no such method.
    {"SyncOfAStripe", "two-adapters", "", "MVP1\\Scratch", "SyncArray", "512", 803, nullptr,
     nullptr},
    {"RebuildAHealthyArray", "two-adapters", "", "MVP1\\System", "RebuildArray",
     "512@{MVP1\\System\\disk2}", 801, nullptr, Shows("MVP1\\System", "Status", "0")},
    {"RebuildNotAMember", "two-adapters", "", "MVP1\\System", "RebuildArray",
     "512@{MVP1\\ch4\\slave}", 805, nullptr, nullptr},
    {"RebuildDegraded", "two-adapters", "zelsim fail-disk 0 1", "MVP1\\System", "RebuildArray",
     "512@{MVP1\\ch1\\slave}", 800, nullptr,
     All({Shows("MVP1\\System", "Status", "512"), Shows("MVP1\\System", "ThrottleStatus", "1")})},
    {"ForceIT", "two-adapters", "", "MVP1\\System", "ForceIT", "", 801, nullptr, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Array, AgentMethods, ::testing::ValuesIn(kArrayRows), RowName);
} // namespace
