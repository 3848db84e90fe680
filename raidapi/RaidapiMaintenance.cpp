// Creating and deleting arrays, rebuild, synchronisation, expansion and
// conversion.

#include "RaidapiSupport.h"

#include <stdio.h>
#include <string.h>

namespace
{
const char kProcMounts[] = "/proc/mounts";
// Far beyond any real mount table; a longer one is not trusted to be read
// whole, so its arrays count as mounted.
const size_t kMountsLimit = 64 * 1024 * 1024;
const size_t kMountsChunk = 4096;
const size_t kCreateNameField = sizeof(IOCTL_MORLIVEN_CREATE_ARRAY_FRAME::Arrayname);
const int kMaxStripe = 0xFF;
const int kMaxExpansionStripe = 0xFFFF;

const ULONG kSyncFix = 0x60001001;
const ULONG kSyncIgnore = 0x70001001;
const ULONG kSyncPause = 3;

// Driver layout codes by mode, from reRaidModeUnknown on.
const ULONG kLayoutCodes[] = {
    0xFFFFFFFF,    RAID_STRIPING, RAID_MIRRORING,          CREATE_STRIPE_MIRROR | RAID_MIRRORING,
    RAID_SPANNING, RAID_PARITY,   RAID_DISTRIBUTED_PARITY, RAID_JBOD};

ULONG RaidModeToBlRaid(raeRaidMode mode)
{
    int i = mode + 1;
    return i >= 0 && i < static_cast<int>(sizeof(kLayoutCodes) / sizeof(kLayoutCodes[0]))
               ? kLayoutCodes[i]
               : kLayoutCodes[0];
}

bool DiskCountFits(raeRaidMode mode, int n)
{
    if (n < 1 || n > MAX_MEMBERS)
        return false;
    switch (mode)
    {
    case reRaidModeMirroring:
    case reRaidModeStripeMirroring:
        return n % 2 == 0;
    case reRaidModeParity:
    case reRaidModeParityDistributed:
        return n >= 3;
    default:
        return true;
    }
}

// Every disk an id of this adapter, none named twice.
bool DisksFit(const UCHAR* ids, int n)
{
    if (!ids)
        return false;
    for (int i = 0; i < n; i++)
    {
        if (ids[i] >= DISKS_PER_ADAPTER)
            return false;
        for (int j = 0; j < i; j++)
            if (ids[j] == ids[i])
                return false;
    }
    return true;
}

bool CreationFits(const UCHAR* name, raeRaidMode mode, int n, const UCHAR* ids, int stripe)
{
    bool nameFits =
        !name || strnlen(reinterpret_cast<const char*>(name), kCreateNameField) < kCreateNameField;
    return nameFits && DiskCountFits(mode, n) && DisksFit(ids, n) && stripe >= 0 &&
           stripe <= kMaxStripe;
}

// Whether the mount table names the device, read in chunks with an overlap
// so that a name across two chunks is found too.
bool Mounted(const char* device)
{
    FILE* f = fopen(kProcMounts, "r");
    if (!f)
        return false;
    size_t need = strlen(device);
    char buf[kMountsChunk + 16];
    size_t kept = 0;
    size_t total = 0;
    bool found = false;
    size_t n;
    while (!found && (n = fread(buf + kept, 1, kMountsChunk, f)) > 0)
    {
        total += n;
        size_t len = kept + n;
        found = memmem(buf, len, device, need) != nullptr || total > kMountsLimit;
        kept = len < need - 1 ? len : need - 1;
        memmove(buf, buf + len - kept, kept);
    }
    fclose(f);
    return found;
}

// Array N is the kernel's Nth SCSI disk; its name also starts the names of
// its partitions.
bool ArrayMounted(int id)
{
    char device[] = "/dev/sda";
    device[sizeof(device) - 2] = static_cast<char>('a' + id);
    return Mounted(device);
}

struct ResultMap
{
    ULONG result;
    raeStatus status;
};

const ResultMap kCommonResults[] = {
    {MAINT_INVALID_ARRAY, reSInvalidArrayId}, {MAINT_BUSY, reSDriverBusy},
    {MAINT_NO_DRIVER, reSInvalidAdapter},     {MAINT_CANNOT_REBUILD, reSRebuildInvalid},
    {MAINT_CANNOT_SYNC, reSSyncInvalid},      {MAINT_TARGET_TOO_SMALL, reSTargetSizeToosmall},
    {MAINT_SAME_ARRAY, reSSameArrayError},    {MAINT_INVALID_DISK, reSInvalidDisk},
    {MAINT_CANNOT_CONVERT, reSExpanInvalid},  {MAINT_REQUEST_FAILED, reSGenericError},
};

// The status of a maintenance operation's result; zero stands for a
// request the driver refused.
raeStatus MaintenanceStatus(ULONG result, raeStatus zero)
{
    if (result == 0)
        return zero;
    for (const ResultMap& r : kCommonResults)
        if (r.result == result)
            return r.status;
    return reSOK;
}

raeStatus Synchronise(int id, ULONG flag)
{
    return WithAdapter(
        [&](Morliven& m) {
            return MaintenanceStatus(m.CheckIntegrity(static_cast<ULONG>(id), flag),
                                     reSGenericError);
        });
}

// Modes an array may become, by its layout and the disks it gains.
struct Proposal
{
    const raeRaidMode* modes;
    int count;
};

template <size_t N> Proposal Modes(const raeRaidMode (&modes)[N])
{
    return Proposal{modes, static_cast<int>(N)};
}

const raeRaidMode kStripeParity[] = {reRaidModeStriping, reRaidModeParity,
                                     reRaidModeParityDistributed};
const raeRaidMode kStripeMirror[] = {reRaidModeStriping, reRaidModeMirroring};
const raeRaidMode kStripeAny[] = {reRaidModeStriping, reRaidModeMirroring,
                                  reRaidModeStripeMirroring, reRaidModeParity,
                                  reRaidModeParityDistributed};
const raeRaidMode kSpanParity[] = {reRaidModeStriping, reRaidModeSpan, reRaidModeParity,
                                   reRaidModeParityDistributed};
const raeRaidMode kSpanMirror[] = {reRaidModeStriping, reRaidModeMirroring, reRaidModeSpan};
const raeRaidMode kSpanAny[] = {reRaidModeStriping,        reRaidModeMirroring,
                                reRaidModeStripeMirroring, reRaidModeSpan,
                                reRaidModeParity,          reRaidModeParityDistributed};
const raeRaidMode kParity[] = {reRaidModeParity, reRaidModeParityDistributed};
const raeRaidMode kMirrorGrown[] = {reRaidModeStripeMirroring, reRaidModeParity,
                                    reRaidModeParityDistributed};
const raeRaidMode kDistributed[] = {reRaidModeParityDistributed};

Proposal SpanProposal(int total)
{
    if (total < 3)
        return Modes(kSpanMirror);
    return total % 2 == 0 ? Modes(kSpanAny) : Modes(kSpanParity);
}

Proposal Propose(RAID_TYPE layout, int old, int added)
{
    int total = old + added;
    switch (layout)
    {
    case STRIP_ARRAY:
        if (added < old)
            return Modes(kStripeParity);
        if (total < 3)
            return Modes(kStripeMirror);
        return total % 2 == 0 ? Modes(kStripeAny) : Modes(kStripeParity);
    case MIRROR_ARRAY:
    case STRIPMIRROR_ARRAY:
        // An even number of new disks keeps the pairs whole.
        return added % 2 == 0 ? Modes(kMirrorGrown) : Modes(kParity);
    case SPAN_ARRAY:
        return added < old ? Modes(kSpanParity) : SpanProposal(total);
    case PARITY_ARRAY:
        return Modes(kParity);
    case PARITYDISTRIBUTED_ARRAY:
        return Modes(kDistributed);
    default:
        return SpanProposal(total);
    }
}
} // namespace

