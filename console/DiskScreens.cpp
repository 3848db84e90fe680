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

int Toggle(AdapterSetting setting)
{
    Initialize(cardnum);
    ToggleSetting(setting);
    return DITEM_LEAVE_MENU;
}

const char* EnabledText(AdapterSetting setting)
{
    return SettingOn(setting) ? "Enabled " : "Disabled";
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
        rows.Text("Array Id", "None");
    rows.Text("Xfer Mode", info.szXfer);
    rows.Text("Disk Size", info.szSize);
    rows.Text("Status", info.szStatus);
    rows.Text("Model", diskmodel[device]);
    rows.Add("Sectors", nullptr, 0, "%ld", info.nSectors);
    bool none = NoEnclosure(enclosure.szType);
    rows.Text("Enclosure Type", none ? "None" : enclosure.szType);
    if (!none)
    {
        rows.Text(" 5v", enclosure.sz5V);
        rows.Text(" 12v", enclosure.sz12V);
        rows.Text(" Temperature", enclosure.szTemperature);
        rows.Text(" Fan Speed", enclosure.szFan);
    }
    return rows.ShowAdapterScreen("/disk/detail");
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
