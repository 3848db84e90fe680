// The read side of the interface: adapters, channels, disks and arrays,
// with identifiers in and out of range and without the driver.

#include "ApiHelpers.h"

#include <cstring>
#include <string>

using apitest::NoDriver;
using apitest::Requests;
using apitest::Select;
using simtest::Shell;
using simtest::Sim;

namespace
{
TEST(ApiDevices, AdaptersAndChannels)
{
    Select("one-adapter");
    int n = -5;
    EXPECT_EQ(raGetNumberOfAdapters(&n), reSOK);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(raGetMaxChannelsPerAdapter(&n), reSOK);
    EXPECT_EQ(n, 4);
    const std::pair<int, int> devices[] = {{0, 1}, {2, 1}, {3, 1}, {4, 0}, {-1, 0}};
    for (const auto& [channel, count] : devices)
    {
        EXPECT_EQ(raGetMaxDeviceInChannel(channel, &n), reSOK);
        EXPECT_EQ(n, count) << channel;
    }

    struct
    {
        int adapter, channel;
        raeStatus status;
        raeChannelType type;
        int id;
    } const channels[] = {
        {0, 2, reSOK, reChannelIde, 2},
        {0, 5, reSNotImplemented, reChannelUnknown, -1},
        {0, -1, reSNotImplemented, reChannelUnknown, -1},
        {3, 0, reSOK, reChannelInvalid, 77}, // no such adapter: the id stays
        {-1, 0, reSOK, reChannelInvalid, 77},
    };
    for (const auto& r : channels)
    {
        raeChannelType type = reChannel1394;
        int id = 77;
        EXPECT_EQ(raScanChannel(r.adapter, r.channel, &type, &id), r.status)
            << r.adapter << "/" << r.channel;
        EXPECT_EQ(type, r.type) << r.adapter << "/" << r.channel;
        EXPECT_EQ(id, r.id) << r.adapter << "/" << r.channel;
    }
}

TEST(ApiDevices, ScanNameAndList)
{
    Select("enclosure-battery"); // disks at the even positions only
    struct
    {
        int channel, device;
        raeStatus status;
        raeDeviceType type;
        int id;
    } const rows[] = {
        {1, 0, reSOK, reDeviceIdeDisk, 2},           {3, 0, reSOK, reDeviceIdeDisk, 6},
        {1, 1, reSNoDiskPresent, reDeviceNone, -1},  {4, 0, reSNoDiskPresent, reDeviceNone, -1},
        {-1, 0, reSNoDiskPresent, reDeviceNone, -1}, {0, 2, reSNoDiskPresent, reDeviceNone, -1},
    };
    for (const auto& r : rows)
    {
        raeDeviceType type = reDeviceFan;
        int id = 77;
        EXPECT_EQ(raScanDevice(r.channel, r.device, &type, &id), r.status)
            << r.channel << "/" << r.device;
        EXPECT_EQ(type, r.type);
        EXPECT_EQ(id, r.id);
    }

    char name[40] = "junk";
    EXPECT_EQ(raGetDeviceName(4, name), reSOK);
    EXPECT_STREQ(name, "ZELSIM HD-80G");
    for (int id : {1, 8, -2})
    {
        strcpy(name, "junk");
        EXPECT_EQ(raGetDeviceName(id, name), reSNoDiskPresent) << id;
        EXPECT_STREQ(name, "");
    }

    int ids[8] = {};
    int n = 0;
    EXPECT_EQ(raEnumerateAllDisks(&n, ids), reSOK);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(ids[0], 0);
    EXPECT_EQ(ids[1], 2);
    EXPECT_EQ(ids[3], 6);
}

TEST(ApiDevices, ControllerAndChannelRecords)
{
    Select("one-adapter");
    rasControllerInfo c;
    memset(&c, 0x5A, sizeof(c));
    ASSERT_EQ(raGetControllerInfo(0, &c), reSOK);
    EXPECT_EQ(c.NumberChannels, 4u);
    EXPECT_EQ(c.BusMasterBase, 0xD800u);
    EXPECT_EQ(c.IRQ, 10u);
    EXPECT_EQ(c.SlotNumber, 3u);
    EXPECT_EQ(c.BIOSMemStart, 0xFEB00000u);
    EXPECT_EQ(c.BIOSMemRange, 0xFFFFu);
    EXPECT_EQ(c.BaseAddressATA | c.BaseAddressXOR | c.BaseAddressSEQ | c.BaseAddressMMIO |
                  c.BaseAddressSDRAM,
              0u);
    EXPECT_EQ(raGetControllerInfo(1, &c), reSNotImplemented);
    EXPECT_EQ(raGetControllerInfo(-1, &c), reSNotImplemented);

    rasChannelInfo ch;
    ASSERT_EQ(raGetChannelInfo(1, &ch), reSOK);
    EXPECT_EQ(ch.NumberDisks, 2u);
    EXPECT_STREQ(ch.Name, " 2");
    EXPECT_EQ(ch.Status, 1u);
    EXPECT_EQ(ch.LogicalChannelNumber, 1u);
    EXPECT_EQ(ch.BaseIoAddress1, 0xE010u);
    for (int id : {4, -1})
        EXPECT_EQ(raGetChannelInfo(id, &ch), reSNotImplemented) << id;
}

struct DiskState
{
    raeDiskFunctionalStatus functional;
    raeDiskAssignmentStatus assignment;
    raeDiskMaintenanceActivity activity;
    raeDiskSMARTStatus smart;
};

raeStatus DiskStatus(int id, DiskState* d)
{
    return raGetDiskStatus(id, &d->functional, &d->assignment, &d->activity, &d->smart);
}

TEST(ApiDisks, Status)
{
    Select("two-adapters");
    Shell("zelsim set hot-spares 0");
    Shell("zelsim fail-disk 0 1");
    Shell("zelsim set-smart 0 2 2");
    Shell("zelsim set-smart 0 3 3");
    Shell("zelsim set-smart 0 7 0");
    struct
    {
        int id;
        raeStatus status;
        DiskState state;
    } const rows[] = {
        {0, reSOK, {reDiskFunctional, reDiskAssigned, raeMaintenanceNone, raeSMARTOK}},
        {1, reSOK, {reDiskOffline, reDiskAssigned, raeMaintenanceNone, raeSMARTOK}},
        {2, reSOK, {reDiskFunctional, reDiskAssigned, raeMaintenanceNone, raeSMARTFail}},
        {3, reSOK, {reDiskFunctional, reDiskAssigned, raeMaintenanceNone, raeSMARTNotSupported}},
        {7, reSOK, {reDiskFunctional, reDiskFree, raeMaintenanceNone, raeSMARTNotAvailable}},
        {8,
         reSNoDiskPresent,
         {raeDiskFunctionalStatusUnknown, raeDiskAssignmentStatusUnknown, raeMaintenanceNone,
          raeSMARTUnknown}},
        {-1,
         reSNoDiskPresent,
         {raeDiskFunctionalStatusUnknown, raeDiskAssignmentStatusUnknown, raeMaintenanceNone,
          raeSMARTUnknown}},
    };
    for (const auto& r : rows)
    {
        DiskState d;
        EXPECT_EQ(DiskStatus(r.id, &d), r.status) << r.id;
        EXPECT_EQ(d.functional, r.state.functional) << r.id;
        EXPECT_EQ(d.assignment, r.state.assignment) << r.id;
        EXPECT_EQ(d.activity, r.state.activity) << r.id;
        EXPECT_EQ(d.smart, r.state.smart) << r.id;
    }

    // A missing disk still has its SMART position asked.
    Shell("zelsim remove-disk 0 6");
    DiskState d;
    EXPECT_EQ(DiskStatus(6, &d), reSNoDiskPresent);
    EXPECT_EQ(d.assignment, raeDiskAssignmentStatusUnknown);
}

TEST(ApiDisks, TimingSizeAndGeometry)
{
    Select("one-adapter");
    // Disk 2 loses its valid Ultra DMA field; multiword DMA 2 remains.
    Sim([](zelsim::SimState& s) { s.adapters[0].ext.IdentifyData[2].field_valid = 0x0003; });
    BOOL update = 0;
    raNeedUpdate(&update);
    raeDiskTiming t = reDiskTimingUDMA5;
    EXPECT_EQ(raGetDiskTiming(0, &t), reSOK);
    EXPECT_EQ(t, reDiskTimingUDMA4);
    EXPECT_EQ(raGetDiskTiming(2, &t), reSOK);
    EXPECT_EQ(t, reDiskTimingDMA2);
    EXPECT_EQ(raGetDiskTiming(9, &t), reSNoDiskPresent);
    EXPECT_EQ(t, reDiskTimingUnknown);

    int blocks = 0, size = 0;
    EXPECT_EQ(raGetDiskSize(0, &blocks, &size), reSOK);
    EXPECT_EQ(blocks, 78165360);
    EXPECT_EQ(size, 512);
    EXPECT_EQ(raGetDiskSize(8, &blocks, &size), reSNoDiskPresent);
    EXPECT_EQ(blocks, -1);
    EXPECT_EQ(size, -1);

    ULONG lba = 0;
    int cyl = 0, heads = 0, sectors = 0;
    EXPECT_EQ(raGetDiskDescription(5, &lba, &cyl, &heads, &sectors), reSOK);
    EXPECT_EQ(lba, 78165360u);
    EXPECT_EQ(cyl, 77545);
    EXPECT_EQ(heads, 16);
    EXPECT_EQ(sectors, 63);
    EXPECT_EQ(raGetDiskDescription(-3, &lba, &cyl, &heads, &sectors), reSNoDiskPresent);
    EXPECT_EQ(lba, 0xFFFFFFFFu);
    EXPECT_EQ(cyl + heads + sectors, -3);
}

TEST(ApiDisks, Rates)
{
    Select("one-adapter");
    using Get = raeStatus (*)(int, int*);
    using Set = raeStatus (*)(int, int);
    const std::pair<Get, Set> rates[] = {
        {raGetSynchronizationRate, raSetSynchronizationRate},
        {raGetRebuildRate, raSetRebuildRate},
        {raGetExpanConvRate, raSetExpanConvRate},
    };
    for (const auto& [get, set] : rates)
    {
        int rate = 0;
        EXPECT_EQ(get(3, &rate), reSOK);
        EXPECT_EQ(rate, 50);
        EXPECT_EQ(set(3, 0x15A), reSOK); // the low byte goes to the driver
        EXPECT_EQ(get(3, &rate), reSOK);
        EXPECT_EQ(rate, 0x5A);
        EXPECT_EQ(get(8, &rate), reSNoDiskPresent);
        EXPECT_EQ(set(-1, 10), reSNoDiskPresent);
    }
    NoDriver();
    int rate = 0;
    EXPECT_EQ(raGetRebuildRate(0, &rate), reSOK);
    EXPECT_EQ(rate, 255);
    EXPECT_EQ(raSetRebuildRate(0, 10), reSGenericError);
}

TEST(ApiArrays, ListInfoAndDescription)
{
    Select("two-adapters");
    int n = 0;
    int ids[4] = {-1, -1, -1, -1};
    EXPECT_EQ(raEnumerateAllArrays(&n, ids), reSOK);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(ids[0] + ids[1] + ids[2], 0 + 1 + 2);
    EXPECT_EQ(ids[3], -1);

    rasArrayInfo info;
    ASSERT_EQ(raGetArrayInfo(1, &info), reSOK);
    EXPECT_STREQ(info.Name, "Data");
    EXPECT_EQ(info.RAID, reRaidModeParityDistributed);
    EXPECT_EQ(info.NumberDisks, 3u);
    EXPECT_EQ(info.strm[2].bIndex, 6);
    EXPECT_EQ(info.ulSize, info.NumberOfCylinders * info.NumberOfHeads * info.SectorsPerTrack);
    for (int id : {4, -1})
        EXPECT_EQ(raGetArrayInfo(id, &info), reSNotImplemented) << id;

    char name[64];
    EXPECT_EQ(raGetArrayName(2, name), reSOK);
    EXPECT_STREQ(name, "Scratch");
    EXPECT_EQ(raGetArrayName(7, name), reSNotImplemented);

    raeRaidMode mode = reRaidModeJBOD;
    ULONG size = 0;
    int stripe = 0;
    EXPECT_EQ(raGetArrayDescription(0, &mode, &size, &stripe), reSOK);
    EXPECT_EQ(mode, reRaidModeMirroring);
    rasArrayInfo mirror;
    ASSERT_EQ(raGetArrayInfo(0, &mirror), reSOK);
    EXPECT_EQ(size,
              ULONG(mirror.NumberOfCylinders) * mirror.NumberOfHeads * mirror.SectorsPerTrack);
    EXPECT_GT(size, 70000000u);
    EXPECT_EQ(stripe, 64);
    EXPECT_EQ(raGetArrayDescription(5, &mode, &size, &stripe), reSInvalidArrayId);

    int disks[8] = {};
    EXPECT_EQ(raEnumerateDisksInArray(1, &n, disks), reSOK);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(disks[0], 4);
    EXPECT_EQ(disks[2], 6);
    EXPECT_EQ(raEnumerateDisksInArray(4, &n, disks), reSInvalidArrayId);

    int physical = 9;
    EXPECT_EQ(raMapLogicalToPhysicalArray(2, &physical), reSOK);
    EXPECT_EQ(physical, 2);
    EXPECT_EQ(raMapLogicalToPhysicalArray(4, &physical), reSNoSuchArray);
    EXPECT_EQ(physical, -1);
    EXPECT_EQ(raMapLogicalToPhysicalArray(1, nullptr), reSOK);
}

TEST(ApiArrays, SecondAdapterShowsItsOwnArrays)
{
    Select("two-adapters", 1);
    int n = 0;
    int ids[4] = {};
    EXPECT_EQ(raEnumerateAllArrays(&n, ids), reSOK);
    EXPECT_EQ(n, 2);
    rasArrayInfo info;
    ASSERT_EQ(raGetArrayInfo(0, &info), reSOK);
    EXPECT_STREQ(info.Name, "Archive");
    EXPECT_EQ(info.RAID, reRaidModeStripeMirroring);
    int disks[8] = {};
    EXPECT_EQ(raEnumerateDisksInArray(0, &n, disks), reSOK);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(disks[0], 0); // device ids are the adapter's own
    EXPECT_EQ(disks[3], 3);
}

TEST(ApiArrays, StatusAndChanges)
{
    Select("two-adapters");
    raeArrayFunctionalStatus f;
    raeArrayActivityStatus a;
    int percent = -1;
    EXPECT_EQ(raGetArrayStatus(0, &f, &a, &percent), reSOK);
    EXPECT_EQ(f, reArrayFunctional);
    EXPECT_EQ(a, reArrayIdle);
    EXPECT_EQ(percent, 0);

    uint32_t before = Requests();
    EXPECT_EQ(raGetArrayStatus(5, &f, &a, &percent), reSArrayStatusError);
    EXPECT_GT(Requests(), before) << "the status is still refreshed";
    EXPECT_EQ(f, reArrayFunctionalStatusUnknown);
    EXPECT_EQ(a, reArrayActivityStatusUnknown);

    BOOL update = 1;
    EXPECT_EQ(raNeedUpdate(&update), reSOK);
    EXPECT_EQ(update, 0);
    Shell("zelsim set hot-spares 0");
    Shell("zelsim fail-disk 0 4");
    EXPECT_EQ(raNeedUpdate(&update), reSOK);
    EXPECT_EQ(update, 1);
    EXPECT_EQ(raGetArrayStatus(1, &f, &a, &percent), reSOK);
    EXPECT_EQ(f, reArrayCritical);
    Shell("zelsim fail-disk 0 5");
    EXPECT_EQ(raGetArrayStatus(1, &f, &a, &percent), reSOK);
    EXPECT_EQ(f, reArrayOffline);
    EXPECT_EQ(raGetArrayStatus(3, &f, &a, &percent), reSOK); // an empty slot
    EXPECT_EQ(f, reArrayOffline);
}

TEST(ApiArrays, Rename)
{
    Select("two-adapters");
    std::string longest(63, 'n');
    std::string tooLong(64, 'n');
    struct
    {
        ULONG id;
        const char* name;
        raeStatus status;
        bool request;
    } const rows[] = {
        {0, "Boot", reSOK, true},
        {2, longest.c_str(), reSOK, true},
        {0, "", reSGenericError, false},
        {0, nullptr, reSGenericError, false},
        {0, tooLong.c_str(), reSInvalidArrayConfiguration, false},
        {4, "Other", reSInvalidArrayId, false},
        {3, "Nothing", reSNotImplemented, true}, // no array there: the driver refuses
    };
    for (const auto& r : rows)
    {
        uint32_t before = Requests();
        UCHAR* name = reinterpret_cast<UCHAR*>(const_cast<char*>(r.name));
        EXPECT_EQ(raRenameArray(r.id, name), r.status) << r.id << " " << (r.name ? r.name : "null");
        EXPECT_EQ(Requests() > before, r.request) << r.id;
    }
    char name[64];
    ASSERT_EQ(raGetArrayName(0, name), reSOK);
    EXPECT_STREQ(name, "Boot");
    ASSERT_EQ(raGetArrayName(2, name), reSOK);
    EXPECT_EQ(name, longest);
    ASSERT_EQ(raGetArrayName(1, name), reSOK);
    EXPECT_STREQ(name, "Data");
}
} // namespace
