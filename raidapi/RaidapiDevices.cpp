// Adapters, channels, disks and their maintenance rates.

#include "RaidapiSupport.h"

#include <stdio.h>
#include <string.h>

namespace
{
const int kBlockSize = 512;
const int kDeviceName = 40;
const BoOL kAnyDiskBits = BLK_PRESENT | BLK_USABLE | BLK_MEMBER;
const USHORT kUltraDmaValid = 1 << 2;
// A disk record status that marks a disk taken offline.
const ULONG kStatusOffline = 6;

// By Ultra DMA mode 0..5 and multiword DMA mode 0..2.
const raeDiskTiming kUltraDma[] = {reDiskTimingUDMA0, reDiskTimingUDMA1, reDiskTimingUDMA2,
                                   reDiskTimingUDMA3, reDiskTimingUDMA4, reDiskTimingUDMA5};
const raeDiskTiming kMultiwordDma[] = {reDiskTimingDMA0, reDiskTimingDMA1, reDiskTimingDMA2};

// By the driver's SMART answer 0..3.
const raeDiskSMARTStatus kSmart[] = {raeSMARTNotAvailable, raeSMARTOK, raeSMARTFail,
                                     raeSMARTNotSupported};

template <typename T, size_t N> T Lookup(const T (&table)[N], size_t index, T otherwise)
{
    return index < N ? table[index] : otherwise;
}

raeDiskMaintenanceActivity Activity(Morliven& m, const tagDISKBLOCKINFO& d)
{
    if (d.bArray >= ARRAYS_PER_ADAPTER)
        return raeMaintenanceNone;
    int status = m.GetArrayStatus(d.bArray, nullptr);
    if ((d.bBlkFlag & BLK_NEEDS_REBUILD) && (status == AS_ENGINE_REBUILD || status == AS_REBUILD))
        return raeMaintenanceRebuilding;
    switch (status)
    {
    case AS_SYNC:
        return raeMaintenanceSynchronizing;
    case AS_EXPAND:
        return raeMaintenanceConverting;
    case AS_RAID5_INIT:
        return raeMaintenanceRaid5Initializing;
    default:
        return raeMaintenanceNone;
    }
}

// Answers from the disk at a device id as the last refresh left it: unset
// writes the values that stand for no disk, set those of the disk found.
// listed: a disk record of status 0 counts as no disk.
template <typename Unset, typename Set>
raeStatus ReadDisk(int iDeviceID, Unset unset, Set set, bool listed = false)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            unset();
            tagDISKBLOCKINFO d;
            if (!DiskOf(m, iDeviceID, &d) || (listed && d.Status == 0))
                return reSNoDiskPresent;
            set(d);
            return reSOK;
        });
}

raeStatus ReadRate(int id, int* rate, UCHAR (Morliven::*get)(ULONG, ULONG))
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (!ValidDeviceId(id))
                return reSNoDiskPresent;
            *rate = (m.*get)(id / 2, id % 2);
            return reSOK;
        });
}

raeStatus WriteRate(int id, int rate, int (Morliven::*set)(ULONG, ULONG, UCHAR))
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (!ValidDeviceId(id))
                return reSNoDiskPresent;
            return (m.*set)(id / 2, id % 2, static_cast<UCHAR>(rate & 0xFF)) == 0 ? reSOK
                                                                                  : reSGenericError;
        });
}
} // namespace

raeStatus raGetNumberOfAdapters(int* nAdapters)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *nAdapters = static_cast<int>(m.GetNumOfController());
            return reSOK;
        });
}

raeStatus raGetMaxChannelsPerAdapter(int* nChannels)
{
    return WithAdapter(
        [&](Morliven&)
        {
            *nChannels = CHANNELS_PER_ADAPTER;
            return reSOK;
        });
}

raeStatus raGetMaxDeviceInChannel(int iChannel, int* nDevices)
{
    return WithAdapter(
        [&](Morliven&)
        {
            *nDevices = iChannel >= 0 && iChannel < CHANNELS_PER_ADAPTER ? 1 : 0;
            return reSOK;
        });
}

