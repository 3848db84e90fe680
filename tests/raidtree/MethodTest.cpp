#include "TreeHelpers.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using simtest::Shell;
using simtest::Snapshot;
using treetest::PluginFixture;
using Names = std::vector<std::string>;

namespace
{
const STATUS kCritical = 0x80000001;

// The agent's profile as the plug-in left it.
std::string ProfileText()
{
    std::ifstream in("/etc/tavrine/Dorvik.rc");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Contains(const Names& names, const std::string& name)
{
    for (const std::string& n : names)
        if (n == name)
            return true;
    return false;
}

struct MethodRow
{
    const char* name;
    const char* preset;
    // A zelsim command run before the plug-in is loaded, or null.
    const char* setup;
    const char* path;
    const char* method;
    // "{path}" stands for the identity number of the object at path.
    const char* args;
    STATUS expected;
    std::function<void(PluginFixture&)> check;
};

void PrintTo(const MethodRow& row, std::ostream* os) { *os << row.name; }

std::string RowName(const ::testing::TestParamInfo<MethodRow>& row) { return row.param.name; }

class Methods : public PluginFixture, public ::testing::WithParamInterface<MethodRow>
{
protected:
    std::string Expand(const std::string& args) const
    {
        std::string out;
        size_t at = 0;
        while (at < args.size())
        {
            size_t open = args.find('{', at);
            if (open == std::string::npos)
                break;
            size_t close = args.find('}', open);
            out += args.substr(at, open - at) + Identity(args.substr(open + 1, close - open - 1));
            at = close + 1;
        }
        return out + (at < args.size() ? args.substr(at) : "");
    }
};

TEST_P(Methods, AnswerTheirRealStatus)
{
    const MethodRow& row = GetParam();
    simtest::LoadPreset(row.preset);
    Shell("zelsim set hot-spares 0");
    if (row.setup)
        Shell(std::string("zelsim ") + row.setup);
    Open();
    uint32_t creates = Snapshot()->counters.creates;
    EXPECT_EQ(row.expected, Invoke(row.path, row.method, Expand(row.args)));
    // Refused arguments reach no driver creation.
    if (row.expected == E_INVALIDARG)
    {
        EXPECT_EQ(creates, Snapshot()->counters.creates);
    }
    if (row.check)
        row.check(*this);
}

// Each check sees the fixture after the invoke.
std::function<void(PluginFixture&)> Shows(const char* path, const char* property, std::string value)
{
    return [=](PluginFixture& f) { EXPECT_EQ(value, f.Prop(path, property)) << path << " " << property; };
}

std::function<void(PluginFixture&)> Lists(const char* path, const char* child, bool listed)
{
    return [=](PluginFixture& f) { EXPECT_EQ(listed, Contains(f.Children(path), child)) << path << " " << child; };
}

std::function<void(PluginFixture&)> All(std::vector<std::function<void(PluginFixture&)>> checks)
{
    return [=](PluginFixture& f)
    {
        for (const auto& check : checks)
            check(f);
    };
}

std::function<void(PluginFixture&)> Sim(std::function<void(const zelsim::SimState&)> check)
{
    return [=](PluginFixture&) { check(*Snapshot()); };
}

std::function<void(PluginFixture&)> Profile(const char* entry, bool present = true)
{
    return [=](PluginFixture&)
    {
        std::string text = ProfileText();
        EXPECT_NE(std::string::npos, text.find("[MV7000]")) << text;
        EXPECT_EQ(present, text.find(std::string(entry) + "\n") != std::string::npos) << entry << "\n" << text;
    };
}

#define D1 "{MVP1/ch1/master}"
#define D2 "{MVP1/ch1/slave}"
#define D3 "{MVP1/ch2/master}"
#define D4 "{MVP1/ch2/slave}"

const MethodRow kAdapterRows[] = {
    // Creation, one row per layout.
    {"CreateStriping", "one-adapter", nullptr, "MVP1", "CreateArray", "Fast@RAID0(STRIPING)@0@2@" D1 "@" D2 "@64",
     S_OK, All({Lists("MVP1", "Fast", true), Shows("MVP1/Fast", "RAID_Mode", "RAID0(STRIPING)"),
                Lists("MVP1/Fast", "disk1", true), Lists("MVP1/Fast", "disk2", true)})},
    {"CreateMirror", "one-adapter", nullptr, "MVP1", "CreateArray", "Safe@RAID1(MIRROR)@1@2@" D1 "@" D3 "@64", S_OK,
     All({Shows("MVP1/Safe", "RAID_Mode", "RAID1(MIRROR)"), Lists("MVP1/Safe", "disk3", true)})},
    {"CreateStripeMirror", "one-adapter", nullptr, "MVP1", "CreateArray",
     "Both@RAID0+1(STRIPE-MIRRORING)@0@4@" D1 "@" D2 "@" D3 "@" D4 "@64", S_OK,
     Shows("MVP1/Both", "RAID_Mode", "RAID0+1(STRIPING + MIRRORING)")},
    {"CreateParity", "one-adapter", nullptr, "MVP1", "CreateArray", "Par@RAID3(PARITY-DEDICATED)@0@3@" D1 "@" D2 "@" D3 "@64",
     S_OK, Shows("MVP1/Par", "RAID_Mode", "PARITY")},
    {"CreateRaid5Initialised", "one-adapter", nullptr, "MVP1", "CreateArray",
     "R5@RAID5(PARITY-DISTRIBUTED)@0@1@4@" D1 "@" D2 "@" D3 "@" D4 "@64", S_OK,
     All({Shows("MVP1/R5", "RAID_Mode", "RAID5(PARITY-DISTRIBUTED)"), Shows("MVP1/R5", "Status", "1536"),
          Shows("MVP1/R5", "ThrottleStatus", "1")})},
    {"CreateRaid5Uninitialised", "one-adapter", nullptr, "MVP1", "CreateArray",
     "R5@RAID5(PARITY-DISTRIBUTED)@0@0@3@" D1 "@" D2 "@" D3 "@64", S_OK, Shows("MVP1/R5", "Status", "0")},
    {"CreateSpan", "one-adapter", nullptr, "MVP1", "CreateArray", "Long@SPAN@0@2@" D1 "@" D4 "@64", S_OK,
     Shows("MVP1/Long", "RAID_Mode", "SPANNING")},
    {"CreateJbod", "one-adapter", nullptr, "MVP1", "CreateArray", "One@JBOD@0@1@" D2 "@64", S_OK,
     All({Shows("MVP1/One", "RAID_Mode", "JBOD"), Lists("MVP1/One", "disk2", true)})},
    // Refused arguments.
    {"CreateUnknownMode", "one-adapter", nullptr, "MVP1", "CreateArray", "X@RAID9@0@2@" D1 "@" D2 "@64", E_INVALIDARG,
     nullptr},
    {"CreateModeInOtherCase", "one-adapter", nullptr, "MVP1", "CreateArray", "X@span@0@2@" D1 "@" D2 "@64",
     E_INVALIDARG, nullptr},
    {"CreateNoDisks", "one-adapter", nullptr, "MVP1", "CreateArray", "X@RAID0(STRIPING)@0@0@64", E_INVALIDARG,
     nullptr},
    {"CreateFewerDisksThanCounted", "one-adapter", nullptr, "MVP1", "CreateArray",
     "X@RAID0(STRIPING)@0@3@" D1 "@" D2 "@64", E_INVALIDARG, nullptr},
    {"CreateRaid5WithoutInitField", "one-adapter", nullptr, "MVP1", "CreateArray",
     "X@RAID5(PARITY-DISTRIBUTED)@0@3@" D1 "@" D2 "@" D3 "@64", E_INVALIDARG, nullptr},
    {"CreateNamingAChannel", "one-adapter", nullptr, "MVP1", "CreateArray", "X@RAID0(STRIPING)@0@2@" D1 "@{MVP1/ch2}@64",
     E_INVALIDARG, nullptr},
    {"CreateNamingNoObject", "one-adapter", nullptr, "MVP1", "CreateArray", "X@RAID0(STRIPING)@0@2@" D1 "@99999@64",
     E_INVALIDARG, nullptr},
    {"CreateBlockSizeTooLarge", "one-adapter", nullptr, "MVP1", "CreateArray", "X@RAID0(STRIPING)@0@2@" D1 "@" D2 "@65536",
     E_INVALIDARG, nullptr},
    {"CreateNotANumber", "one-adapter", nullptr, "MVP1", "CreateArray", "X@RAID0(STRIPING)@zero@2@" D1 "@" D2 "@64",
     E_INVALIDARG, nullptr},
    {"CreateWithoutFields", "one-adapter", nullptr, "MVP1", "CreateArray", "X", E_INVALIDARG, nullptr},
    {"CreateNothing", "one-adapter", nullptr, "MVP1", "CreateArray", "", E_INVALIDARG, nullptr},
    {"CreateOtherAdaptersDisk", "two-adapters", nullptr, "MVP1", "CreateArray",
     "X@RAID1(MIRROR)@0@2@{MVP1/ch4/slave}@{MVP2/ch4/master}@64", E_INVALIDARG, nullptr},
    // Arguments that only the driver API finds invalid.
    {"CreateNameTooLong", "one-adapter", nullptr, "MVP1", "CreateArray",
     "A name longer than the driver takes@RAID0(STRIPING)@0@2@" D1 "@" D2 "@64", E_INVALIDARG,
     Lists("MVP1", "A name longer than the driver takes", false)},
    {"CreateMirrorOfThree", "one-adapter", nullptr, "MVP1", "CreateArray",
     "X@RAID1(MIRROR)@0@3@" D1 "@" D2 "@" D3 "@64", E_INVALIDARG, Lists("MVP1", "X", false)},
    {"CreateRaid5OfTwo", "one-adapter", nullptr, "MVP1", "CreateArray",
     "X@RAID5(PARITY-DISTRIBUTED)@0@0@2@" D1 "@" D2 "@64", E_INVALIDARG, Lists("MVP1", "X", false)},
    {"CreateBlockSizeBeyondTheDrivers", "one-adapter", nullptr, "MVP1", "CreateArray",
     "X@RAID0(STRIPING)@0@2@" D1 "@" D2 "@256", E_INVALIDARG, Lists("MVP1", "X", false)},
    {"CreateTheSameDiskTwice", "one-adapter", nullptr, "MVP1", "CreateArray",
     "X@RAID0(STRIPING)@0@2@" D1 "@" D1 "@64", E_INVALIDARG, Lists("MVP1", "X", false)},
    // Driver refusals.
    {"CreateOnDisksInUse", "two-adapters", nullptr, "MVP1", "CreateArray", "X@RAID1(MIRROR)@0@2@" D1 "@{MVP1/ch4/slave}@64",
     E_FAIL, Lists("MVP1", "X", false)},
    // Deletion.
    {"DeleteArray", "two-adapters", nullptr, "MVP1", "DeleteArray", "{MVP1/Scratch}", S_OK,
     All({Lists("MVP1", "Scratch", false), Lists("MVP1", "System", true),
          Sim([](const zelsim::SimState& s) { EXPECT_FALSE(s.arrays[2].blFlag & 1); })})},
    {"DeleteADisk", "two-adapters", nullptr, "MVP1", "DeleteArray", "{MVP1/ch1/master}", E_INVALIDARG,
     Lists("MVP1", "System", true)},
    {"DeleteOtherAdaptersArray", "two-adapters", nullptr, "MVP1", "DeleteArray", "{MVP2/Vault}", E_INVALIDARG,
     Lists("MVP2", "Vault", true)},
    {"DeleteMountedArray", "two-adapters", "mount '/dev/sdb1 /data ext4 rw 0 0\n'", "MVP1", "DeleteArray",
     "{MVP1/Data}", E_FAIL, Lists("MVP1", "Data", true)},
    // Conversion.
    {"ConvStripingGrows", "two-adapters", nullptr, "MVP1", "ConvArray",
     "512@{MVP1/Scratch}@RAID0(STRIPING)@64@1@{MVP1/ch4/slave}", S_OK,
     All({Shows("MVP1/Scratch", "Status", "768"), Shows("MVP1/Scratch", "ThrottleStatus", "1")})},
    {"ConvMirrorToRaid5", "two-adapters", nullptr, "MVP1", "ConvArray",
     "512@{MVP1/System}@RAID5(PARITY-DISTRIBUTED)@64@1@{MVP1/ch4/slave}", S_OK, Shows("MVP1/System", "Status", "768")},
    {"ConvUnknownOp", "two-adapters", nullptr, "MVP1", "ConvArray", "7@{MVP1/Scratch}", E_INVALIDARG, nullptr},
    {"ConvStartWithoutMode", "two-adapters", nullptr, "MVP1", "ConvArray", "512@{MVP1/Scratch}", E_INVALIDARG, nullptr},
    {"ConvNamingADisk", "two-adapters", nullptr, "MVP1", "ConvArray", "1024@" D1, E_INVALIDARG, nullptr},
    {"ConvPauseWithNothingRunning", "two-adapters", nullptr, "MVP1", "ConvArray", "1024@{MVP1/Scratch}", E_FAIL,
     Shows("MVP1/Scratch", "ThrottleStatus", "2")},
    {"ConvToAMirrorOfThree", "two-adapters", nullptr, "MVP1", "ConvArray",
     "512@{MVP1/Scratch}@RAID1(MIRROR)@64@1@{MVP1/ch4/slave}", E_INVALIDARG, Shows("MVP1/Scratch", "Status", "0")},
    {"ConvWithADiskInUse", "two-adapters", nullptr, "MVP1", "ConvArray",
     "512@{MVP1/Scratch}@RAID0(STRIPING)@64@1@{MVP1/ch3/master}", E_INVALIDARG, Shows("MVP1/Scratch", "Status", "0")},
    {"ConvToTheSameLayout", "two-adapters", nullptr, "MVP1", "ConvArray", "512@{MVP1/Scratch}@RAID0(STRIPING)@64@0",
     E_INVALIDARG, Shows("MVP1/Scratch", "Status", "0")},
    {"ConvStripeTooLarge", "two-adapters", nullptr, "MVP1", "ConvArray",
     "512@{MVP1/Scratch}@RAID0(STRIPING)@65536@1@{MVP1/ch4/slave}", E_INVALIDARG, Shows("MVP1/Scratch", "Status", "0")},
    // Settings, written through to the driver or the profile and read back.
    {"SetSmartOff", "one-adapter", nullptr, "MVP1", "SetSmart", "0", S_OK,
     All({Shows("MVP1", "GetSmart", "0"), Profile("SMARTENABLE=0"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(0u, s.settings.smartCheck); })})},
    {"SetSmartOutOfRange", "one-adapter", nullptr, "MVP1", "SetSmart", "2", E_INVALIDARG, Shows("MVP1", "GetSmart", "1")},
    // What the driver holds afterwards is shown, not what was asked for.
    {"SetSmartNotTaken", "one-adapter", "fault 4017 fail 1", "MVP1", "SetSmart", "0", S_OK,
     All({Shows("MVP1", "GetSmart", "1"), Profile("SMARTENABLE=1")})},
    {"SetPCIBusFull", "one-adapter", nullptr, "MVP1", "SetPCIBus", "100", S_OK,
     All({Shows("MVP1", "GetPCIBus", "100"), Profile("COUNTTHRESHOLD=0"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(0u, s.settings.channelThreshold); })})},
    {"SetPCIBusNone", "one-adapter", nullptr, "MVP1", "SetPCIBus", "0", S_OK,
     All({Shows("MVP1", "GetPCIBus", "0"), Profile("COUNTTHRESHOLD=4"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(4u, s.settings.channelThreshold); })})},
    {"SetPCIBusAboveFull", "one-adapter", nullptr, "MVP1", "SetPCIBus", "101", E_INVALIDARG, nullptr},
    {"SetMaintenanceRate", "one-adapter", nullptr, "MVP1", "SetMaintenanceRate", "3", S_OK,
     All({Shows("MVP1", "GetMaintenanceRate", "3"), Profile("MAINTENANCELENGTH=3"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(3u, s.settings.maintenanceLength); })})},
    {"SetMaintenanceRateNegative", "one-adapter", nullptr, "MVP1", "SetMaintenanceRate", "-3", E_INVALIDARG, nullptr},
    {"SetReadThreshold", "one-adapter", nullptr, "MVP1", "SetReadThreshold", "50", S_OK,
     All({Shows("MVP1", "ReadThreshold", "50"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(50u, s.settings.readThreshold); })})},
    {"SetWriteThreshold", "one-adapter", nullptr, "MVP1", "SetWriteThreshold", "60", S_OK,
     All({Shows("MVP1", "WriteThreshold", "60"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(60u, s.settings.writeThreshold); })})},
    {"SetSubmitChannelThreshold", "one-adapter", nullptr, "MVP1", "SetSubmitChannelThreshold", "2", S_OK,
     All({Shows("MVP1", "SubmitChannelThreshold", "2"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(2u, s.settings.submitThreshold); })})},
    {"SetThresholdNotANumber", "one-adapter", nullptr, "MVP1", "SetReadThreshold", "fifty", E_INVALIDARG,
     Shows("MVP1", "ReadThreshold", "100")},
    {"SetWriteThrough", "one-adapter", nullptr, "MVP1", "SetWriteMode", "1", S_OK,
     All({Shows("MVP1", "WriteMode", "1"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(1u, s.settings.writeMode); })})},
    {"SetWriteModeUnknown", "one-adapter", nullptr, "MVP1", "SetWriteMode", "2", E_INVALIDARG,
     Shows("MVP1", "WriteMode", "0")},
    {"SetCachePolicy", "one-adapter", nullptr, "MVP1", "SetCachePolicy", "1", S_OK,
     All({Shows("MVP1", "GetCachePolicy", "1"), Profile("WRITEBACKCACHE=1")})},
    {"SetDisableHotSpare", "one-adapter", nullptr, "MVP1", "SetDisableHotSpare", "1", S_OK,
     All({Shows("MVP1", "GetDisableHotSpare", "1"), Profile("DISABLEHOTSPARE=1")})},
    {"SetCachePolicyEmpty", "one-adapter", nullptr, "MVP1", "SetCachePolicy", "", E_INVALIDARG,
     Shows("MVP1", "GetCachePolicy", "0")},
    // The buzzer.
    {"TurnOnBuzzer", "one-adapter", "set buzzer 0", "MVP1", "TurnOnBuzzer", "", S_OK,
     Sim([](const zelsim::SimState& s) { EXPECT_EQ(1u, s.settings.buzzer); })},
    // No set request: the fault on it stays armed.
    {"TurnOnBuzzerAlreadyOn", "one-adapter", "fault 402b fail 1", "MVP1", "TurnOnBuzzer", "", S_OK,
     Sim([](const zelsim::SimState& s) { EXPECT_EQ(1u, s.faults[0].remaining); })},
    {"SilentBuzzer", "one-adapter", nullptr, "MVP1", "SilentBuzzer", "", S_OK,
     Sim([](const zelsim::SimState& s) { EXPECT_EQ(0u, s.settings.buzzer); })},
    // Entries that are no methods of the adapter.
    {"ServedByTheFolder", "one-adapter", nullptr, "MVP1", "ReadEvent", "", S_OK, nullptr},
    {"NotAMethod", "one-adapter", nullptr, "MVP1", "GetSmart", "0", S_FALSE, nullptr},
    {"NoSuchMethod", "one-adapter", nullptr, "MVP1", "Format", "", S_FALSE, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Adapter, Methods, ::testing::ValuesIn(kAdapterRows),
                         RowName);

