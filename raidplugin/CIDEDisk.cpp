#include "CIDEDisk.h"

#include "PluginState.h"

#include <cstdio>

namespace
{
const int kStatusOffline = static_cast<int>(0x80000001);
const int kStatusFree = 256;
const int kStatusAssigned = 512;
const int kDeviceNameLength = 40;

const char* SmartText(raeDiskSMARTStatus smart)
{
    switch (smart)
    {
    case raeSMARTOK:
        return "Functional";
    case raeSMARTFail:
        return "Error";
    case raeSMARTNotSupported:
        return "Not Supported";
    case raeSMARTNotAvailable:
        return "Unknown";
    default:
        return "";
    }
}

const char* TimingText(raeDiskTiming timing)
{
    static const char* const kTexts[] = {"UDMA mode 4", "UDMA mode 3", "UDMA mode 2",
                                         "UDMA mode 1", "UDMA mode 0", "DMA mode 2",
                                         "DMA mode 1",  "DMA mode 0",  "UDMA mode 5"};
    if (timing < reDiskTimingUDMA4 || timing > reDiskTimingUDMA5)
        return "Disk Timing Unknown";
    return kTexts[timing];
}
} // namespace

int CIDEDisk::InitialProperty()
{
    if (!SelectAdapter(m_adapterID))
        return 0;
    int disk = GetDiskNumber();
    WriteStatus(disk);
    WriteGeometry(disk);
    WriteTiming(disk);
    SetPropertyInt("Channel", DT_P_READ, static_cast<int>(m_Handle));
    return 1;
}

void CIDEDisk::WriteStatus(int disk)
{
    raeDiskFunctionalStatus functional;
    raeDiskAssignmentStatus assignment;
    raeDiskMaintenanceActivity activity;
    raeDiskSMARTStatus smart;
    if (!ApiOk(raGetDiskStatus(disk, &functional, &assignment, &activity, &smart)))
    {
        SetPropertyString("smart", DT_P_READ, "%s", "");
        return;
    }
    int status = kStatusAssigned;
    if (functional == reDiskOffline)
        status = kStatusOffline;
    else if (assignment == reDiskFree || assignment == reDiskSpare)
        status = kStatusFree;
    const unsigned volatileRead = DT_P_READ | DT_P_VOLATILE;
    SetPropertyInt("Status", volatileRead, status);
    bool running = activity == raeMaintenanceRebuilding || activity == raeMaintenanceConverting ||
                   activity == raeMaintenanceRaid5Initializing;
    int maintenance = running ? static_cast<int>(activity) : 0;
    SetPropertyInt("Rebuild", volatileRead, maintenance);
    SetPropertyInt("Convert", volatileRead, maintenance);
    SetPropertyInt("Raid5Initialize", volatileRead, maintenance);
    char model[kDeviceNameLength + 1] = "";
    if (ApiOk(raGetDeviceName(disk, model)))
    {
        if (g_nHardwareType == reMorlivenQ150QV7)
            SetPropertyString("model", DT_P_READ, "Serial ATA Disk: %s", model);
        else
            SetPropertyString("model", DT_P_READ, "%s", model);
    }
    SetPropertyString("smart", DT_P_READ, "%s", SmartText(smart));
}

void CIDEDisk::WriteGeometry(int disk)
{
    ULONG sectors = 0;
    int cylinders = 0;
    int heads = 0;
    int perTrack = 0;
    if (!ApiOk(raGetDiskDescription(disk, &sectors, &cylinders, &heads, &perTrack)))
        return;
    SetPropertyInt("Cyls", DT_P_READ, cylinders);
    SetPropertyInt("Heads", DT_P_READ, heads);
    SetPropertyInt("Sectors", DT_P_READ, perTrack);
    char size[SIZE_TEXT_LENGTH];
    DiskSizeToBuffer(sectors, size, sizeof size);
    SetPropertyString("Size", DT_P_READ, "%s", size);
}

void CIDEDisk::WriteTiming(int disk)
{
    raeDiskTiming timing = reDiskTimingUnknown;
    if (ApiOk(raGetDiskTiming(disk, &timing)))
        SetPropertyString("Timing_Mode", DT_P_READ, "%s", TimingText(timing));
}
