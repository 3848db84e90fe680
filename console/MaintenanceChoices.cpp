#include "Maintenance.h"

#include <cstdio>
#include <cstring>

const MigrationRow uraidmode[8] = {
    {1, 1, reRaidModeJBOD, "JBOD"},
    {2, 1, reRaidModeMirroring, "RAID1"},
    {2, 2, reRaidModeStriping, "2 RAID0"},
    {3, 2, reRaidModeParityDistributed, "2+1 RAID5"},
    {4, 2, reRaidModeStripeMirroring, "RAID01"},
    {3, 3, reRaidModeStriping, "3 RAID0"},
    {4, 3, reRaidModeParityDistributed, "3+1 RAID5"},
    {4, 4, reRaidModeStriping, "4 RAID0"},
};
MaintenanceE gMaintenance[kMaxChoices];
int C_dID[kMaxChoices][kMaxNewDisks];
long disksize[kMaxChoices][kMaxNewDisks];

namespace
{
constexpr int kRows = sizeof(uraidmode) / sizeof(uraidmode[0]);
const char kMigrateIndent[] = "              ";

struct ChoiceList
{
    int count;
    bool migrationShown;

    MaintenanceE* Add(MaintenanceKind kind, int array, int disk, int row, raeRaidMode mode)
    {
        if (count >= kMaxChoices)
            return nullptr;
        MaintenanceE* e = &gMaintenance[count++];
        *e = MaintenanceE{kind, array, disk, row, mode, {}, {}};
        return e;
    }

    // A migration line: "Migrate array%d=>" for the array's first one,
    // indented for the following ones.
    MaintenanceE* AddMigration(int array, int row, int newDisks, raeRaidMode mode, const char* target)
    {
        MaintenanceE* e = Add(kMigrate, array, newDisks, row, mode);
        if (!e)
            return nullptr;
        if (migrationShown)
            snprintf(e->szLeft, sizeof(e->szLeft), "%s=>%s", kMigrateIndent, target);
        else
            snprintf(e->szLeft, sizeof(e->szLeft), "Migrate array%d=>%s", array + 1, target);
        migrationShown = true;
        return e;
    }
};

bool Redundant(int mode)
{
    return mode == reRaidModeMirroring || mode == reRaidModeStripeMirroring || mode == reRaidModeParityDistributed;
}

// The rebuild lines of an array, each naming the member that will be
// rebuilt by its position and its disk: every member of a functional
// array, and only the failed members of a degraded one, whose healthy
// members need no rebuild.  A failed member whose disk has left the
// adapter is offered again once a disk is put in its place.
void AddRebuilds(ChoiceList& list, int adapter, int row, bool degraded)
{
    int id = garrayid[adapter][row];
    int count = 0;
    int disks[kMaxMembers];
    BOOL inPlace[kMaxMembers];
    if (raEnumerateArrayMembers(id, &count, disks, inPlace) != reSOK)
        return;
    bool first = true;
    for (int m = 0; m < count && m < kMaxMembers; m++)
    {
        if ((inPlace[m] != 0) == degraded || disks[m] < 0)
            continue;
        MaintenanceE* e = list.Add(kRebuild, id, m, row, reRaidModeUnknown);
        if (e)
            snprintf(e->szLeft, sizeof(e->szLeft), "%s%d disk%d:%d", first ? "Rebuild array" : "        array",
                     id + 1, m + 1, disks[m] + 1);
        first = false;
    }
}

void AddSameDiskMigrations(ChoiceList& list, int row, int id, const rasArrayInfo& info)
{
    char target[16];
    snprintf(target, sizeof(target), "%d RAID0", static_cast<int>(info.NumberDisks));
    MaintenanceE* e = list.AddMigration(id, row, 0, reRaidModeStriping, target);
    if (e)
        snprintf(e->szRight, sizeof(e->szRight), "No new disk");
    if (info.RAID == reRaidModeStripeMirroring && info.NumberDisks == 4)
    {
        snprintf(target, sizeof(target), "%d+1 RAID5", static_cast<int>(info.NumberDisks) - 1);
        e = list.AddMigration(id, row, 0, reRaidModeParityDistributed, target);
        if (e)
            snprintf(e->szRight, sizeof(e->szRight), "No new disk");
    }
}

// Offers the group of free-list positions `at` (need of them) when its
// disks make room enough for the array.
void TryGroup(ChoiceList& list, int row, int id, const rasArrayInfo& info, int target, const int* at, int need)
{
    long sizes[kMaxNewDisks];
    for (int i = 0; i < need; i++)
        sizes[i] = freedisk.nSize[at[i]];
    if (!can_do_convert(info.ulSize, target, need, sizes))
        return;
    MaintenanceE* e = list.AddMigration(id, row, need, uraidmode[target].mode, uraidmode[target].text);
    if (!e)
        return;
    int slot = static_cast<int>(e - gMaintenance);
    int n = snprintf(e->szRight, sizeof(e->szRight), "Add disk");
    for (int i = 0; i < need; i++)
    {
        C_dID[slot][i] = freedisk.nDevice[at[i]];
        disksize[slot][i] = sizes[i];
        n += snprintf(e->szRight + n, sizeof(e->szRight) - n, " %d", freedisk.nDevice[at[i]] + 1);
    }
}

void AddNewDiskMigrations(ChoiceList& list, int row, int id, const rasArrayInfo& info)
{
    int total = info.bWidth;
    int data = info.bLogicalWidth - (info.RAID == reRaidModeParityDistributed ? 1 : 0);
    int from = 0;
    while (from < kRows - 1 && (uraidmode[from].total != total || uraidmode[from].data != data))
        from++;
    if (from == kRows - 1)
        return;
    for (int target = from + 1; target < kRows; target++)
    {
        int need = uraidmode[target].total - total;
        if (need <= 0 || need > kMaxNewDisks || need > freedisk.nCount)
            continue;
        int at[kMaxNewDisks];
        for (int start = 0; start + need <= freedisk.nCount; start++)
        {
            for (int i = 0; i < need; i++)
                at[i] = start + i;
            TryGroup(list, row, id, info, target, at, need);
        }
        if (freedisk.nCount == 3 && need == 2)
        {
            at[0] = 0;
            at[1] = 2;
            TryGroup(list, row, id, info, target, at, need);
        }
    }
}
} // namespace