raeStatus raScanChannel(int iAdapter, int iChannel, raeChannelType* eType, int* nChannelId)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *eType = reChannelInvalid;
            m.UpdateMorlivenInfo();
            if (iAdapter < 0 || static_cast<ULONG>(iAdapter) >= m.GetNumOfController())
                return reSOK;
            if (iChannel < 0 || iChannel >= CHANNELS_PER_ADAPTER)
            {
                *eType = reChannelUnknown;
                *nChannelId = -1;
                return reSNotImplemented;
            }
            *eType = reChannelIde;
            *nChannelId = iChannel;
            return reSOK;
        });
}

raeStatus raScanDevice(int iChannel, int iID, raeDeviceType* eType, int* nDeviceId)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *eType = reDeviceNone;
            *nDeviceId = -1;
            m.UpdateMorlivenInfo();
            tagDISKBLOCKINFO d;
            if (!DiskAt(m, iChannel, iID, &d) || d.Status == 0)
                return reSNoDiskPresent;
            *eType = reDeviceIdeDisk;
            *nDeviceId = iChannel * 2 + iID;
            return reSOK;
        });
}

raeStatus raGetDeviceName(int iDeviceID, char* name)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            name[0] = '\0';
            m.UpdateMorlivenInfo();
            tagDISKBLOCKINFO d;
            if (!DiskOf(m, iDeviceID, &d))
                return reSNoDiskPresent;
            snprintf(name, kDeviceName, "%.*s", kDeviceName - 1, d.Name);
            for (size_t n = strlen(name); n > 0 && name[n - 1] == ' '; n--)
                name[n - 1] = '\0';
            return reSOK;
        });
}

raeStatus raEnumerateAllDisks(int* nDisks, int* idDisks)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            m.UpdateMorlivenInfo();
            *nDisks = 0;
            for (int channel = 0; channel < CHANNELS_PER_ADAPTER; channel++)
                for (int device = 0; device < 2; device++)
                {
                    tagDISKBLOCKINFO d;
                    if (DiskAt(m, channel, device, &d) && (d.bBlkFlag & kAnyDiskBits))
                        idDisks[(*nDisks)++] = channel * 2 + device;
                }
            return reSOK;
        });
}

raeStatus raGetControllerInfo(int id, rasControllerInfo* info)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            tagCONTROLLERINFO c;
            if (id < 0 || !m.GetController(static_cast<ULONG>(id), &c))
                return reSNotImplemented;
            info->NumberChannels = c.NumberChannels;
            info->BusMasterBase = c.BusMasterBase;
            info->IRQ = c.IRQ;
            info->SlotNumber = c.SlotNumber;
            info->BIOSMemStart = c.BIOSMemStart;
            info->BIOSMemRange = c.BIOSMemRange;
            info->BaseAddressATA = c.pBaseAddressATA;
            info->BaseAddressXOR = c.pBaseAddressXOR;
            info->BaseAddressSEQ = c.pBaseAddressSEQ;
            info->BaseAddressMMIO = c.pBaseAddressMMIO;
            info->BaseAddressSDRAM = c.pBaseAddressSDRAM;
            return reSOK;
        });
}

static_assert(sizeof(rasChannelInfo) == sizeof(tagCHANNELINFO), "channel info");
static_assert(offsetof(rasChannelInfo, LogicalChannelNumber) ==
                  offsetof(tagCHANNELINFO, LogicalChannelNumber),
              "channel info");

raeStatus raGetChannelInfo(int ChannelId, rasChannelInfo* info)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            tagCHANNELINFO c;
            if (ChannelId < 0 || !m.GetChannel(static_cast<ULONG>(ChannelId), &c))
                return reSNotImplemented;
            memcpy(info, &c, sizeof(*info));
            return reSOK;
        });
}

