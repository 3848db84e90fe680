#include "Listing.h"

#include "ModuleSize.h"
#include "Texts.h"
#include "Velcon.h"

#include <cstdio>
#include <cstring>

namespace
{
const char kModules[] = "/proc/modules";
const char kModuleName[] = "Morliven";

template <size_t N>
void Put(char (&field)[N], const char* text)
{
    snprintf(field, N, "%s", text);
}

// The array number (1-based) holding a device, or 0.
int ArrayOfDisk(int device)
{
    int count = 0;
    int ids[kArraysPerAdapter];
    if (raEnumerateAllArrays(&count, ids) != reSOK)
        return 0;
    for (int i = 0; i < count && i < kArraysPerAdapter; i++)
    {
        int members = 0;
        int disks[kMaxMembers];
        if (raEnumerateDisksInArray(ids[i], &members, disks) != reSOK)
            continue;
        for (int m = 0; m < members && m < kMaxMembers; m++)
            if (disks[m] == device)
                return ids[i] + 1;
    }
    return 0;
}

const char* DiskStatusText(raeDiskFunctionalStatus functional, raeDiskAssignmentStatus assignment,
                           raeDiskMaintenanceActivity activity)
{
    if (functional == reDiskOffline)
        return "Offline";
    if (activity >= raeMaintenanceRebuilding && activity <= raeMaintenanceRaid5Initializing)
        return actions[activity - 1];
    int index = assignment + 1;
    return index >= 0 && index <= reDiskClaimed + 1 ? diskstatus[index] : diskstatus[0];
}

void ListDisk(int adapter, int device)
{
    raeDiskFunctionalStatus functional;
    raeDiskAssignmentStatus assignment;
    raeDiskMaintenanceActivity activity;
    raeDiskSMARTStatus smart;
    ShowDiskInfo& row = gvShowDiskInfo[adapter][device];
    if (raGetDiskStatus(device, &functional, &assignment, &activity, &smart) != reSOK)
    {
        row.bPresent = false;
        return;
    }
    row.bPresent = true;
    row.nArray = ArrayOfDisk(device);
    row.nChannel = device / 2 + 1;
    row.nDevice = device;
    raeDiskTiming timing = reDiskTimingUnknown;
    raGetDiskTiming(device, &timing);
    Put(row.szXfer, TransferModeText(timing));
    int blocks = 0;
    int blockSize = 0;
    if (raGetDiskSize(device, &blocks, &blockSize) == reSOK)
    {
        row.nSectors = static_cast<unsigned>(blocks);
        Put(row.szStatus, DiskStatusText(functional, assignment, activity));
        if (functional != reDiskOffline && assignment == reDiskFree && freedisk.nCount < kDisksPerAdapter)
        {
            freedisk.nDevice[freedisk.nCount] = device;
            freedisk.nSize[freedisk.nCount] = row.nSectors;
            freedisk.nCount++;
        }
        SizeText(row.nSectors, row.szSize, sizeof(row.szSize));
    }
    char model[kModelSize] = "";
    raGetDeviceName(device, model);
    Put(diskmodel[device], model);
}
} // namespace

raeStatus Initialize(int adapter)
{
    int index = adapter;
    void* handle = &index;
    return raInitialize(&handle);
}

int GetNumOfAda()
{
    int count = 0;
    if (Initialize(0) != reSOK || raGetNumberOfAdapters(&count) != reSOK)
        return -1;
    return count;
}

void ListController(int adapter)
{
    Initialize(adapter);
    rasControllerInfo info;
    if (raGetControllerInfo(adapter, &info) != reSOK)
        return;
    ShowAdapterInfo& row = gvShowAdapterInfo[adapter];
    BOOL battery = 0;
    raCheckBatteryBackModule(adapter, &battery);
    Put(row.szBattery, battery == 1 ? "YES" : "NO");
    raeHardwareType type = reUnknownType;
    raGetHardwareType(adapter, &type);
    if (CardTypeText(type))
        Put(row.szCardType, CardTypeText(type));
    ULONG dimm = 0;
    raGetDimmSize(adapter, &dimm);
    // The size comes in bytes; an answer below one megabyte cannot be a
    // byte count of any module, so it already counts megabytes.
    row.nDimmMB = dimm >= (1UL << 20) ? dimm >> 20 : dimm;
    row.nChannels = static_cast<int>(info.NumberChannels);
    row.nAdapter = adapter;
    Put(row.szNA, "NA");
}

void DriverVersion(int adapter)
{
    ShowDriverInfo& row = gvShowDriverInfo[adapter];
    char version[kDriverTextSize] = "";
    char date[kDriverTextSize] = "";
    if (raGetDriverVersion(version, date) == reSOK)
    {
        Put(row.szVersion, version);
        Put(row.szDate, date);
    }
    ModuleSizeText(kModules, kModuleName, row.szSize, sizeof(row.szSize));
}

