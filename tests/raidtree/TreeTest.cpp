#include "TreeHelpers.h"

#include <functional>
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
class Tree : public treetest::PluginFixture
{
protected:
    uint32_t Requests() const { return Snapshot()->counters.ioctls; }
};

TEST_F(Tree, EachPresetGivesItsObjects)
{
    const struct
    {
        const char* preset;
        const char* path;
        Names children;
    } rows[] = {
        {"one-adapter", "", {"MVP1"}},
        // Four channels: ch1 to ch4, then the enclosure channel; no
        // battery without a battery module.
        {"one-adapter", "MVP1", {"ch1", "ch2", "ch3", "ch4", "enclosure1"}},
        {"one-adapter", "MVP1/ch4", {"master", "slave"}},
        {"one-adapter", "MVP1/ch4/slave", {}},
        {"two-adapters", "", {"MVP1", "MVP2"}},
        {"two-adapters", "MVP1", {"ch1", "ch2", "ch3", "ch4", "enclosure1", "System", "Data", "Scratch"}},
        {"two-adapters", "MVP2", {"ch1", "ch2", "ch3", "ch4", "enclosure1", "Archive", "Vault"}},
        {"two-adapters", "MVP2/ch4", {"master"}},
        {"two-adapters", "MVP1/Data", {"disk5", "disk6", "disk7"}},
        {"two-adapters", "MVP2/Archive", {"disk1", "disk2", "disk3", "disk4"}},
        {"enclosure-battery", "MVP1", {"ch1", "ch2", "ch3", "ch4", "enclosure1", "battery", "Mirror"}},
        {"enclosure-battery", "MVP1/ch2", {"master"}},
        {"enclosure-battery", "MVP1/Mirror", {"disk1", "disk3"}},
    };
    std::string loaded;
    for (const auto& row : rows)
    {
        if (loaded != row.preset)
        {
            TearDown();
            Load(loaded = row.preset);
        }
        EXPECT_EQ(row.children, Children(row.path)) << row.preset << " " << row.path;
    }
}

TEST_F(Tree, ObjectsCarryTheirTypesAndProperties)
{
    Load("two-adapters");
    const struct
    {
        const char* path;
        const char* property;
        const char* value;
    } rows[] = {
        {"", "Type", "TAVRINE Morliven QV7000"},
        {"", "FileVersion", "1.30.0001 Build 1"},
        {"MVP1", "handle", ";26"},
        {"MVP1/ch1", "handle", ";20"},
        {"MVP1/enclosure1", "handle", ";7"},
        {"MVP1/System", "handle", ";25"},
        {"MVP1/ch1/master", "handle", ";21"},
        {"MVP1/ch3/master", "model", "ZELSIM HD-80G"},
        {"MVP1/ch3/master", "Size", "74.530 GB"},
        {"MVP1/ch1/master", "Size", "37.271 GB"},
        {"MVP1/ch2/slave", "Channel", "1"},
        {"MVP1/ch4/slave", "Status", "256"},
        {"MVP1/ch1/master", "Status", "512"},
        {"MVP1/ch1/master", "smart", "Functional"},
        {"MVP2/ch3/slave", "model", "ZELSIM XL-160G"},
        {"MVP1/System", "RAID_Mode", "RAID1(MIRROR)"},
        {"MVP1/Data", "RAID_Mode", "RAID5(PARITY-DISTRIBUTED)"},
        {"MVP1/Scratch", "RAID_Mode", "RAID0(STRIPING)"},
        {"MVP2/Archive", "RAID_Mode", "RAID0+1(STRIPING + MIRRORING)"},
        {"MVP2/Vault", "RAID_Mode", "PARITY"},
        {"MVP1/System", "Status", "0"},
        {"MVP1/System", "percent", "-1"},
        {"MVP1/System", "ThrottleStatus", "2"},
        {"MVP1/Data", "disk5/Channel", "2"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.value, Expected(row.path, row.property)) << row.path << " " << row.property;
}

// The root lists "FileVersion" and "Type" after the adapters.
TEST_F(Tree, TheRootListsItsAdaptersBeforeItsProperties)
{
    for (const char* preset : {"two-adapters", "one-adapter"})
    {
        TearDown();
        Load(preset);
        Names entries;
        Held root = At("");
        for (const std::string& text : DirTexts(root.Get()))
            entries.push_back(text.substr(0, text.find('@')));
        Names expected = {"handle", "MVP1"};
        if (std::string(preset) == "two-adapters")
            expected.push_back("MVP2");
        expected.insert(expected.end(), {"FileVersion", "Type"});
        EXPECT_EQ(expected, entries) << preset;
    }
}

TEST_F(Tree, StripingSpanAndJbodArraysOfferNoRebuildOrCheck)
{
    Load("two-adapters");
    auto methods = [&](const std::string& path)
    {
        Names names;
        Held river = At(path);
        for (const std::string& text : DirTexts(river.Get()))
            if (text.find("@m--@") != std::string::npos)
                names.push_back(text.substr(0, text.find('@')));
        return names;
    };
    EXPECT_EQ((Names{"rename", "ForceIT"}), methods("MVP1/Scratch"));
    EXPECT_EQ((Names{"rename", "RebuildArray", "SyncArray", "ForceIT"}), methods("MVP1/System"));
}

TEST_F(Tree, WithoutTheDriverTheRootHasNoAdapters)
{
    simtest::LoadPreset("one-adapter");
    Shell("zelsim driver none");
    Open();
    EXPECT_EQ(Names{}, Children(""));
    EXPECT_EQ("UnknownHardware", Prop("", "Type"));
    EXPECT_EQ("1.30.0001 Build 1", Prop("", "FileVersion"));
    Ticks(12);
    // An interface the root does not have still reports success, with no
    // object.
    auto create = reinterpret_cast<PFNCREATEINSTANCE>(dlsym(m_pHandle, "CreateInstance"));
    void* out = &out;
    EXPECT_EQ(S_OK, create(IID_IEventLog, &out));
    EXPECT_EQ(nullptr, out);
    ASSERT_EQ(S_OK, create(IID_IConnection, &out));
    ASSERT_NE(nullptr, out);
    static_cast<IConnection*>(out)->Release();
}

TEST_F(Tree, AChannelWithOnlyItsSlaveListsTheSlave)
{
    simtest::LoadPreset("one-adapter");
    Shell("zelsim remove-disk 0 0");
    Open();
    EXPECT_EQ(Names{"slave"}, Children("MVP1/ch1"));
    EXPECT_EQ("0", Prop("MVP1/ch1/slave", "Channel"));
}

TEST_F(Tree, ARefreshKeepsTheChannelsAndTellsEach)
{
    Load("one-adapter");
    std::vector<std::string> before;
    Sink sinks[4];
    for (int i = 0; i < 4; ++i)
    {
        std::string path = "MVP1/ch" + std::to_string(i + 1);
        before.push_back(Identity(path));
        Advise(path, sinks[i]);
    }
    ASSERT_EQ(S_OK, At("MVP1")->refresh());
    ASSERT_EQ(S_OK, At("MVP1")->refresh());
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(before[i], Identity("MVP1/ch" + std::to_string(i + 1))) << i;
        EXPECT_EQ(2, sinks[i].Count(8194)) << i;
    }
    EXPECT_EQ((Names{"ch1", "ch2", "ch3", "ch4", "enclosure1"}), Children("MVP1"));
}

