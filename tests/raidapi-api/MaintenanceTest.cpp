// Creating and deleting arrays, and rebuild, synchronisation and expansion
// followed to their end through the array status.

#include "ApiHelpers.h"

#include <cstring>
#include <string>
#include <vector>

using apitest::NoDriver;
using apitest::Requests;
using apitest::Select;
using simtest::Shell;
using simtest::Sim;
using simtest::Snapshot;

namespace
{
void Step(uint32_t percent)
{
    Sim([&](zelsim::SimState& s) { zelsim::Step(s, percent * 1000); });
}

struct Status
{
    raeArrayFunctionalStatus functional;
    raeArrayActivityStatus activity;
    int percent;
};

Status ArrayStatus(int id)
{
    Status s{reArrayFunctionalStatusUnknown, reArrayActivityStatusUnknown, -1};
    EXPECT_EQ(raGetArrayStatus(id, &s.functional, &s.activity, &s.percent), reSOK);
    return s;
}

raeStatus Create(raeRaidMode mode, std::vector<UCHAR> disks, int stripe = 64,
                 int flags = reFlagNone, const char* name = "New")
{
    return raCreateArray(reinterpret_cast<UCHAR*>(const_cast<char*>(name)), mode,
                         static_cast<int>(disks.size()), disks.data(), stripe,
                         static_cast<raeCreateAryFlag>(flags));
}

TEST(ApiCreate, ValidationPerLayoutAndTheCodeTheDriverReceives)
{
    std::string name31(31, 'a');
    std::string name32(32, 'a');
    struct
    {
        const char* what;
        raeRaidMode mode;
        std::vector<UCHAR> disks;
        int stripe;
        int flags;
        const char* name;
        raeStatus status;
        uint32_t code; // as received; 0 with no request
    } const rows[] = {
        {"stripe", reRaidModeStriping, {0, 1}, 64, reFlagNone, "New", reSOK, 0x0},
        {"mirror", reRaidModeMirroring, {0, 1}, 64, reFlagNone, "New", reSOK, 0x1},
        {"mirror of 3",
         reRaidModeMirroring,
         {0, 1, 2},
         64,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"mirror of 1",
         reRaidModeMirroring,
         {0},
         64,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"stripe-mirror",
         reRaidModeStripeMirroring,
         {0, 1, 2, 3},
         64,
         reFlagNone,
         "New",
         reSOK,
         0x101},
        {"stripe-mirror of 3",
         reRaidModeStripeMirroring,
         {0, 1, 2},
         64,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"span", reRaidModeSpan, {5}, 64, reFlagNone, "New", reSOK, 0x8},
        {"parity of 2",
         reRaidModeParity,
         {0, 1},
         64,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"parity", reRaidModeParity, {0, 1, 2}, 64, reFlagNone, "New", reSOK, 0x2},
        {"RAID 5 initialised on a GB boundary",
         reRaidModeParityDistributed,
         {0, 1, 2, 3},
         64,
         reFlagRAID5Init | reFlagGigaBoundary,
         "New",
         reSOK,
         0xC0000004},
        {"RAID 5 initialised",
         reRaidModeParityDistributed,
         {4, 5, 6},
         64,
         reFlagRAID5Init,
         "New",
         reSOK,
         0x40000004},
        {"initialising only RAID 5",
         reRaidModeStriping,
         {0, 1},
         64,
         reFlagRAID5Init,
         "New",
         reSOK,
         0x0},
        {"JBOD on a GB boundary",
         reRaidModeJBOD,
         {7},
         64,
         reFlagGigaBoundary,
         "New",
         reSOK,
         0x80000010},
        {"no disks",
         reRaidModeStriping,
         {},
         64,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"nine disks",
         reRaidModeStriping,
         {0, 1, 2, 3, 4, 5, 6, 7, 0},
         64,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"a disk of the other adapter",
         reRaidModeStriping,
         {0, 8},
         64,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"a disk twice",
         reRaidModeStriping,
         {3, 3},
         64,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"stripe 128", reRaidModeStriping, {0, 1}, 128, reFlagNone, "New", reSOK, 0x0},
        {"stripe 256",
         reRaidModeStriping,
         {0, 1},
         256,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"stripe -1",
         reRaidModeStriping,
         {0, 1},
         -1,
         reFlagNone,
         "New",
         reSInvalidArrayConfiguration,
         0},
        {"name of 31", reRaidModeStriping, {0, 1}, 64, reFlagNone, name31.c_str(), reSOK, 0x0},
        {"name of 32",
         reRaidModeStriping,
         {0, 1},
         64,
         reFlagNone,
         name32.c_str(),
         reSInvalidArrayConfiguration,
         0},
        {"no name", reRaidModeStriping, {0, 1}, 64, reFlagNone, nullptr, reSOK, 0x0},
        {"unknown mode",
         reRaidModeUnknown,
         {0, 1},
         64,
         reFlagNone,
         "New",
         reSErrorCreatingArray,
         0xFFFFFFFF},
    };
    for (const auto& r : rows)
    {
        Select("one-adapter");
        uint32_t before = Snapshot()->counters.creates;
        EXPECT_EQ(Create(r.mode, r.disks, r.stripe, r.flags, r.name), r.status) << r.what;
        auto s = Snapshot();
        bool sent = r.status != reSInvalidArrayConfiguration;
        EXPECT_EQ(s->counters.creates, before + (sent ? 1 : 0)) << r.what;
        if (!sent)
            continue;
        EXPECT_EQ(s->lastCreate.blRAID & 0xFFFFFF00, r.code & 0xFFFFFF00) << r.what;
        EXPECT_EQ(s->lastCreate.nDisk, r.disks.size()) << r.what;
        EXPECT_EQ(s->lastCreate.DiskID[0], r.disks[0]) << r.what;
        EXPECT_EQ(s->lastCreate.nStripeBlockSize, r.stripe) << r.what;
        EXPECT_STREQ(s->lastCreate.Arrayname, r.name ? r.name : "") << r.what;
        if (r.status == reSOK)
        {
            EXPECT_EQ(s->arrays[0].blRAID, r.code & 0xFF) << r.what;
        }
    }
}

TEST(ApiCreate, DriverRefusalAndNoDriver)
{
    Select("two-adapters");
    EXPECT_EQ(Create(reRaidModeStriping, {0, 7}), reSErrorCreatingArray) << "disk 0 is taken";
    NoDriver();
    EXPECT_EQ(Create(reRaidModeStriping, {7}), reSErrorCreatingArray);
}

std::string ScsiText(size_t i)
{
    auto s = Snapshot();
    if (i >= s->numScsi)
        return "<none>";
    return std::string(s->scsi[i].text, s->scsi[i].length);
}

TEST(ApiCreate, NewAndDeletedArraysAreAnnouncedToTheScsiLayer)
{
    Select("one-adapter");
    ASSERT_EQ(Create(reRaidModeMirroring, {0, 1}), reSOK);
    ASSERT_EQ(Create(reRaidModeParityDistributed, {2, 3, 4}), reSOK);
    ASSERT_EQ(raDeleteArray(0), reSOK);
    EXPECT_EQ(ScsiText(0), std::string("scsi add-single-device 0 0 0 0", 31));
    EXPECT_EQ(ScsiText(1), std::string("scsi add-single-device 0 0 1 0", 31));
    EXPECT_EQ(ScsiText(2), std::string("scsi remove-single-device 0 0 0 0", 34));

    // The second adapter's arrays go by their global numbers.
    Select("two-adapters", 1);
    ASSERT_EQ(raDeleteArray(1), reSOK);
    ASSERT_EQ(Create(reRaidModeMirroring, {4, 5}), reSOK);
    EXPECT_EQ(Snapshot()->lastCreate.DiskID[0], 12);
    EXPECT_EQ(Snapshot()->lastCreate.DiskID[1], 13);
    EXPECT_EQ(ScsiText(0), std::string("scsi remove-single-device 0 0 5 0", 34));
    EXPECT_EQ(ScsiText(1), std::string("scsi add-single-device 0 0 5 0", 31));
}

void Mount(const std::string& text)
{
    ASSERT_LT(text.size(), size_t(zelsim::kMountsLength));
    Sim([&](zelsim::SimState& s) { snprintf(s.mounts, sizeof(s.mounts), "%s", text.c_str()); });
}

// Lines of a mount table that name no array.
std::string OtherMounts(size_t bytes)
{
    std::string text;
    for (int i = 0; text.size() < bytes; i++)
        text +=
            "tmpfs /run/user/" + std::to_string(1000 + i) + " tmpfs rw,nosuid,nodev,relatime 0 0\n";
    return text.substr(0, bytes);
}

TEST(ApiDelete, MountedArraysAreRefusedWithoutARequest)
{
    const std::string sdbNear = "/dev/root / ext4 rw 0 0\n/dev/sdb1 /data ext4 rw 0 0\n";
    const std::string sdcFar = OtherMounts(3000) + "\n/dev/sdc /scratch xfs rw 0 0\n";
    std::string straddling = OtherMounts(4093 - 1) + "\n/dev/sda2 /boot ext4 rw 0 0\n";
    struct
    {
        const char* what;
        std::string mounts;
        int array;
        raeStatus status;
    } const rows[] = {
        {"a partition of the array", sdbNear, 1, reSArrayBusy},
        {"another array's partition", sdbNear, 0, reSOK},
        {"listed beyond the first kilobyte", sdcFar, 2, reSArrayBusy},
        {"across the reading chunks", straddling, 0, reSArrayBusy},
        {"the same table, another array", straddling, 2, reSOK},
        {"an empty slot", "", 3, reSNoSuchArray},
    };
    for (const auto& r : rows)
    {
        Select("two-adapters");
        Mount(r.mounts);
        uint32_t before = Snapshot()->counters.deletes;
        EXPECT_EQ(raDeleteArray(r.array), r.status) << r.what;
        auto s = Snapshot();
        EXPECT_EQ(s->counters.deletes, before + (r.status == reSArrayBusy ? 0 : 1)) << r.what;
        EXPECT_EQ((s->arrays[r.array].blFlag & 1) != 0, r.status == reSArrayBusy) << r.what;
    }
    Select("two-adapters");
    uint32_t before = Requests();
    for (int id : {4, -1, 100})
        EXPECT_EQ(raDeleteArray(id), reSNoSuchArray) << id;
    EXPECT_EQ(Requests(), before) << "never the other adapter's arrays";
    EXPECT_TRUE(Snapshot()->arrays[4].blFlag & 1);
    NoDriver();
    EXPECT_EQ(raDeleteArray(0), reSNoSuchArray);
}

class ApiMaintenance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Select("two-adapters");
        Shell("zelsim set hot-spares 0");
    }
};