const MethodRow kArrayRows[] = {
    {"Rename", "two-adapters", nullptr, "MVP1/System", "rename", "Boot", S_OK,
     All({Shows("MVP1/System", "name", "Boot"),
          Sim([](const zelsim::SimState& s) { EXPECT_STREQ("Boot", reinterpret_cast<const char*>(s.arrays[0].Name)); })})},
    {"RenameWithSeparator", "two-adapters", nullptr, "MVP1/System", "rename", "a@b", E_INVALIDARG,
     Shows("MVP1/System", "name", "System")},
    // Refused by the driver API as an invalid argument: answered as the
    // plug-in's own refusals are.
    {"RenameTooLong", "two-adapters", nullptr, "MVP1/System", "rename", "a name far longer than the sixty-three characters that the driver can keep",
     E_INVALIDARG, Shows("MVP1/System", "name", "System")},
    {"RenameToNothing", "two-adapters", nullptr, "MVP1/System", "rename", "N/A", E_FAIL,
     Shows("MVP1/System", "name", "System")},
    {"SyncStart", "two-adapters", nullptr, "MVP1/System", "SyncArray", "512", S_OK,
     Shows("MVP1/System", "ThrottleStatus", "1")},
    {"SyncNotANumber", "two-adapters", nullptr, "MVP1/System", "SyncArray", "now", E_INVALIDARG, nullptr},
    {"SyncPauseWithNothingRunning", "two-adapters", nullptr, "MVP1/System", "SyncArray", "1024", E_FAIL,
     Shows("MVP1/System", "ThrottleStatus", "2")},
    {"SyncOfAStripe", "two-adapters", nullptr, "MVP1/Scratch", "SyncArray", "512", S_FALSE, nullptr},
    {"RebuildAHealthyArray", "two-adapters", nullptr, "MVP1/System", "RebuildArray", "512@{MVP1/System/disk2}", E_FAIL,
     Shows("MVP1/System", "ThrottleStatus", "2")},
    {"RebuildNotAMember", "two-adapters", nullptr, "MVP1/System", "RebuildArray", "512@{MVP1/ch4/slave}",
     E_INVALIDARG, nullptr},
    // A free disk does not stand for the member a degraded array lacks.
    {"RebuildDegradedNamingAFreeDisk", "two-adapters", "fail-disk 0 1", "MVP1/System", "RebuildArray",
     "512@{MVP1/ch4/slave}", E_INVALIDARG,
     All({Shows("MVP1/System", "ThrottleStatus", "2"),
          Sim([](const zelsim::SimState& s) { EXPECT_EQ(0, s.activity[0].status); })})},
    {"RebuildDegradedNamingAnotherArraysMember", "two-adapters", "fail-disk 0 1", "MVP1/System", "RebuildArray",
     "512@{MVP1/ch3/master}", E_INVALIDARG,
     Sim([](const zelsim::SimState& s) { EXPECT_EQ(0, s.activity[0].status); })},
    {"RebuildOtherAdaptersDisk", "two-adapters", "fail-disk 0 1", "MVP1/System", "RebuildArray",
     "512@{MVP2/ch1/master}", E_INVALIDARG, nullptr},
    {"RebuildUnknownOp", "two-adapters", "fail-disk 0 1", "MVP1/System", "RebuildArray", "0@{MVP1/ch1/slave}",
     E_INVALIDARG, nullptr},
    {"RebuildStartWithoutDisk", "two-adapters", "fail-disk 0 1", "MVP1/System", "RebuildArray", "512", E_INVALIDARG,
     nullptr},
    {"RebuildCritical", "two-adapters", "fail-disk 0 1", "MVP1/System", "RebuildArray", "512@{MVP1/ch1/slave}", S_OK,
     All({Shows("MVP1/System", "ThrottleStatus", "1"), Shows("MVP1/System", "Status", std::to_string(static_cast<int>(kCritical)))})},
    {"ForceIT", "two-adapters", nullptr, "MVP1/System", "ForceIT", "", E_FAIL, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Array, Methods, ::testing::ValuesIn(kArrayRows),
                         RowName);
} // namespace