TEST_F(Tree, AFailedDiskShowsWithinATickAndIsTold)
{
    Load("two-adapters");
    Shell("zelsim set hot-spares 0");
    Sink array, adapter;
    Advise("MVP1/System", array);
    Advise("MVP1", adapter);
    Ticks(1);
    array.m_Codes.clear();
    adapter.m_Codes.clear();
    Shell("zelsim fail-disk 0 1");
    Ticks(2);
    EXPECT_EQ(std::to_string(static_cast<int>(0x80000001)), Prop("MVP1/System", "Status"));
    EXPECT_EQ(std::to_string(static_cast<int>(0x80000001)), Prop("MVP1/ch1/slave", "Status"));
    EXPECT_GE(array.Count(8194), 1);
    EXPECT_GE(adapter.Count(8194), 1);
    // A quiet controller costs no notices.
    array.m_Codes.clear();
    Ticks(3);
    EXPECT_EQ(0, array.Count(8194));
}

TEST_F(Tree, ADiskRemovedBetweenPollsLeavesTheTree)
{
    Load("one-adapter");
    // Held as an agent folder would hold it.
    Held slave = At("MVP1/ch2/slave");
    ASSERT_TRUE(slave);
    std::string identity = Identity("MVP1/ch2/slave");
    Shell("zelsim remove-disk 0 3");
    Ticks(1);
    EXPECT_EQ(Names{"master"}, Children("MVP1/ch2"));
    // What the holder still has is a live object that no method finds.
    EXPECT_FALSE(DirTexts(slave.Get()).empty());
    EXPECT_EQ(E_INVALIDARG,
              Invoke("MVP1", "CreateArray", "x@RAID1(MIRROR)@0@2@" + Identity("MVP1/ch1/master") + "@" + identity + "@64"));
    Shell("zelsim insert-disk 0 3");
    Ticks(1);
    EXPECT_EQ((Names{"master", "slave"}), Children("MVP1/ch2"));
    EXPECT_NE(identity, Identity("MVP1/ch2/slave"));
}

TEST_F(Tree, BatteryAndEnclosureChecksRunEveryTenthTick)
{
    Load("enclosure-battery");
    Sink adapter;
    Advise("MVP1", adapter);
    Shell("zelsim set-battery 0 temp 41");
    Ticks(9);
    EXPECT_EQ("<none>", Prop("MVP1", "BatteryTemperature"));
    EXPECT_EQ(0, adapter.Count(8194));
    Ticks(1);
    EXPECT_EQ("41", Prop("MVP1", "BatteryTemperature"));
    EXPECT_EQ("<none>", Prop("MVP1", "BatteryVoltage")) << "only what changed is written";
    EXPECT_EQ(1, adapter.Count(8194));
    Ticks(10);
    EXPECT_EQ(1, adapter.Count(8194)) << "no change, no notice";
}

// A sink that ticks the plug-in again from inside a notice, as a folder
// whose work leads back into the plug-in would.
class TickingSink : public Sink
{
public:
    STATUS RAIDNotification(unsigned long code) override
    {
        Sink::RAIDNotification(code);
        uint32_t before = Snapshot()->counters.ioctls;
        m_pTick();
        m_nNestedRequests += Snapshot()->counters.ioctls - before;
        return S_OK;
    }
    PFNMVRAIDTIMERPROC m_pTick = nullptr;
    uint32_t m_nNestedRequests = 0;
};

TEST_F(Tree, ATickFromInsideATickDoesNotPoll)
{
    Load("two-adapters");
    TickingSink sink;
    sink.m_pTick = m_pTick;
    Advise("MVP1", sink);
    Shell("zelsim fail-disk 0 1");
    Ticks(1);
    EXPECT_GE(sink.Count(8194), 1);
    EXPECT_EQ(0u, sink.m_nNestedRequests);
    // The guard is back on after the outer tick.
    uint32_t before = Requests();
    Ticks(1);
    EXPECT_GT(Requests(), before);
}
} // namespace