TEST_F(ApiMaintenance, RebuildFollowedToCompletion)
{
    Shell("zelsim fail-disk 0 1");
    EXPECT_EQ(ArrayStatus(0).functional, reArrayCritical);
    ASSERT_EQ(raArrayRebuildDisk(0, 1, raeStart), reSOK);
    Status s = ArrayStatus(0);
    EXPECT_EQ(s.activity, reArrayRebuilding);
    EXPECT_EQ(s.percent, 0);
    Step(40);
    s = ArrayStatus(0);
    EXPECT_EQ(s.activity, reArrayRebuilding);
    EXPECT_EQ(s.percent, 40);
    raeDiskFunctionalStatus f;
    raeDiskAssignmentStatus a;
    raeDiskMaintenanceActivity act;
    raeDiskSMARTStatus smart;
    ASSERT_EQ(raGetDiskStatus(7, &f, &a, &act, &smart), reSOK); // the free disk took the place
    EXPECT_EQ(f, reDiskFunctionalNeedsRebuilding);
    EXPECT_EQ(a, reDiskAssigned);
    EXPECT_EQ(act, raeMaintenanceRebuilding);
    Step(60);
    s = ArrayStatus(0);
    EXPECT_EQ(s.activity, reArrayIdle);
    EXPECT_EQ(s.functional, reArrayFunctional);
    ASSERT_EQ(raGetDiskStatus(7, &f, &a, &act, &smart), reSOK);
    EXPECT_EQ(f, reDiskFunctional);
    EXPECT_EQ(act, raeMaintenanceNone);
    EXPECT_FALSE(Snapshot()->activity[0].status);
}

