// The miscellaneous menu: adapter, driver, write policy and battery
// information, and the alarm buzzer.

#include "Listing.h"
#include "Menus.h"
#include "Screens.h"
#include "Velcon.h"

namespace
{
const char kDriverHelpLine[] = "Type F1 to get help";

const char* DriverName()
{
    raeHardwareType type = reUnknownType;
    raGetHardwareType(cardnum, &type);
    return type == reMorlivenQ150QV7 ? "MVQ150QV7" : type == reMorlivenQV7K ? "MVQV7000" : "";
}

} // namespace

int detail(dialogMenuItem*)
{
    ListController(cardnum);
    const ShowAdapterInfo& info = gvShowAdapterInfo[cardnum];
    CScreenRows rows("OK", "Cancel");
    rows.Text("Card Type", info.szCardType);
    rows.Add("Dimm size", nullptr, 0, "%luM", info.nDimmMB);
    rows.Add("Channel", nullptr, 0, "%d", info.nChannels);
    rows.Text("Battery Backup", info.szBattery);
    return rows.ShowAdapterScreen("/misc/adapter");
}

int cmdln_other_driverversion(dialogMenuItem*)
{
    Initialize(cardnum);
    DriverVersion(cardnum);
    const ShowDriverInfo& info = gvShowDriverInfo[cardnum];
    CScreenRows rows("OK", "Cancel");
    rows.Text("Driver", DriverName());
    rows.Text("Version", info.szVersion);
    rows.Text("Date", info.szDate);
    rows.Text("Size", info.szSize);
    return rows.ShowAdapterScreen("/driverversion", kDriverHelpLine);
}

int cmdln_other_bufferpolicy(dialogMenuItem*)
{
    Initialize(cardnum);
    raeWriteMode mode = reWriteBack;
    raWriteMode(reGET, &mode);
    CScreenRows rows("OK", "Cancel");
    rows.Text("Adapter", "Write Mode");
    rows.Text(DriverName(), mode != reWriteBack ? "Write Through" : "Write Back");
    return rows.ShowAdapterScreen("/bufferpolicy", kDriverHelpLine);
}

int other_batterybackup(dialogMenuItem*)
{
    Initialize(cardnum);
    BatteryBackupInfo(cardnum);
    const ShowBatteryBackupInfo& info = gvShowBatteryBackupInfo[cardnum];
    CScreenRows rows("OK", "Cancel");
    rows.Text("Back Module", info.szModule);
    if (info.szPack[0])
        rows.Text("Pack", info.szPack);
    if (info.szCharge[0])
    {
        rows.Text("Charge Status", info.szCharge);
        rows.Text("Cycle", info.szCycle);
        rows.Text("Temperature", info.szTemperature);
        rows.Text("Voltage", info.szVoltage);
    }
    return rows.ShowAdapterScreen("/misc/batterybackup");
}

int buzz(dialogMenuItem*)
{
    Initialize(cardnum);
    ToggleSetting(raAlarmBuzzerEnabled);
    return DITEM_LEAVE_MENU;
}

int misc(dialogMenuItem*)
{
    char prompt[32];
    AdapterPrompt(prompt, sizeof(prompt), "/misc");
    for (;;)
    {
        Initialize(cardnum);
        CScreenRows rows("Select", "Cancel");
        rows.Add("Adapter Info", detail, 0, "%s", "");
        rows.Add("Driver Version", cmdln_other_driverversion, 0, "%s", "");
        rows.Add("Buffer Policy", cmdln_other_bufferpolicy, 0, "%s", "");
        rows.Add("Battery Backup", other_batterybackup, 0, "%s", "");
        rows.Add("Toggle Buzzer", buzz, 0, "%s", SettingOn(raAlarmBuzzerEnabled) ? "On " : "Off");
        if (rows.Show(prompt) != 0)
            break;
    }
    return DITEM_REDRAW;
}
