#include "TreeHelpers.h"

#include <cstring>
#include <string>
#include <vector>

using simtest::Shell;
using simtest::Snapshot;
using treetest::DirTexts;
using treetest::Held;
using treetest::Sink;
using Names = std::vector<std::string>;

namespace
{
const std::string kCritical = std::to_string(static_cast<int>(0x80000001));

class Arrays : public treetest::PluginFixture
{
protected:
    void Step(int percent) const
    {
        Shell("zelsim step " + std::to_string(percent));
        Ticks(1);
    }
    std::string Status(const std::string& path) const { return Prop(path, "Status"); }
};

TEST_F(Arrays, ARaid5ArrayIsMadeInitialisedDegradedRebuiltAndDeleted)
{
    Load("one-adapter");
    Shell("zelsim set hot-spares 0");
    Sink adapter;
    Advise("MVP1", adapter);
    std::string args = "Data@RAID5(PARITY-DISTRIBUTED)@0@1@4";
    for (const char* disk : {"MVP1/ch1/master", "MVP1/ch1/slave", "MVP1/ch2/master", "MVP1/ch2/slave"})
        args += "@" + Identity(disk);
    ASSERT_EQ(S_OK, Invoke("MVP1", "CreateArray", args + "@64"));
    EXPECT_GE(adapter.Count(8194), 1);
    EXPECT_EQ((Names{"disk1", "disk2", "disk3", "disk4"}), Children("MVP1/Data"));
    EXPECT_EQ("512", Prop("MVP1/ch1/master", "Status")) << "the disk is now assigned";

    EXPECT_EQ("1536", Status("MVP1/Data"));
    EXPECT_EQ("0", Prop("MVP1/Data", "percent"));
    Step(50);
    EXPECT_EQ("50", Prop("MVP1/Data", "percent"));
    Step(50);
    EXPECT_EQ("0", Status("MVP1/Data"));
    EXPECT_EQ("-1", Prop("MVP1/Data", "percent"));
    EXPECT_EQ("2", Prop("MVP1/Data", "ThrottleStatus"));

    Sink array;
    Advise("MVP1/Data", array);
    Shell("zelsim fail-disk 0 2");
    Ticks(1);
    EXPECT_EQ(kCritical, Status("MVP1/Data"));
    EXPECT_EQ((Names{"disk1", "disk2", "disk4"}), Children("MVP1/Data"));
    EXPECT_GE(array.Count(8194), 1);

    ASSERT_EQ(S_OK, Invoke("MVP1/Data", "RebuildArray", "512@" + Identity("MVP1/ch2/master")));
    EXPECT_EQ("1", Prop("MVP1/Data", "ThrottleStatus"));
    Ticks(1);
    EXPECT_EQ("512", Status("MVP1/Data")) << "rebuilding shows over critical";
    Step(40);
    EXPECT_EQ("40", Prop("MVP1/Data", "percent"));
    ASSERT_EQ(S_OK, Invoke("MVP1/Data", "RebuildArray", "1024"));
    EXPECT_EQ("4", Prop("MVP1/Data", "ThrottleStatus"));
    ASSERT_EQ(S_OK, Invoke("MVP1/Data", "RebuildArray", "256"));
    Step(60);
    EXPECT_EQ("0", Status("MVP1/Data"));
    EXPECT_EQ(4u, Children("MVP1/Data").size());

    Held gone = At("MVP1/Data");
    Sink removed;
    Advise("MVP1/Data", removed);
    ASSERT_EQ(S_OK, Invoke("MVP1", "DeleteArray", Identity("MVP1/Data")));
    EXPECT_EQ(1, removed.Count(8193));
    EXPECT_EQ((Names{"ch1", "ch2", "ch3", "ch4", "enclosure1"}), Children("MVP1"));
    EXPECT_EQ("256", Prop("MVP1/ch1/master", "Status")) << "the disk is free again";
    // A folder still holding the deleted array reaches nothing through it.
    EXPECT_EQ(E_FAIL, gone->invoke("rename", "Again"));
    EXPECT_EQ(1u, Snapshot()->counters.creates);
}

TEST_F(Arrays, AnIntegrityCheckIsStartedPausedContinuedAndStopped)
{
    Load("two-adapters");
    const struct
    {
        const char* code;
        STATUS result;
        const char* marker;
        const char* status;
    } rows[] = {
        {"512", S_OK, "1", "256"},
        {"512", E_FAIL, "1", "256"},
        {"1024", S_OK, "4", "256"},
        {"256", S_OK, "1", "256"},
        // The driver has no way to stop a check; the refusal is told.
        {"2048", E_FAIL, "1", "256"},
    };
    for (const auto& row : rows)
    {
        EXPECT_EQ(row.result, Invoke("MVP1/System", "SyncArray", row.code)) << row.code;
        EXPECT_EQ(row.marker, Prop("MVP1/System", "ThrottleStatus")) << row.code;
        Ticks(1);
        EXPECT_EQ(row.status, Status("MVP1/System")) << row.code;
        EXPECT_EQ(row.marker, Prop("MVP1/System", "ThrottleStatus")) << row.code << " as the driver tells it";
    }
    Step(100);
    EXPECT_EQ("0", Status("MVP1/System"));
    EXPECT_EQ("2", Prop("MVP1/System", "ThrottleStatus"));
}

TEST_F(Arrays, ARenameIsKeptByTheDriverAndTold)
{
    Load("two-adapters");
    Sink array;
    Advise("MVP2/Vault", array);
    ASSERT_EQ(S_OK, Invoke("MVP2/Vault", "rename", "Safe"));
    EXPECT_EQ("Safe", Prop("MVP2/Vault", "name"));
    EXPECT_EQ(1, array.Count(8194));
    EXPECT_STREQ("Safe", reinterpret_cast<const char*>(Snapshot()->arrays[5].Name));
    EXPECT_STREQ("System", reinterpret_cast<const char*>(Snapshot()->arrays[0].Name)) << "the other adapter's";
}

// A write of a writable property either reaches the driver, with the
// driver's answer, or is declined and leaves the value as it was; none is
// taken as done while nothing changed.
TEST_F(Arrays, APropertyWriteIsCarriedOutOrDeclined)
{
    // In order, on one array: the names the driver keeps add up. The
    // driver takes no empty name.
    const struct
    {
        const char* property;
        const char* value;
        STATUS status;
        // The value listed afterwards; null for the one listed before.
        const char* shown;
        // The name the driver keeps afterwards.
        const char* stored;
    } cases[] = {
        {"RAID_Mode", "JBOD", E_NOTIMPL, nullptr, "Vault"},
        {"Block Size", "128 (kb)", E_NOTIMPL, nullptr, "Vault"},
        {"Cyls", "12", E_NOTIMPL, nullptr, "Vault"},
        {"Heads", "12", E_NOTIMPL, nullptr, "Vault"},
        {"Sectors", "12", E_NOTIMPL, nullptr, "Vault"},
        {"ConverMode", "0", E_NOTIMPL, nullptr, "Vault"},
        {"Size", "1", S_FALSE, nullptr, "Vault"},
        {"rename", "Zed", S_FALSE, nullptr, "Vault"},
        {"name", "Z@d", E_INVALIDARG, nullptr, "Vault"},
        {"name", "Zed", S_OK, "Zed", "Zed"},
        {"name", "N/A", S_OK, "N/A", "N/A"},
        {"name", "", E_FAIL, nullptr, "N/A"},
    };
    Load("two-adapters");
    Held array = At("MVP2/Vault");
    ASSERT_TRUE(array);
    Sink sink;
    Advise("MVP2/Vault", sink);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.property) + "@" + c.value);
        const std::string before = Prop(array.Get(), c.property);
        const int mode = Snapshot()->arrays[5].blRAID;
        const int told = sink.Count(8194);
        EXPECT_EQ(c.status, array->set(c.property, c.value, 0));
        const std::string after = c.shown ? std::string(c.shown) : before;
        EXPECT_EQ(after, Prop(array.Get(), c.property));
        EXPECT_EQ(told + (c.status == S_OK ? 1 : 0), sink.Count(8194));
        EXPECT_STREQ(c.stored, reinterpret_cast<const char*>(Snapshot()->arrays[5].Name));
        EXPECT_EQ(mode, Snapshot()->arrays[5].blRAID);
        array->refresh();
        EXPECT_EQ(after, Prop(array.Get(), c.property)) << "after a refresh";
    }
}