TEST_F(ApiMaintenance, RebuildRefusals)
{
    const std::pair<int, raeStatus> rows[] = {
        {2, reSRebuildInvalid}, // striping
        {0, reSGenericError},   // healthy: the driver refuses
        {3, reSInvalidArrayId}, // no array
        {4, reSInvalidArrayId}, {-1, reSInvalidArrayId},
    };
    for (const auto& [id, status] : rows)
        EXPECT_EQ(raArrayRebuildDisk(id, 0, raeStart), status) << id;
    Shell("zelsim fail-disk 0 1");
    NoDriver();
    EXPECT_EQ(raArrayRebuildDisk(0, 1, raeStart), reSInvalidAdapter);
}

// A fix whose request never reaches the driver leaves nothing
// behind that makes the adapter look busy, once the driver is back.
TEST_F(ApiMaintenance, AFixThatCannotOpenTheNodeLeavesTheAdapterFree)
{
    Shell("zelsim driver unopenable");
    EXPECT_EQ(raArraySynchronize(1, raeFix), reSInvalidAdapter);
    EXPECT_EQ(raArraySynchronize(1, raeIgnore), reSInvalidAdapter);
    Shell("zelsim driver ok");
    Shell("zelsim fail-disk 0 1");
    EXPECT_EQ(ArrayStatus(0).functional, reArrayCritical);
    EXPECT_EQ(raArrayRebuildDisk(0, 1, raeStart), reSOK);
    EXPECT_EQ(ArrayStatus(0).activity, reArrayRebuilding);
    EXPECT_EQ(raArraySynchronize(1, raeFix), reSOK);
    EXPECT_EQ(ArrayStatus(1).activity, reArraySynchronizing);
}