raeStatus raGetDiskStatus(int iDeviceID, raeDiskFunctionalStatus* eFunctional,
                          raeDiskAssignmentStatus* eAssignment,
                          raeDiskMaintenanceActivity* eActivity, raeDiskSMARTStatus* eSmart)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *eFunctional = raeDiskFunctionalStatusUnknown;
            *eAssignment = raeDiskAssignmentStatusUnknown;
            *eActivity = raeMaintenanceNone;
            *eSmart = raeSMARTUnknown;
            m.UpdateMorlivenInfo();
            if (!ValidDeviceId(iDeviceID))
                return reSNoDiskPresent;
            raeStatus result = reSOK;
            tagDISKBLOCKINFO d;
            if (DiskOf(m, iDeviceID, &d))
            {
                *eAssignment = d.Status == DISK_STATUS_FREE ? reDiskFree : reDiskAssigned;
                if (d.Status == DISK_STATUS_UNUSABLE || d.Status == kStatusOffline)
                    *eFunctional = reDiskOffline;
                else
                    *eFunctional = d.bBlkFlag & BLK_NEEDS_REBUILD ? reDiskFunctionalNeedsRebuilding
                                                                  : reDiskFunctional;
                if (*eAssignment == reDiskAssigned)
                    *eActivity = Activity(m, d);
            }
            else
                result = reSNoDiskPresent;
            int smart = 0;
            m.GetDiskSmartStatus(iDeviceID / 2, iDeviceID % 2, &smart);
            *eSmart = Lookup(kSmart, static_cast<size_t>(smart), raeSMARTUnknown);
            return result;
        });
}

raeStatus raGetDiskTiming(int iDeviceID, raeDiskTiming* eTiming)
{
    return ReadDisk(
        iDeviceID, [&] { *eTiming = reDiskTimingUnknown; },
        [&](const tagDISKBLOCKINFO& d)
        {
            if (d.ValidBit & kUltraDmaValid)
                *eTiming = Lookup(kUltraDma, d.UDMAMode, reDiskTimingUnknown);
            else
                *eTiming = Lookup(kMultiwordDma, d.DmaCycleTimingMode, reDiskTimingUnknown);
        },
        true);
}

raeStatus raGetDiskSize(int iDeviceID, int* nBlocks, int* nBlockSize)
{
    return ReadDisk(
        iDeviceID, [&] { *nBlocks = *nBlockSize = -1; },
        [&](const tagDISKBLOCKINFO& d)
        {
            *nBlocks = d.wSize;
            *nBlockSize = kBlockSize;
        });
}

raeStatus raGetDiskDescription(int iDeviceID, ULONG* nLBA, int* nCyl, int* nHds, int* nSect)
{
    return ReadDisk(
        iDeviceID,
        [&]
        {
            *nLBA = static_cast<ULONG>(-1);
            *nCyl = *nHds = *nSect = -1;
        },
        [&](const tagDISKBLOCKINFO& d)
        {
            *nLBA = static_cast<ULONG>(d.wSize);
            *nCyl = static_cast<int>(d.NumberOfCylinders);
            *nHds = d.NumberOfHeads;
            *nSect = d.SectorsPerTrack;
        });
}

raeStatus raGetSynchronizationRate(int iDeviceID, int* iRate)
{
    return ReadRate(iDeviceID, iRate, &Morliven::GetSyncRate);
}

raeStatus raGetRebuildRate(int iDeviceID, int* iRate)
{
    return ReadRate(iDeviceID, iRate, &Morliven::GetRebuildRate);
}

raeStatus raGetExpanConvRate(int iDeviceID, int* iRate)
{
    return ReadRate(iDeviceID, iRate, &Morliven::GetExpanConvRate);
}

raeStatus raSetSynchronizationRate(int iDeviceID, int iRate)
{
    return WriteRate(iDeviceID, iRate, &Morliven::SetSyncRate);
}

raeStatus raSetRebuildRate(int iDeviceID, int iRate)
{
    return WriteRate(iDeviceID, iRate, &Morliven::SetRebuildRate);
}

raeStatus raSetExpanConvRate(int iDeviceID, int iRate)
{
    return WriteRate(iDeviceID, iRate, &Morliven::SetExpanConvRate);
}