raeStatus raCreateArray(UCHAR* name, raeRaidMode eMode, int numDisk, UCHAR* DiskIds,
                        int nStripeSize, raeCreateAryFlag eCreateFlag)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            ULONG code = RaidModeToBlRaid(eMode);
            if (!CreationFits(name, eMode, numDisk, DiskIds, nStripeSize))
                return reSInvalidArrayConfiguration;
            if (eMode == reRaidModeParityDistributed && (eCreateFlag & reFlagRAID5Init))
                code |= CREATE_RAID5_INIT;
            if (eCreateFlag & reFlagGigaBoundary)
                code |= CREATE_GIGA_BOUNDARY;
            ULONG r = m.CreateArray(reinterpret_cast<const CHAR*>(name), code, DiskIds,
                                    static_cast<ULONG>(numDisk), static_cast<ULONG>(nStripeSize));
            // A driver that could not be opened created nothing.
            return r != 0 && r != MAINT_NO_DRIVER ? reSOK : reSErrorCreatingArray;
        });
}

raeStatus raDeleteArray(int iArrayId)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (!ValidArrayId(iArrayId))
                return reSNoSuchArray;
            if (ArrayMounted(iArrayId))
                return reSArrayBusy;
            return m.DeleteArray(static_cast<ULONG>(iArrayId)) ? reSOK : reSNoSuchArray;
        });
}