TEST_F(ApiMaintenance, SynchronisationPausedContinuedAndCompleted)
{
    ASSERT_EQ(raArraySynchronize(1, raeStart), reSOK);
    EXPECT_EQ(ArrayStatus(1).activity, reArraySynchronizing);
    Step(50);
    EXPECT_EQ(ArrayStatus(1).percent, 50);
    ASSERT_EQ(raArraySynchronize(1, raePause), reSOK);
    EXPECT_EQ(ArrayStatus(1).activity, reArraySyncPause);
    Step(30);
    EXPECT_EQ(ArrayStatus(1).percent, 50) << "a paused check does not move";
    ASSERT_EQ(raArraySynchronize(1, raeContinue), reSOK);
    EXPECT_EQ(ArrayStatus(1).activity, reArraySynchronizing);
    raeDiskFunctionalStatus f;
    raeDiskAssignmentStatus a;
    raeDiskMaintenanceActivity act;
    raeDiskSMARTStatus smart;
    ASSERT_EQ(raGetDiskStatus(4, &f, &a, &act, &smart), reSOK);
    EXPECT_EQ(act, raeMaintenanceSynchronizing);
    Step(50);
    Status s = ArrayStatus(1);
    EXPECT_EQ(s.activity, reArrayIdle);
    EXPECT_EQ(s.functional, reArrayFunctional);
    rasEvent ev[RA_MAX_EVENTS];
    int n = 0;
    ASSERT_EQ(raGetEvents(ev, &n), reSOK);
    ASSERT_GE(n, 2);
    EXPECT_STREQ(ev[0].desc, "Disk Synchronize Started : Array 2");
    EXPECT_STREQ(ev[n - 1].desc, "Array 2, Synchronize Completed");
}