void ListArrays(int adapter)
{
    int count = 0;
    int ids[kArraysPerAdapter];
    if (raEnumerateAllArrays(&count, ids) != reSOK)
        count = 0;
    if (count > kArraysPerAdapter)
        count = kArraysPerAdapter;
    gnArrayCount[adapter] = count;
    for (int i = 0; i < count; i++)
    {
        rasArrayInfo& info = testaryinfo[adapter][i];
        ShowArrayInfo& row = gvShowArrayInfo[adapter][i];
        StatArrayInfo& stat = stataryinfo[adapter][i];
        if (garrayid[adapter][i] != ids[i])
            stat.nRebuildDisk = 0;
        garrayid[adapter][i] = ids[i];
        if (raGetArrayInfo(ids[i], &info) != reSOK)
            continue;
        info.Name[sizeof(info.Name) - 1] = '\0';
        Put(row.szMode, ArrayModeText(info.RAID));
        Put(row.szName, info.Name);
        row.nNumber = ids[i] + 1;
        row.nDisks = static_cast<int>(info.NumberDisks);
        row.nStripeKB = info.hStripeBlockSize / 2;
        SizeText(info.ulSize, row.szSize, sizeof(row.szSize));
        if (raGetArrayStatus(ids[i], &stat.eFunctional, &stat.eActivity, &stat.nPercent) != reSOK)
            continue;
        ArrayStatusText(stat.eFunctional, stat.eActivity, row.szStatus, sizeof(row.szStatus));
    }
    // Rows past the arrays found hold no activity, so that scans over all
    // rows see only real arrays.
    for (int i = count; i < kArraysPerAdapter; i++)
    {
        stataryinfo[adapter][i].eActivity = reArrayIdle;
        garrayid[adapter][i] = -1;
    }
}

void ListDisks(int adapter)
{
    freedisk.nCount = 0;
    for (int device = 0; device < kDisksPerAdapter; device++)
        ListDisk(adapter, device);
    SortFreeDisks();
}

void SortFreeDisks()
{
    for (int i = 1; i < freedisk.nCount; i++)
    {
        int device = freedisk.nDevice[i];
        long size = freedisk.nSize[i];
        int j = i;
        for (; j > 0 && freedisk.nSize[j - 1] < size; j--)
        {
            freedisk.nDevice[j] = freedisk.nDevice[j - 1];
            freedisk.nSize[j] = freedisk.nSize[j - 1];
        }
        freedisk.nDevice[j] = device;
        freedisk.nSize[j] = size;
    }
}

int ArrayRow(int adapter, int id)
{
    for (int i = 0; i < gnArrayCount[adapter]; i++)
        if (garrayid[adapter][i] == id)
            return i;
    return -1;
}

void GetEnclosureStatus(int adapter)
{
    for (int device = 0; device < kDisksPerAdapter; device += 2)
    {
        raeEnclosureType type = raeNone;
        int size = 0;
        rauEnclosureData data;
        memset(&data, 0, sizeof(data));
        ShowEnclosureInfo& row = gvShowEnclosureInfo[adapter][device];
        memset(&row, 0, sizeof(row));
        raGetEnclosureStatus(device, &type, &size, &data);
        Put(row.szType, EnclosureTypeText(type));
        if (type == raeBramwell)
            FanText(data.sBramwell.wFanSpeed, row.szFan, sizeof(row.szFan));
        if (type == raeTindalow || type == raeCorrimontSwap)
        {
            FanText(data.sTindalow.wFanSpeed, row.szFan, sizeof(row.szFan));
            VoltageText(data.sTindalow.w5VVoltage, row.sz5V, sizeof(row.sz5V));
            VoltageText(data.sTindalow.w12VVoltage, row.sz12V, sizeof(row.sz12V));
            TemperatureText(data.sTindalow.wTemperature, row.szTemperature, sizeof(row.szTemperature));
        }
    }
}

void BatteryBackupInfo(int adapter)
{
    ShowBatteryBackupInfo& row = gvShowBatteryBackupInfo[adapter];
    memset(&row, 0, sizeof(row));
    BOOL exist = 0;
    raCheckBatteryBackModule(adapter, &exist);
    Put(row.szModule, exist ? "Exist" : "None");
    if (!exist)
        return;
    exist = 0;
    raCheckBatteryPack(adapter, &exist);
    Put(row.szPack, exist ? "Exist" : "None");
    if (!exist)
        return;
    raeBatteryStatus status = reBatteryStatusUnknown;
    raGetChargeStatus(adapter, &status);
    Put(row.szCharge, ChargeStatusText(status));
    USHORT value = 0;
    raGetChargeCycle(adapter, &value);
    snprintf(row.szCycle, sizeof(row.szCycle), "%d", value);
    value = 0;
    raGetBatteryTemperature(adapter, &value);
    BatteryTemperatureText(value, row.szTemperature, sizeof(row.szTemperature));
    value = 0;
    raGetBatteryVoltage(adapter, &value);
    BatteryVoltageText(value, row.szVoltage, sizeof(row.szVoltage));
}

bool SettingOn(AdapterSetting setting)
{
    BOOL on = 0;
    setting(reGET, &on);
    return on == 1;
}

void ToggleSetting(AdapterSetting setting)
{
    BOOL next = SettingOn(setting) ? 0 : 1;
    setting(reSET, &next);
}