raeStatus raArrayRebuildDisk(int iArrayId, int iDiskinArray, raeIgnoreFix eHandle)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            ULONG r = m.RebuildArray(static_cast<ULONG>(iArrayId), static_cast<ULONG>(iDiskinArray),
                                     static_cast<ULONG>(eHandle));
            return MaintenanceStatus(r, reSGenericError);
        });
}

raeStatus raArraySynchronize(int iArrayId, raeIgnoreFix eHandle)
{
    ULONG flag = eHandle == raeFix      ? kSyncFix
                 : eHandle == raeIgnore ? kSyncIgnore
                 : eHandle == raePause  ? kSyncPause
                                        : 0;
    return Synchronise(iArrayId, flag);
}

raeStatus raCheckIntegrity(int ArrayId, raeIgnoreFix ehandle)
{
    if (ArrayId < 0 || ArrayId > ARRAYS_PER_ADAPTER)
        return reSNotImplemented;
    ULONG flag = ehandle == raeIgnore ? kSyncIgnore : ehandle == raePause ? kSyncPause : 0;
    return Synchronise(ArrayId, flag);
}

raeStatus raExpanConv(int nArrayId, raeRaidMode eNewMode, int newnumDisk, int* newDiskIds,
                      int nStripeSize, raeIgnoreFix eHandle)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (newnumDisk < 0 || newnumDisk > MAX_MEMBERS || (newnumDisk > 0 && !newDiskIds))
                return reSInvalidDisk;
            if (nStripeSize < 0 || nStripeSize > kMaxExpansionStripe)
                return reSExpanInvalid;
            ULONG ids[MAX_MEMBERS] = {0};
            for (int i = 0; i < newnumDisk; i++)
            {
                if (newDiskIds[i] < 0)
                    return reSInvalidDisk;
                ids[i] = static_cast<ULONG>(newDiskIds[i]);
            }
            ULONG r = m.ExpanConv(static_cast<ULONG>(nArrayId), RaidModeToBlRaid(eNewMode), ids,
                                  static_cast<ULONG>(newnumDisk), static_cast<ULONG>(nStripeSize),
                                  static_cast<ULONG>(eHandle));
            return MaintenanceStatus(r, reSOK);
        });
}

raeStatus raExpanConvMode(int nArrayId, int newnumDisk, int*, int* numMode, raeRaidMode* eNewMode)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            tagARRAYINFO a;
            if (!ValidArrayId(nArrayId) || !m.GetArray(static_cast<ULONG>(nArrayId), &a) ||
                !(a.blFlag & ARRAY_DEFINED))
                return reSInvalidArrayId;
            if (newnumDisk < 1 || a.RAID == JBOD_ARRAY)
                return reSOK;
            Proposal p = Propose(a.RAID, static_cast<int>(a.NumberDisks), newnumDisk);
            *numMode = p.count;
            memcpy(eNewMode, p.modes, sizeof(raeRaidMode) * static_cast<size_t>(p.count));
            return reSOK;
        });
}