TEST_F(ApiMaintenance, IntegrityCheckRows)
{
    EXPECT_EQ(raCheckIntegrity(5, raeStart), reSNotImplemented);
    EXPECT_EQ(raCheckIntegrity(-1, raeStart), reSNotImplemented);
    EXPECT_EQ(raCheckIntegrity(4, raeStart), reSInvalidArrayId);
    EXPECT_EQ(raCheckIntegrity(2, raeStart), reSSyncInvalid);
    EXPECT_EQ(raArraySynchronize(2, raeFix), reSSyncInvalid);
    ASSERT_EQ(raCheckIntegrity(0, raeFix), reSOK);
    EXPECT_EQ(ArrayStatus(0).activity, reArraySynchronizing);
    EXPECT_EQ(raCheckIntegrity(0, raeStart), reSGenericError) << "one check at a time";

    Select("one-adapter");
    ASSERT_EQ(Create(reRaidModeJBOD, {0, 1}), reSOK);
    BOOL update = 0;
    ASSERT_EQ(raNeedUpdate(&update), reSOK); // the library works from the tables it last read
    EXPECT_EQ(raArraySynchronize(0, raeStart), reSSyncInvalid);
    EXPECT_EQ(raArrayRebuildDisk(0, 0, raeStart), reSRebuildInvalid);
}

TEST_F(ApiMaintenance, ExpansionFollowedToCompletion)
{
    int added[] = {7};
    ASSERT_EQ(raExpanConv(2, reRaidModeStriping, 1, added, 64, raeStart), reSOK);
    Status s = ArrayStatus(2);
    EXPECT_EQ(s.activity, reArrayExpanding);
    Step(70);
    EXPECT_EQ(ArrayStatus(2).percent, 70);
    Step(30);
    s = ArrayStatus(2);
    EXPECT_EQ(s.activity, reArrayIdle);
    EXPECT_EQ(s.functional, reArrayFunctional);
    int n = 0;
    int disks[8] = {};
    ASSERT_EQ(raEnumerateDisksInArray(2, &n, disks), reSOK);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(disks[2], 7);
}

TEST_F(ApiMaintenance, ConversionOfAMirrorToRaid5)
{
    int added[] = {7};
    ASSERT_EQ(raExpanConv(0, reRaidModeParityDistributed, 1, added, 64, raeStart), reSOK);
    Step(100);
    rasArrayInfo info;
    ASSERT_EQ(raGetArrayInfo(0, &info), reSOK);
    EXPECT_EQ(info.RAID, reRaidModeParityDistributed);
    EXPECT_EQ(info.NumberDisks, 3u);
}

