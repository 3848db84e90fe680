// Array creation: mode, disks, flags and name, then the driver's answer.

#include "ArrayName.h"
#include "Listing.h"
#include "Menus.h"
#include "Screens.h"
#include "Velcon.h"

#include <cstdio>
#include <cstring>

namespace
{
struct CreateMode
{
    const char* prompt;
    const char* title;
    raeRaidMode mode;
    int disks;
    const char* name;
};

// By the radio list's data word - 1.
const CreateMode kModes[] = {
    {"JBOD", "JBOD", reRaidModeJBOD, 1, "JBOD"},
    {"RAID1", "Mirroring", reRaidModeMirroring, 2, "RAID1"},
    {"RAID0", "Striping", reRaidModeStriping, 2, "RAID0"},
    {"RAID5", "Parity Distributed", reRaidModeParityDistributed, 3, "RAID5"},
    {"RAID0+1", "Stripemirroring", reRaidModeStripeMirroring, 4, "RAID01"},
};
constexpr int kModeCount = sizeof(kModes) / sizeof(kModes[0]);

long spending;
bool do_select[kDisksPerAdapter];
int selectdisk[kDisksPerAdapter];
int selectnum;

int check(dialogMenuItem* self)
{
    return self->data == spending;
}

int spend(dialogMenuItem* self)
{
    spending = self->data;
    return DITEM_REDRAW;
}

int dcheck(dialogMenuItem* self)
{
    self->mark = 'X';
    return do_select[self->data];
}

int dfire(dialogMenuItem* self)
{
    int position = static_cast<int>(self->data);
    int device = freedisk.nDevice[position];
    do_select[position] = !do_select[position];
    if (do_select[position])
        selectdisk[selectnum++] = device;
    else
    {
        int at = 0;
        while (at < selectnum && selectdisk[at] != device)
            at++;
        memmove(&selectdisk[at], &selectdisk[at + 1], sizeof(int) * (selectnum - at - 1));
        selectnum--;
    }
    return DITEM_REDRAW;
}

int ModesOffered(int freeDisks)
{
    return freeDisks <= 1 ? 1 : freeDisks >= 4 ? kModeCount : freeDisks + 1;
}

// The disks chosen on the check list; false when the user cancelled.
bool ChooseDisks(const CreateMode& mode, bool exact)
{
    char prompt[32];
    if (mode.disks == 1)
        snprintf(prompt, sizeof(prompt), "Select one disk:");
    else
        snprintf(prompt, sizeof(prompt), "Select%d%sdisks:", mode.disks, exact ? "" : "(or more)");
    for (;;)
    {
        memset(do_select, 0, sizeof(do_select));
        selectnum = 0;
        dialogMenuItem items[2 + kDisksPerAdapter];
        char texts[kDisksPerAdapter][80];
        memset(items, 0, sizeof(items));
        items[0].prompt = "OK";
        items[1].prompt = "Cancel";
        for (int i = 0; i < freedisk.nCount; i++)
        {
            int device = freedisk.nDevice[i];
            snprintf(texts[i], sizeof(texts[i]), "%d:%d %s %ld", i + 1, device + 1, diskmodel[device],
                     freedisk.nSize[i]);
            items[2 + i] = {texts[i], "", dcheck, dfire, i, 0, 0, 0, 0};
        }
        UseScreenHelp();
        if (dialog_checklist("Create array", prompt, -1, -1, -1, freedisk.nCount, items) != 0)
            return false;
        if (selectnum == mode.disks || (!exact && selectnum > mode.disks))
            return true;
    }
}

void TakeFreeDisks(int count)
{
    selectnum = 0;
    for (int i = 0; i < count && i < freedisk.nCount; i++)
        selectdisk[selectnum++] = freedisk.nDevice[i];
}

// Asks for the name until it is usable; false when the user cancelled.
bool AskName(const CreateMode& mode, char* name, int size)
{
    snprintf(name, size, "%s", mode.name);
    for (;;)
    {
        UseScreenHelp();
        if (dialog_inputbox("Array name required", "Enter array name to create:", -1, -1, name, size) != 0)
            return false;
        const char* problem = ArrayNameProblem(name);
        if (!problem)
            return true;
        Message("Invalid array name", problem);
    }
}

bool ChooseMode()
{
    dialogMenuItem items[2 + kModeCount];
    memset(items, 0, sizeof(items));
    items[0].prompt = "OK";
    items[1].prompt = "Cancel";
    for (int i = 0; i < kModeCount; i++)
        items[2 + i] = {kModes[i].prompt, kModes[i].title, check, spend, i + 1, 0, 0, 0, 0};
    spending = 0;
    UseScreenHelp();
    int answer = dialog_radiolist("Array mode", "Please select array mode:", -1, -1, -1,
                                  ModesOffered(freedisk.nCount), items);
    return answer == 0 && spending >= 1 && spending <= kModeCount;
}
} // namespace

int raid_create(dialogMenuItem*)
{
    Initialize(cardnum);
    ListDisks(cardnum);
    if (freedisk.nCount == 0 || !ChooseMode())
        return DITEM_LEAVE_MENU;
    const CreateMode& mode = kModes[spending - 1];
    int flags = reFlagNone;
    bool initialise = false;
    if (mode.mode == reRaidModeParityDistributed &&
        Ask("Initialize?",
            "You can choose to initialize this new RAID 5 array.However, depending on the array size, it may "
            "require several minutes, or even more time to finish. Do you wish to initialize it anyway?",
            7) == 0)
    {
        flags |= reFlagRAID5Init;
        initialise = true;
    }
    if (mode.disks < freedisk.nCount)
    {
        bool exact = mode.mode == reRaidModeJBOD || mode.mode == reRaidModeMirroring;
        if (!ChooseDisks(mode, exact))
            return DITEM_REDRAW;
    }
    else
        TakeFreeDisks(mode.disks);
    if (Ask("GIGA Boundary?", "You may choose to GIGA Boundary", 7) == 0)
        flags |= reFlagGigaBoundary;
    char name[kMaxArrayName + 1];
    if (!AskName(mode, name, sizeof(name)))
        return DITEM_LEAVE_MENU;
    UCHAR ids[kDisksPerAdapter];
    for (int i = 0; i < selectnum; i++)
        ids[i] = static_cast<UCHAR>(selectdisk[i]);
    Initialize(cardnum);
    raeStatus status = raCreateArray(reinterpret_cast<UCHAR*>(name), mode.mode, selectnum, ids, kStripeSectors,
                                     static_cast<raeCreateAryFlag>(flags));
    if (status != reSOK)
        Message("Creation fail", raErrorDescription(status));
    else if (initialise)
        Message("Creation complete", "Attention:\nYou must wait the Initialization to be finished to use this array!");
    else
        Message("Creation complete", "Attention:\nYou must reload driver (OS not installed in array) or \n"
                                     "reboot(OS installed in array) to make change take effect!");
    return DITEM_LEAVE_MENU;
}
