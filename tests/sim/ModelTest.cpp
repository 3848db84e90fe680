// What the simulated controller does on its own: degrading, hot spares,
// rebuild, synchronisation, expansion and the events each one queues.

#include "SimDriver.h"
#include "SimModel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace zelsim;

namespace
{
class Model : public ::testing::Test
{
protected:
    void Load(const char* preset)
    {
        ASSERT_TRUE(InitPreset(*s, preset));
        s->rate = 0;
    }
    void SetUp() override { Load("two-adapters"); }

    std::vector<uint32_t> EventIds() const
    {
        std::vector<uint32_t> ids;
        for (uint32_t i = 0; i < s->numEvents; i++)
            ids.push_back(s->events[i].id);
        return ids;
    }
    const logevent& LastEvent() const { return s->events[s->numEvents - 1]; }
    void ClearEvents() { s->numEvents = 0; }

    std::unique_ptr<SimState> s = std::make_unique<SimState>();
};

TEST_F(Model, FailedMirrorMemberDegradesAndTheSpareRebuilds)
{
    ASSERT_TRUE(FailDisk(*s, 0, 1));
    EXPECT_EQ(EventIds(), (std::vector<uint32_t>{EV_DISK_SETDOWN, EV_ARRAY_CRITICAL, EV_REBUILD_START}));
    EXPECT_EQ(s->events[0].ParamList[0], 1u);
    EXPECT_EQ(LastEvent().ParamList[0], 0u); // array 0
    EXPECT_EQ(LastEvent().ParamList[1], 7u); // onto the free disk 7
    const array& a = s->arrays[0];
    EXPECT_TRUE(a.blFlag & ARRAY_DEGRADED);
    EXPECT_EQ(a.Strm[1].bIndex, 7);
    EXPECT_EQ(s->blocks[7].blFlag, BLK_PRESENT | BLK_USABLE | BLK_MEMBER | BLK_NEEDS_REBUILD);
    EXPECT_EQ(s->blocks[1].blFlag, BLK_PRESENT); // out of the array, unusable
    EXPECT_EQ(s->status[0].status, AS_REBUILD);

    ClearEvents();
    Step(*s, 40000);
    EXPECT_EQ(s->status[0].percentage, 40);
    Step(*s, 60000);
    EXPECT_EQ(s->status[0].status, AS_IDLE);
    EXPECT_EQ(a.blFlag & 0x1F, ARRAY_HEALTHY);
    EXPECT_EQ(s->blocks[7].blFlag & BLK_NEEDS_REBUILD, 0);
    ASSERT_EQ(EventIds(), std::vector<uint32_t>{EV_REBUILD_COMPLETE});
    EXPECT_EQ(LastEvent().ParamList[2], 100u);
}

TEST_F(Model, WithoutHotSparesTheArrayWaitsForARebuildRequest)
{
    s->settings.hotSpares = 0;
    ASSERT_TRUE(FailDisk(*s, 0, 0));
    EXPECT_EQ(EventIds(), (std::vector<uint32_t>{EV_DISK_SETDOWN, EV_ARRAY_CRITICAL}));
    EXPECT_EQ(s->status[0].status, AS_IDLE);
    EXPECT_EQ(s->arrays[0].Strm[0].blFlag, STRM_VALID | STRM_FAILED);

    EXPECT_EQ(Rebuild(*s, 0, 0, 0), 1);
    EXPECT_EQ(s->status[0].status, AS_REBUILD);
    EXPECT_EQ(s->arrays[0].Strm[0].bIndex, 7);
    EXPECT_EQ(Rebuild(*s, 0, 0, kFlagPause), 1);
    EXPECT_EQ(s->status[0].status, AS_REBUILD_PAUSED);
    Step(*s, 50000);
    EXPECT_EQ(s->status[0].percentage, 0); // paused work does not advance
    EXPECT_EQ(Rebuild(*s, 0, 0, kFlagContinue), 1);
    Step(*s, 30000);
    ClearEvents();
    EXPECT_EQ(Rebuild(*s, 0, 0, kFlagStop), 1);
    ASSERT_EQ(EventIds(), std::vector<uint32_t>{EV_REBUILD_ABORT});
    EXPECT_EQ(LastEvent().ParamList[2], 30u);
    EXPECT_EQ(s->status[0].status, AS_IDLE);
}

TEST_F(Model, RequestsThatCannotStart)
{
    EXPECT_EQ(Rebuild(*s, 0, 0, 0), 0) << "healthy array";
    EXPECT_EQ(Rebuild(*s, 2, 0, 0), 0) << "striping";
    EXPECT_EQ(Rebuild(*s, 3, 0, 0), 0) << "no such array";
    EXPECT_EQ(Synchronise(*s, 2, 0), 0) << "striping";
    EXPECT_EQ(Synchronise(*s, 7, 0), 0) << "no such array";
    s->busy = 1;
    EXPECT_EQ(Synchronise(*s, 0, 0), 0) << "busy";
    IOCTL_MORLIVEN_CREATE_ARRAY_FRAME c = {};
    c.blRAID = RAID_STRIPING;
    c.nDisk = 1;
    c.DiskID[0] = 7;
    EXPECT_EQ(CreateArray(*s, c), -1) << "busy";
    EXPECT_FALSE(DeleteArray(*s, 0)) << "busy";
}

TEST_F(Model, CreateChecksItsDisks)
{
    struct
    {
        const char* what;
        uint32_t layout;
        std::vector<uint8_t> disks;
        int expected;
    } const rows[] = {
        {"disk in use", RAID_STRIPING, {0}, -1},
        {"odd mirror", RAID_MIRRORING, {7, 15}, -1},
        {"disks of both adapters", RAID_JBOD, {7, 15}, -1},
        {"absent disk", RAID_JBOD, {15}, -1},
        {"twice the same disk", RAID_SPANNING, {7, 7}, -1},
        {"unknown layout", 0xFF, {7}, -1},
        {"no disks", RAID_STRIPING, {}, -1},
        {"free disk", RAID_JBOD, {7}, 3},
    };
    for (const auto& r : rows)
    {
        IOCTL_MORLIVEN_CREATE_ARRAY_FRAME c = {};
        c.blRAID = r.layout;
        c.nDisk = static_cast<UCHAR>(r.disks.size());
        std::copy(r.disks.begin(), r.disks.end(), c.DiskID);
        EXPECT_EQ(CreateArray(*s, c), r.expected) << r.what;
    }
    EXPECT_EQ(LastEvent().id, EV_ARRAY_CREATE);
    EXPECT_EQ(LastEvent().ParamList[0], 3u);
    ASSERT_TRUE(DeleteArray(*s, 3));
    ASSERT_TRUE(FreeDisk(*s, 7));
}

TEST_F(Model, RaidFiveInitialisationAndGigabyteBoundary)
{
    Load("one-adapter");
    IOCTL_MORLIVEN_CREATE_ARRAY_FRAME c = {};
    c.blRAID = RAID_DISTRIBUTED_PARITY | CREATE_RAID5_INIT | CREATE_GIGA_BOUNDARY;
    c.nDisk = 4;
    for (int i = 0; i < 4; i++)
        c.DiskID[i] = static_cast<UCHAR>(i);
    ASSERT_EQ(CreateArray(*s, c), 0);
    EXPECT_EQ(c.blRAID & 0xFF, 0u);
    EXPECT_EQ(s->status[0].status, AS_RAID5_INIT);
    EXPECT_EQ(s->arrays[0].bLogicalWidth, 3);
    Step(*s, kFullProgress);
    EXPECT_EQ(s->status[0].status, AS_IDLE);
}

TEST_F(Model, SynchronisationRunsAndPauses)
{
    ASSERT_EQ(Synchronise(*s, 1, 0x60001001), 1);
    EXPECT_EQ(EventIds(), std::vector<uint32_t>{EV_SYNC_START});
    EXPECT_EQ(Synchronise(*s, 1, kFlagPause), 1);
    EXPECT_EQ(s->status[1].status, AS_SYNC_PAUSED);
    EXPECT_EQ(Synchronise(*s, 1, 0), 1);
    EXPECT_EQ(s->status[1].status, AS_SYNC);
    Step(*s, kFullProgress);
    EXPECT_EQ(LastEvent().id, EV_SYNC_COMPLETE);
    EXPECT_EQ(s->status[1].status, AS_IDLE);
}

TEST_F(Model, LosingAMemberDuringSynchronisationAbortsIt)
{
    s->settings.hotSpares = 0;
    ASSERT_EQ(Synchronise(*s, 1, 0), 1);
    Step(*s, 25000);
    ClearEvents();
    ASSERT_TRUE(FailDisk(*s, 0, 5));
    EXPECT_EQ(EventIds(), (std::vector<uint32_t>{EV_DISK_SETDOWN, EV_SYNC_ABORT, EV_ARRAY_CRITICAL}));
    EXPECT_EQ(s->events[1].ParamList[1], 25u);
}

TEST_F(Model, StripingLosesItsDataWithAnyMember)
{
    ASSERT_TRUE(FailDisk(*s, 0, 2));
    EXPECT_EQ(EventIds(), (std::vector<uint32_t>{EV_DISK_SETDOWN, EV_ARRAY_OFFLINE}));
    EXPECT_NE(s->arrays[2].blFlag & ARRAY_ONLINE, ARRAY_ONLINE);
}

TEST_F(Model, SecondFailureTakesAMirrorOffline)
{
    s->settings.hotSpares = 0;
    ASSERT_TRUE(FailDisk(*s, 0, 0));
    ClearEvents();
    ASSERT_TRUE(FailDisk(*s, 0, 1));
    EXPECT_EQ(EventIds(), (std::vector<uint32_t>{EV_DISK_SETDOWN, EV_ARRAY_OFFLINE}));
    EXPECT_FALSE(FailDisk(*s, 0, 1)) << "already failed";
}

TEST_F(Model, RemovingAndInsertingDisksNotifies)
{
    s->settings.hotSpares = 0;
    ASSERT_TRUE(RemoveDisk(*s, 1, 4));
    EXPECT_EQ(s->notify.NotifyType, NOTIFY_HOT_PLUG);
    EXPECT_EQ(s->notify.bCh, 6);
    EXPECT_EQ(s->notify.bId, 0);
    EXPECT_EQ(s->blocks[12].blFlag, 0);
    EXPECT_EQ(s->adapters[1].ext.DevicePresent[4], 0);
    EXPECT_EQ(EventIds(), (std::vector<uint32_t>{EV_DISK_OFFLINE, EV_ARRAY_CRITICAL}));
    EXPECT_FALSE(RemoveDisk(*s, 1, 4));
    EXPECT_FALSE(InsertDisk(*s, 1, 3, "X", 1000)) << "position taken";

    s->settings.hotSpares = 1;
    ClearEvents();
    ASSERT_TRUE(InsertDisk(*s, 1, 4, "ZELSIM NEW", 156301488));
    EXPECT_EQ(EventIds(), (std::vector<uint32_t>{EV_DISK_PLUGIN, EV_REBUILD_START}));
    EXPECT_EQ(s->status[5].status, AS_REBUILD);
    EXPECT_EQ(s->arrays[5].Strm[0].bIndex, 12);
}

TEST_F(Model, ExpansionChecksAndCompletes)
{
    Load("one-adapter");
    IOCTL_MORLIVEN_CREATE_ARRAY_FRAME c = {};
    c.blRAID = RAID_STRIPING;
    c.nDisk = 2;
    c.DiskID[0] = 0;
    c.DiskID[1] = 1;
    strcpy(c.Arrayname, "Grow");
    ASSERT_EQ(CreateArray(*s, c), 0);
    uint32_t before = s->arrays[0].wSize;

    auto frame = [](uint16_t raid, std::vector<uint16_t> added) {
        IOCTL_MORLIVEN_EXPANCONV_FRAME f = {};
        f.nPhysIndex = 0;
        f.nNewRAID = raid;
        f.nNewDisk = static_cast<USHORT>(2 + added.size());
        std::copy(added.begin(), added.end(), f.nNewDiskIDs);
        return f;
    };
    EXPECT_EQ(ExpandConvert(*s, frame(RAID_STRIPING, {})), EXPAN_SAME_ARRAY);
    EXPECT_EQ(ExpandConvert(*s, frame(RAID_MIRRORING, {})), EXPAN_TARGET_TOO_SMALL);
    EXPECT_EQ(ExpandConvert(*s, frame(RAID_STRIPING, {0})), EXPAN_INVALID_DISK);
    EXPECT_EQ(ExpandConvert(*s, frame(RAID_MIRRORING, {2})), EXPAN_CANNOT_CONVERT);
    IOCTL_MORLIVEN_EXPANCONV_FRAME missing = frame(RAID_STRIPING, {2});
    missing.nPhysIndex = 3;
    EXPECT_EQ(ExpandConvert(*s, missing), EXPAN_INVALID_ARRAY);

    ASSERT_EQ(ExpandConvert(*s, frame(RAID_DISTRIBUTED_PARITY, {2, 3})), 0u);
    EXPECT_EQ(s->status[0].status, AS_EXPAND);
    EXPECT_FALSE(FreeDisk(*s, 2)) << "new disks are taken at once";
    Step(*s, kFullProgress);
    const array& a = s->arrays[0];
    EXPECT_EQ(a.blRAID, RAID_DISTRIBUTED_PARITY);
    EXPECT_EQ(a.bWidth, 4);
    EXPECT_GT(a.wSize, before);
    EXPECT_STREQ(reinterpret_cast<const char*>(a.Name), "Grow");
    EXPECT_EQ(s->status[0].status, AS_IDLE);
}

TEST_F(Model, ClockDrivesProgressAtTheConfiguredRate)
{
    s->settings.hotSpares = 1;
    s->rate = 2000; // two percent a second
    AdvanceClock(*s, 1000000);
    ASSERT_TRUE(FailDisk(*s, 0, 1));
    AdvanceClock(*s, 1000000 + 10000);
    EXPECT_EQ(s->status[0].percentage, 20);
    AdvanceClock(*s, 1000000 + 5000); // a clock that goes back moves nothing
    EXPECT_EQ(s->status[0].percentage, 20);
    AdvanceClock(*s, 1000000 + 5000 + 60000);
    EXPECT_EQ(s->status[0].status, AS_IDLE);
    EXPECT_EQ(LastEvent().id, EV_REBUILD_COMPLETE);
}

TEST_F(Model, EnclosureAlarms)
{
    Load("enclosure-battery");
    struct
    {
        const char* what;
        std::function<bool(SimState&)> change;
        uint32_t event; // 0: none
    } const rows[] = {
        {"fan slows", [](SimState& st) { return SetFan(st, 0, 0, 1500); }, 0},
        {"fan stops", [](SimState& st) { return SetFan(st, 0, 0, 0); }, EV_SWAP_FAN_STOP},
        {"warm", [](SimState& st) { return SetTemperature(st, 0, 0, 100); }, 0},
        {"too hot", [](SimState& st) { return SetTemperature(st, 0, 1, 120); }, EV_SWAP_OVER_TEMP},
        {"5 V in range", [](SimState& st) { return SetVoltage(st, 0, 0, false, 5200); }, 0},
        {"5 V low", [](SimState& st) { return SetVoltage(st, 0, 0, false, 4500); }, EV_SWAP_5V},
        {"12 V high", [](SimState& st) { return SetVoltage(st, 0, 2, true, 13000); }, EV_SWAP_12V},
        {"power off", [](SimState& st) { return SetPower(st, 0, 2, false); }, EV_SWAP_POWER_DOWN},
        {"power on", [](SimState& st) { return SetPower(st, 0, 2, true); }, EV_SWAP_POWER_UP},
    };
    for (const auto& r : rows)
    {
        ClearEvents();
        ASSERT_TRUE(r.change(*s)) << r.what;
        EXPECT_EQ(EventIds(), r.event ? std::vector<uint32_t>{r.event} : std::vector<uint32_t>{}) << r.what;
    }
    EXPECT_FALSE(SetFan(*s, 0, 3, 0)) << "no enclosure on channel 3";
    EXPECT_EQ(s->events[0].ParamList[0], 2u); // global channel of the last alarm
}
} // namespace
