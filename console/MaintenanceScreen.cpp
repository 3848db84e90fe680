// The maintenance screen: a running or paused activity is followed (and
// may be paused or resumed); otherwise the choices of the adapter.

#include "Listing.h"
#include "Maintenance.h"
#include "Menus.h"
#include "Progress.h"
#include "Screens.h"
#include "Velcon.h"

#include <cstdio>

namespace
{
raeArrayActivityStatus Running(raeArrayActivityStatus activity)
{
    switch (activity)
    {
    case reArrayRebuildPause:
        return reArrayRebuilding;
    case reArrayExpanPause:
        return reArrayExpanding;
    case reArraySyncPause:
        return reArraySynchronizing;
    default:
        return activity;
    }
}

bool Paused(raeArrayActivityStatus activity)
{
    return activity >= reArrayRebuildPause && activity <= reArraySyncPause;
}

raeStatus Resume(int id, raeArrayActivityStatus activity, int rebuildDisk)
{
    if (activity == reArrayRebuildPause)
        return raArrayRebuildDisk(id, rebuildDisk, raeContinue);
    if (activity == reArraySyncPause)
        return raCheckIntegrity(id, raeStart);
    return raExpanConv(id, reRaidModeUnknown, 0, nullptr, kStripeSectors, raeContinue);
}

raeStatus Pause(int id, raeArrayActivityStatus activity)
{
    if (activity == reArraySynchronizing)
        return raCheckIntegrity(id, raePause);
    if (activity == reArrayRebuilding)
        return raArrayRebuildDisk(id, 0, raePause);
    return raExpanConv(id, reRaidModeStriping, 0, nullptr, kStripeSectors, raePause);
}

void AskPause(int adapter, int row)
{
    int id = garrayid[adapter][row];
    ListArrays(adapter);
    char question[128];
    snprintf(question, sizeof(question), "Do you really want to pause adapter%d/array%d %s?", adapter + 1, id + 1,
             gvShowArrayInfo[adapter][row].szStatus);
    if (Ask("Confirmation required", question, -1) != 0)
        return;
    raeStatus status = Pause(id, stataryinfo[adapter][row].eActivity);
    if (status != reSOK)
        Message("Unable to pause maintenance", raErrorDescription(status));
    else
        Message("Notice", "Maintenance is paused");
}

// Handles the activity of array row `row` of `adapter`; the screen's code.
int FollowActivity(int adapter, int row)
{
    Initialize(adapter);
    StatArrayInfo& stat = stataryinfo[adapter][row];
    int id = garrayid[adapter][row];
    raeArrayActivityStatus activity = stat.eActivity;
    if (Paused(activity))
    {
        if (Ask("Continue?",
                "There is an unfinished maintenance event. We can not activate another event before this one is "
                "completed. Do you wish to proceed?",
                6) != 0)
        {
            Initialize(cardnum);
            return DITEM_REDRAW;
        }
        raeStatus status = Resume(id, activity, stat.nRebuildDisk);
        if (status != reSOK)
        {
            Message("Maintenance fail", raErrorDescription(status));
            Initialize(cardnum);
            return DITEM_LEAVE_MENU;
        }
    }
    bool initialising = activity == reArrayRaid5Initializing;
    ProgressWatch watch = {adapter, id, Running(activity),
                           initialising ? "Percent done:(press any key to exit)"
                                        : "Percent done:(press any key to pause)",
                           true};
    if (FollowProgress(watch) && !initialising)
        AskPause(adapter, row);
    Initialize(cardnum);
    return DITEM_LEAVE_MENU;
}

bool FindActivity(int* adapter, int* row)
{
    for (int a = 0; a < adanum && a < kMaxAdapters; a++)
        for (int r = 0; r < gnArrayCount[a]; r++)
        {
            raeArrayActivityStatus activity = stataryinfo[a][r].eActivity;
            if (activity >= reArrayRebuilding && activity <= reArraySyncPause)
            {
                *adapter = a;
                *row = r;
                return true;
            }
        }
    return false;
}
} // namespace

int raid_do_it(dialogMenuItem* self)
{
    int index = static_cast<int>(self->data);
    const MaintenanceE& e = gMaintenance[index];
    Initialize(cardnum);
    raeStatus status;
    raeArrayActivityStatus expected;
    if (e.kind == kRebuild)
    {
        stataryinfo[cardnum][e.row].nRebuildDisk = e.disk;
        status = raArrayRebuildDisk(e.array, e.disk, raeStart);
        expected = reArrayRebuilding;
    }
    else if (e.kind == kSynchronize)
    {
        status = raCheckIntegrity(e.array, raeStart);
        expected = reArraySynchronizing;
    }
    else
    {
        status = raExpanConv(e.array, e.mode, e.disk, C_dID[index], kStripeSectors, raeStart);
        expected = reArrayExpanding;
    }
    if (status != reSOK)
    {
        Message("Maintenance fail", raErrorDescription(status));
        return DITEM_REDRAW;
    }
    ProgressWatch watch = {cardnum, e.array, expected, "Percent done:(press any key to exit gauge)", false};
    FollowProgress(watch);
    return DITEM_LEAVE_MENU;
}

int raid_maintenance(dialogMenuItem*)
{
    for (int a = 0; a < adanum && a < kMaxAdapters; a++)
    {
        if (a == cardnum)
            continue;
        Initialize(a);
        ListArrays(a);
    }
    Initialize(cardnum);
    ListDisks(cardnum);
    ListArrays(cardnum);
    int adapter;
    int row;
    if (FindActivity(&adapter, &row))
        return FollowActivity(adapter, row);
    int count = BuildChoices(cardnum);
    if (count == 0)
        return DITEM_LEAVE_MENU;
    CScreenRows rows("Do it", "Cancel");
    for (int i = 0; i < count; i++)
        rows.AddNamed(raid_do_it, i, gMaintenance[i].szLeft, gMaintenance[i].szRight);
    char prompt[32];
    AdapterPrompt(prompt, sizeof(prompt), "/maintenance");
    rows.Show(prompt);
    return DITEM_LEAVE_MENU;
}
