// The disk menu: the present disks with their details, and the adapter's
// write cache and S.M.A.R.T. settings.

#include "Listing.h"
#include "Menus.h"
#include "Screens.h"
#include "Velcon.h"

#include <cstdio>
#include <cstring>

namespace
{
bool NoEnclosure(const char* type)
{
    return strcmp(type, "No enclosure") == 0 || strcmp(type, "Unknown enclosure") == 0;
}

int Toggle(raeStatus (*setting)(raeAction, BOOL*))
{
    Initialize(cardnum);
    BOOL on = 0;
    setting(reGET, &on);
    BOOL next = on == 1 ? 0 : 1;
    setting(reSET, &next);
    return DITEM_LEAVE_MENU;
}

const char* EnabledText(raeStatus (*setting)(raeAction, BOOL*))
{
    BOOL on = 0;
    setting(reGET, &on);
    return on == 1 ? "Enabled " : "Disabled";
}
} // namespace

int disk_detail(dialogMenuItem* self)
{
    int device = static_cast<int>(self->data);
    Initialize(cardnum);
    ListDisks(cardnum);
    GetEnclosureStatus(cardnum);
    const ShowDiskInfo& info = gvShowDiskInfo[cardnum][device];
    const ShowEnclosureInfo& enclosure = gvShowEnclosureInfo[cardnum][device & ~1];
    CScreenRows rows("OK", "Cancel");
    rows.Add("Device Id", nullptr, 0, "%d", device + 1);
    rows.Add("Channel Id", nullptr, 0, "%d", info.nChannel);
    if (info.nArray)
        rows.Add("Array Id", nullptr, 0, "%d", info.nArray);
    else
        rows.Add("Array Id", nullptr, 0, "%s", "None");
    rows.Add("Xfer Mode", nullptr, 0, "%s", info.szXfer);
    rows.Add("Disk Size", nullptr, 0, "%s", info.szSize);
    rows.Add("Status", nullptr, 0, "%s", info.szStatus);
    rows.Add("Model", nullptr, 0, "%s", diskmodel[device]);
    rows.Add("Sectors", nullptr, 0, "%ld", info.nSectors);
    bool none = NoEnclosure(enclosure.szType);
    rows.Add("Enclosure Type", nullptr, 0, "%s", none ? "None" : enclosure.szType);
    if (!none)
    {
        rows.Add(" 5v", nullptr, 0, "%s", enclosure.sz5V);
        rows.Add(" 12v", nullptr, 0, "%s", enclosure.sz12V);
        rows.Add(" Temperature", nullptr, 0, "%s", enclosure.szTemperature);
        rows.Add(" Fan Speed", nullptr, 0, "%s", enclosure.szFan);
    }
    char prompt[48];
    AdapterPrompt(prompt, sizeof(prompt), "/disk/detail");
    rows.Show(prompt);
    return DITEM_REDRAW;
}

int disk_cache(dialogMenuItem*)
{
    return Toggle(raWriteCacheEnabled);
}

int disk_smart(dialogMenuItem*)
{
    return Toggle(raSmartCheckEnabled);
}

int disk(dialogMenuItem*)
{
    char prompt[32];
    AdapterPrompt(prompt, sizeof(prompt), "/disk");
    for (;;)
    {
        Initialize(cardnum);
        ListDisks(cardnum);
        int count = 0;
        int ids[kDisksPerAdapter];
        if (raEnumerateAllDisks(&count, ids) != reSOK)
            count = 0;
        CScreenRows rows("Select", "Cancel");
        for (int i = 0; i < count && i < kDisksPerAdapter; i++)
        {
            if (ids[i] < 0 || ids[i] >= kDisksPerAdapter)
                continue;
            char left[16];
            snprintf(left, sizeof(left), i == 0 ? "View disk %d" : "     disk %d", ids[i] + 1);
            rows.AddNamed(disk_detail, ids[i], left, diskmodel[ids[i]]);
        }
        rows.Add("Toggle Write Cache", disk_cache, 0, "%s", EnabledText(raWriteCacheEnabled));
        rows.Add("Toggle S.M.A.R.T. Status", disk_smart, 0, "%s", EnabledText(raSmartCheckEnabled));
        if (rows.Show(prompt) != 0)
            break;
    }
    return DITEM_REDRAW;
}