TEST_F(ApiMaintenance, ExpansionRefusals)
{
    int free7[] = {7};
    int taken[] = {4};
    int other[] = {9};
    int negative[] = {-1};
    int nine[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    struct
    {
        const char* what;
        int array;
        raeRaidMode mode;
        int n;
        int* ids;
        int stripe;
        raeStatus status;
    } const rows[] = {
        {"the same layout, no disks", 2, reRaidModeStriping, 0, nullptr, 64, reSSameArrayError},
        {"too small", 2, reRaidModeMirroring, 0, nullptr, 64, reSTargetSizeToosmall},
        {"a taken disk", 2, reRaidModeStriping, 1, taken, 64, reSInvalidDisk},
        {"the other adapter's disk", 2, reRaidModeStriping, 1, other, 64, reSInvalidDisk},
        {"a negative id", 2, reRaidModeStriping, 1, negative, 64, reSInvalidDisk},
        {"nine new disks", 2, reRaidModeStriping, 9, nine, 64, reSInvalidDisk},
        {"no such array", 5, reRaidModeStriping, 1, free7, 64, reSInvalidArrayId},
        {"an empty slot", 3, reRaidModeStriping, 1, free7, 64, reSInvalidArrayId},
        {"a mirror of three", 2, reRaidModeMirroring, 1, free7, 64, reSExpanInvalid},
        {"a stripe too large", 2, reRaidModeStriping, 1, free7, 0x10000, reSExpanInvalid},
    };
    for (const auto& r : rows)
        EXPECT_EQ(raExpanConv(r.array, r.mode, r.n, r.ids, r.stripe, raeStart), r.status) << r.what;
    EXPECT_FALSE(Snapshot()->activity[2].status);
    NoDriver();
    EXPECT_EQ(raExpanConv(2, reRaidModeStriping, 1, free7, 64, raeStart), reSInvalidAdapter);
}

TEST(ApiCreate, Raid5InitialisationFollowedToCompletion)
{
    Select("one-adapter");
    ASSERT_EQ(Create(reRaidModeParityDistributed, {0, 1, 2, 3}, 64, reFlagRAID5Init), reSOK);
    EXPECT_EQ(ArrayStatus(0).activity, reArrayRaid5Initializing);
    raeDiskFunctionalStatus f;
    raeDiskAssignmentStatus a;
    raeDiskMaintenanceActivity act;
    raeDiskSMARTStatus smart;
    ASSERT_EQ(raGetDiskStatus(2, &f, &a, &act, &smart), reSOK);
    EXPECT_EQ(act, raeMaintenanceRaid5Initializing);
    Step(25);
    EXPECT_EQ(ArrayStatus(0).percent, 25);
    Step(75);
    EXPECT_EQ(ArrayStatus(0).activity, reArrayIdle);
}

std::vector<int> Proposals(int array, int added)
{
    int n = -1;
    raeRaidMode modes[6];
    EXPECT_EQ(raExpanConvMode(array, added, nullptr, &n, modes), reSOK);
    return n < 0 ? std::vector<int>{} : std::vector<int>(modes, modes + n);
}

TEST(ApiConversion, ProposedModes)
{
    struct
    {
        raeRaidMode mode;
        int disks;
        int added;
        std::vector<int> modes;
    } const rows[] = {
        {reRaidModeStriping, 2, 2, {0, 1, 2, 4, 5}},
        {reRaidModeStriping, 2, 1, {0, 4, 5}},
        {reRaidModeStriping, 1, 1, {0, 1}},
        {reRaidModeStriping, 1, 2, {0, 4, 5}},
        {reRaidModeStriping, 2, 0, {}},
        {reRaidModeMirroring, 2, 2, {2, 4, 5}},
        {reRaidModeMirroring, 2, 1, {4, 5}},
        {reRaidModeStripeMirroring, 4, 2, {2, 4, 5}},
        {reRaidModeSpan, 3, 1, {0, 3, 4, 5}},
        {reRaidModeSpan, 1, 1, {0, 1, 3}},
        {reRaidModeSpan, 2, 2, {0, 1, 2, 3, 4, 5}},
        {reRaidModeSpan, 1, 2, {0, 3, 4, 5}},
        {reRaidModeParity, 3, 1, {4, 5}},
        {reRaidModeParityDistributed, 3, 2, {5}},
        {reRaidModeJBOD, 2, 1, {}},
    };
    for (const auto& r : rows)
    {
        Select("one-adapter");
        std::vector<UCHAR> disks;
        for (int i = 0; i < r.disks; i++)
            disks.push_back(static_cast<UCHAR>(i));
        ASSERT_EQ(Create(r.mode, disks), reSOK);
        BOOL update;
        raNeedUpdate(&update);
        EXPECT_EQ(Proposals(0, r.added), r.modes)
            << r.mode << " of " << r.disks << " + " << r.added;
    }
    int n = -1;
    raeRaidMode modes[6];
    EXPECT_EQ(raExpanConvMode(4, 1, nullptr, &n, modes), reSInvalidArrayId);
    EXPECT_EQ(raExpanConvMode(1, 1, nullptr, &n, modes), reSInvalidArrayId) << "an empty slot";
    EXPECT_EQ(n, -1);
}
} // namespace