TEST_F(Arrays, ArraysWithoutAUsableNameAreNamedByPosition)
{
    simtest::LoadPreset("two-adapters");
    simtest::Sim(
        [](zelsim::SimState& s)
        {
            memset(s.arrays[0].Name, 0, sizeof s.arrays[0].Name);
            strcpy(reinterpret_cast<char*>(s.arrays[2].Name), "Data");
        });
    Open();
    EXPECT_EQ((Names{"ch1", "ch2", "ch3", "ch4", "enclosure1", "Ary1", "Data", "Ary3"}), Children("MVP1"));
    EXPECT_STREQ("Ary1", reinterpret_cast<const char*>(Snapshot()->arrays[0].Name));
    EXPECT_STREQ("Data", reinterpret_cast<const char*>(Snapshot()->arrays[2].Name)) << "kept when it clashes";
    EXPECT_EQ("RAID0(STRIPING)", Prop("MVP1/Ary3", "RAID_Mode"));
}

TEST_F(Arrays, AnArrayDeletedElsewhereLeavesTheTreeAtTheNextTick)
{
    Load("two-adapters");
    Held scratch = At("MVP1/Scratch");
    Shell("zelsim fail-disk 0 2");
    Ticks(1);
    EXPECT_EQ(std::to_string(static_cast<int>(0x80000002)), Status("MVP1/Scratch"));
    simtest::Sim([](zelsim::SimState& s) { s.arrays[2].blFlag = 0; });
    Shell("zelsim remove-disk 0 3");
    Ticks(1);
    EXPECT_EQ((Names{"ch1", "ch2", "ch3", "ch4", "enclosure1", "System", "Data"}), Children("MVP1"));
    EXPECT_FALSE(DirTexts(scratch.Get()).empty());
}
} // namespace