bool can_do_convert(long size, int index, int count, const long* sizes)
{
    if (count <= 0 || index < 0 || index >= kRows)
        return false;
    long smallest = sizes[0];
    for (int i = 1; i < count; i++)
        if (sizes[i] < smallest)
            smallest = sizes[i];
    return smallest * uraidmode[index].data >= size;
}

int BuildChoices(int adapter)
{
    ChoiceList list = {0, false};
    for (int row = 0; row < gnArrayCount[adapter]; row++)
    {
        const rasArrayInfo& info = testaryinfo[adapter][row];
        const StatArrayInfo& stat = stataryinfo[adapter][row];
        int id = garrayid[adapter][row];
        bool idle = stat.eActivity == reArrayIdle;
        list.migrationShown = false;
        if (!idle)
            continue;
        if (Redundant(info.RAID) && stat.eFunctional == reArrayFunctional)
        {
            MaintenanceE* e = list.Add(kSynchronize, id, 0, row, reRaidModeUnknown);
            if (e)
                snprintf(e->szLeft, sizeof(e->szLeft), "Synchronize array %d", id + 1);
            AddRebuilds(list, adapter, row, false);
            AddSameDiskMigrations(list, row, id, info);
        }
        // A degraded array is offered the rebuild of its failed members,
        // which is what it needs.
        if (Redundant(info.RAID) && stat.eFunctional == reArrayCritical)
            AddRebuilds(list, adapter, row, true);
        if (freedisk.nCount > 0 && stat.eFunctional == reArrayFunctional)
            AddNewDiskMigrations(list, row, id, info);
    }
    return list.count;
}
