// The array list and detail screens and array deletion.

#include "Listing.h"
#include "Menus.h"
#include "Screens.h"
#include "Velcon.h"

#include <cstdio>

namespace
{
bool Running(raeArrayActivityStatus activity)
{
    return activity >= reArrayRebuilding && activity <= reArrayRaid5Initializing;
}

void AddMembers(CScreenRows& rows, int id)
{
    int count = 0;
    int disks[kMaxMembers];
    if (raEnumerateDisksInArray(id, &count, disks) != reSOK)
        return;
    for (int m = 0; m < count && m < kMaxMembers; m++)
    {
        if (disks[m] < 0 || disks[m] >= kDisksPerAdapter)
            continue;
        char left[24];
        snprintf(left, sizeof(left), " Member disk %d", m + 1);
        rows.Add(left, nullptr, 0, "%d %s %s", disks[m] + 1, diskmodel[disks[m]],
                 gvShowDiskInfo[cardnum][disks[m]].szSize);
    }
}
} // namespace

int raid_detail(dialogMenuItem* self)
{
    int row = static_cast<int>(self->data);
    Initialize(cardnum);
    ListDisks(cardnum);
    ListArrays(cardnum);
    if (row >= gnArrayCount[cardnum])
        return DITEM_REDRAW;
    const ShowArrayInfo& show = gvShowArrayInfo[cardnum][row];
    const rasArrayInfo& info = testaryinfo[cardnum][row];
    CScreenRows rows("OK", "Cancel");
    rows.Add("Array Id", nullptr, 0, "%d", show.nNumber);
    rows.Text("Array Name", show.szName);
    rows.Text("Array Mode", show.szMode);
    rows.Add("Disk Number", nullptr, 0, "%d", show.nDisks);
    rows.Add("Stripe Size", nullptr, 0, "%dK", show.nStripeKB);
    rows.Text("Array Size", show.szSize);
    rows.Text("Status", show.szStatus);
    rows.Add("Sectors", nullptr, 0, "%ld", static_cast<long>(info.ulSize));
    rows.Add("C H S", nullptr, 0, "%d %d %d", info.NumberOfCylinders, info.NumberOfHeads, info.SectorsPerTrack);
    AddMembers(rows, garrayid[cardnum][row]);
    return rows.ShowAdapterScreen("/arraydetail");
}

int raid_list(dialogMenuItem*)
{
    Initialize(cardnum);
    ListArrays(cardnum);
    int count = gnArrayCount[cardnum];
    if (count == 0)
    {
        Message("Notice", "No array found");
        return DITEM_REDRAW;
    }
    if (count == 1)
    {
        dialogMenuItem only = {nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0};
        return raid_detail(&only);
    }
    CScreenRows rows("View more", "Cancel");
    for (int i = 0; i < count; i++)
    {
        char left[8];
        snprintf(left, sizeof(left), "%d", gvShowArrayInfo[cardnum][i].nNumber);
        rows.Add(left, raid_detail, i, "\"%s\"", gvShowArrayInfo[cardnum][i].szName);
    }
    char prompt[32];
    AdapterPrompt(prompt, sizeof(prompt), "/array");
    while (rows.Show(prompt) == 0)
        continue;
    return DITEM_REDRAW;
}

int raid_delete(dialogMenuItem* self)
{
    int id = static_cast<int>(self->data);
    int row = ArrayRow(cardnum, id);
    char question[128];
    snprintf(question, sizeof(question), "Do you really want to delete this array: \"%s\"?",
             row >= 0 ? gvShowArrayInfo[cardnum][row].szName : "");
    if (Ask("Confirmation required", question, -1) != 0)
        return DITEM_LEAVE_MENU;
    Initialize(cardnum);
    raeStatus status = raDeleteArray(id);
    if (status != reSOK)
        Message("Deletion fail", raErrorDescription(status));
    else
        Message("Deletion complete", "Attention:\nYou must reload driver(OS not installed in array) or \n"
                                     "reboot(OS installed in array) to make change take effect");
    return DITEM_LEAVE_MENU;
}

int raid_list_delete(dialogMenuItem*)
{
    Initialize(cardnum);
    ListArrays(cardnum);
    CScreenRows rows("Delete", "Cancel");
    for (int i = 0; i < gnArrayCount[cardnum]; i++)
    {
        if (Running(stataryinfo[cardnum][i].eActivity))
            continue;
        char left[12];
        snprintf(left, sizeof(left), "%d", i + 1);
        rows.Add(left, raid_delete, garrayid[cardnum][i], "%s", gvShowArrayInfo[cardnum][i].szName);
    }
    if (rows.Count() == 0)
        return DITEM_REDRAW;
    char prompt[32];
    AdapterPrompt(prompt, sizeof(prompt), "/delete");
    // Whatever was asked, the adapter menu is rebuilt: an array may be gone.
    return rows.Show(prompt) == 0 ? DITEM_LEAVE_MENU : DITEM_REDRAW;
}