namespace
{
// The driver API tells a configuration change only once: when the
// adapter's refresh reads it first, the array's own refresh must still
// bring its members in step.
TEST_F(Arrays, ARefreshCountsTheMembersAnewAfterAnotherReadTheChange)
{
    Load("two-adapters");
    Shell("zelsim set hot-spares 0");
    Shell("zelsim fail-disk 0 1");
    Ticks(1);
    ASSERT_EQ(Names{"disk1"}, Children("MVP1/System"));
    ASSERT_EQ(S_OK, Invoke("MVP1/System", "RebuildArray", "512@" + Identity("MVP1/ch1/slave")));
    Shell("zelsim step 100");
    ASSERT_EQ(S_OK, At("MVP1")->refresh());
    ASSERT_EQ(S_OK, At("MVP1/System")->refresh());
    EXPECT_EQ(2u, Children("MVP1/System").size());
    EXPECT_EQ("0", Status("MVP1/System"));
}
} // namespace

namespace
{
// A rebuild is started by naming a member of the array.
// The failed member of a degraded array stays listed on its channel and
// is named there; any other disk is refused before the driver is asked.
class Rebuilds : public Arrays
{
protected:
    // The mirror "System" degraded by a zelsim command, with no hot spare
    // to take.
    void Degrade(const std::string& command)
    {
        Load("two-adapters");
        Shell("zelsim set hot-spares 0");
        Shell("zelsim " + command);
        Ticks(1);
        ASSERT_EQ(kCritical, Status("MVP1/System"));
        EXPECT_EQ(Names{"disk1"}, Children("MVP1/System"));
    }
};

TEST_F(Rebuilds, OnlyAMemberOfTheArrayStartsItsRebuild)
{
    ASSERT_NO_FATAL_FAILURE(Degrade("fail-disk 0 1"));
    EXPECT_EQ((Names{"master", "slave"}), Children("MVP1/ch1")) << "the failed member stays on its channel";
    for (const char* other : {"MVP1/ch4/slave", "MVP1/ch3/master", "MVP2/ch1/master"})
    {
        EXPECT_EQ(E_INVALIDARG, Invoke("MVP1/System", "RebuildArray", "512@" + Identity(other))) << other;
        EXPECT_EQ(0, Snapshot()->activity[0].status) << other << ": no rebuild reached the driver";
    }
    ASSERT_EQ(S_OK, Invoke("MVP1/System", "RebuildArray", "512@" + Identity("MVP1/ch1/slave")));
    auto s = Snapshot();
    EXPECT_EQ(int(AS_REBUILD), s->activity[0].status);
    EXPECT_EQ(1, s->activity[0].slot) << "the named member's place";
}

// A member whose disk was taken out leaves no disk object to name: the
// rebuild waits until a disk is put in its place, as the README tells,
// and a free disk elsewhere never stands for it.
TEST_F(Rebuilds, AMemberWhoseDiskIsGoneIsRebuiltOnceADiskTakesItsPlace)
{
    ASSERT_NO_FATAL_FAILURE(Degrade("remove-disk 0 1"));
    EXPECT_EQ(Names{"master"}, Children("MVP1/ch1"));
    EXPECT_EQ(E_INVALIDARG, Invoke("MVP1/System", "RebuildArray", "512@" + Identity("MVP1/ch4/slave")));
    EXPECT_EQ(E_INVALIDARG, Invoke("MVP1/System", "RebuildArray", "512"));
    EXPECT_EQ(0, Snapshot()->activity[0].status);

    Shell("zelsim insert-disk 0 1");
    Ticks(1);
    ASSERT_EQ((Names{"master", "slave"}), Children("MVP1/ch1"));
    ASSERT_EQ(S_OK, Invoke("MVP1/System", "RebuildArray", "512@" + Identity("MVP1/ch1/slave")));
    auto s = Snapshot();
    EXPECT_EQ(int(AS_REBUILD), s->activity[0].status);
    EXPECT_EQ(1, s->activity[0].disk) << "onto the disk put in the member's place";
    Step(100);
    EXPECT_EQ("0", Status("MVP1/System"));
    EXPECT_EQ((Names{"disk1", "disk2"}), Children("MVP1/System"));
}
} // namespace
