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

int ShowDriverScreen(CScreenRows& rows, const char* rest)
{
    char prompt[48];
    AdapterPrompt(prompt, sizeof(prompt), rest);
    rows.Show(prompt, kDriverHelpLine);
    return DITEM_REDRAW;
}
} // namespace

int detail(dialogMenuItem*)
{
    ListController(cardnum);
    const ShowAdapterInfo& info = gvShowAdapterInfo[cardnum];
    CScreenRows rows("OK", "Cancel");
    rows.Add("Card Type", nullptr, 0, "%s", info.szCardType);
    rows.Add("Dimm size", nullptr, 0, "%luM", info.nDimmMB);
    rows.Add("Channel", nullptr, 0, "%d", info.nChannels);
    rows.Add("Battery Backup", nullptr, 0, "%s", info.szBattery);
    char prompt[48];
    AdapterPrompt(prompt, sizeof(prompt), "/misc/adapter");
    rows.Show(prompt);
    return DITEM_REDRAW;
}

int cmdln_other_driverversion(dialogMenuItem*)
{
    Initialize(cardnum);
    DriverVersion(cardnum);
    const ShowDriverInfo& info = gvShowDriverInfo[cardnum];
    CScreenRows rows("OK", "Cancel");
    rows.Add("Driver", nullptr, 0, "%s", DriverName());
    rows.Add("Version", nullptr, 0, "%s", info.szVersion);
    rows.Add("Date", nullptr, 0, "%s", info.szDate);
    rows.Add("Size", nullptr, 0, "%s", info.szSize);
    return ShowDriverScreen(rows, "/driverversion");
}

int cmdln_other_bufferpolicy(dialogMenuItem*)
{
    Initialize(cardnum);
    raeWriteMode mode = reWriteBack;
    raWriteMode(reGET, &mode);
    CScreenRows rows("OK", "Cancel");
    rows.Add("Adapter", nullptr, 0, "%s", "Write Mode");
    rows.Add(DriverName(), nullptr, 0, "%s", mode != reWriteBack ? "Write Through" : "Write Back");
    return ShowDriverScreen(rows, "/bufferpolicy");
}

int other_batterybackup(dialogMenuItem*)
{
    Initialize(cardnum);
    BatteryBackupInfo(cardnum);
    const ShowBatteryBackupInfo& info = gvShowBatteryBackupInfo[cardnum];
    CScreenRows rows("OK", "Cancel");
    rows.Add("Back Module", nullptr, 0, "%s", info.szModule);
    if (info.szPack[0])
        rows.Add("Pack", nullptr, 0, "%s", info.szPack);
    if (info.szCharge[0])
    {
        rows.Add("Charge Status", nullptr, 0, "%s", info.szCharge);
        rows.Add("Cycle", nullptr, 0, "%s", info.szCycle);
        rows.Add("Temperature", nullptr, 0, "%s", info.szTemperature);
        rows.Add("Voltage", nullptr, 0, "%s", info.szVoltage);
    }
    char prompt[48];
    AdapterPrompt(prompt, sizeof(prompt), "/misc/batterybackup");
    rows.Show(prompt);
    return DITEM_REDRAW;
}

int buzz(dialogMenuItem*)
{
    Initialize(cardnum);
    BOOL on = 0;
    raAlarmBuzzerEnabled(reGET, &on);
    BOOL next = on == 1 ? 0 : 1;
    raAlarmBuzzerEnabled(reSET, &next);
    return DITEM_LEAVE_MENU;
}

int misc(dialogMenuItem*)
{
    char prompt[32];
    AdapterPrompt(prompt, sizeof(prompt), "/misc");
    for (;;)
    {
        Initialize(cardnum);
        BOOL on = 0;
        raAlarmBuzzerEnabled(reGET, &on);
        CScreenRows rows("Select", "Cancel");
        rows.Add("Adapter Info", detail, 0, "%s", "");
        rows.Add("Driver Version", cmdln_other_driverversion, 0, "%s", "");
        rows.Add("Buffer Policy", cmdln_other_bufferpolicy, 0, "%s", "");
        rows.Add("Battery Backup", other_batterybackup, 0, "%s", "");
        rows.Add("Toggle Buzzer", buzz, 0, "%s", on == 1 ? "On " : "Off");
        if (rows.Show(prompt) != 0)
            break;
    }
    return DITEM_REDRAW;
}
