// The adapter menu, rebuilt on every pass from what the adapter holds now.

#include "Listing.h"
#include "Menus.h"
#include "Screens.h"
#include "Velcon.h"

namespace
{
const char* g_pCancelLabel = "Quit";

bool Redundant(int mode)
{
    return mode != reRaidModeStriping && mode != reRaidModeJBOD;
}

bool Running(raeArrayActivityStatus activity)
{
    return activity >= reArrayRebuilding && activity <= reArrayRaid5Initializing;
}

// An idle striping or JBOD array can migrate when some free disk, with
// the ones before it in the size-ordered list, makes room enough.
bool CanMigrate(const rasArrayInfo& info)
{
    for (int l = 0; l < freedisk.nCount; l++)
        if ((l + static_cast<long>(info.NumberDisks) + 1) * freedisk.nSize[l] >= info.ulSize)
            return true;
    return false;
}
} // namespace

bool MaintenanceAvailable(int adapter, bool* allBusy)
{
    bool available = false;
    int busy = 0;
    for (int i = 0; i < gnArrayCount[adapter]; i++)
    {
        const StatArrayInfo& stat = stataryinfo[adapter][i];
        const rasArrayInfo& info = testaryinfo[adapter][i];
        bool idle = stat.eActivity == reArrayIdle || stat.eActivity == reArrayActivityStatusUnknown;
        if (Running(stat.eActivity))
            busy++;
        if (stat.eFunctional == reArrayOffline)
            continue;
        // A critical array without activity can still be rebuilt when it
        // keeps its redundancy's other half.
        if (stat.eFunctional == reArrayCritical && idle && !Redundant(info.RAID))
            continue;
        if (Redundant(info.RAID) || !idle)
            available = true;
        else if (stat.eFunctional == reArrayFunctional && CanMigrate(info))
            available = true;
    }
    *allBusy = busy == gnArrayCount[adapter];
    return available;
}

int adapter_menu(dialogMenuItem* self)
{
    cardnum = static_cast<int>(self->data);
    char prompt[32];
    AdapterPrompt(prompt, sizeof(prompt), "");
    for (;;)
    {
        Initialize(cardnum);
        CScreenRows rows("Select", g_pCancelLabel);
        int disks = 0;
        int ids[kDisksPerAdapter];
        if (raEnumerateAllDisks(&disks, ids) == reSOK && disks > 0)
            rows.Add("Disk", disk, 0, "Disks and their settings");
        ListDisks(cardnum);
        int arrays = 0;
        int arrayIds[kArraysPerAdapter];
        if (raEnumerateAllArrays(&arrays, arrayIds) != reSOK)
            arrays = 0;
        bool maintenance = false;
        bool allBusy = true;
        if (arrays > 0)
        {
            ListArrays(cardnum);
            rows.Add("Array", raid_list, 0, "Arrays and their details");
            maintenance = MaintenanceAvailable(cardnum, &allBusy);
        }
        if (freedisk.nCount > 0)
            rows.Add("Create", raid_create, 0, "Create an array of free disks");
        if (arrays > 0 && !allBusy)
            rows.Add("Delete", raid_list_delete, 0, "Delete an array");
        if (maintenance)
            rows.Add("Maintenance", raid_maintenance, 0, "Rebuild, synchronize, migrate");
        rows.Add("Miscellaneous", misc, 0, "Adapter, driver and battery");
        if (rows.Show(prompt) != 0)
            break;
    }
    return DITEM_REDRAW;
}

void SetAdapterCancelLabel(const char* label)
{
    g_pCancelLabel = label;
}
