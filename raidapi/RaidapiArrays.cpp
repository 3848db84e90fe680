// Reading arrays, their status and members, and renaming them.

#include "RaidapiSupport.h"

#include <stdio.h>
#include <string.h>

static_assert(sizeof(rasArrayInfo) == sizeof(tagARRAYINFO), "array info");
static_assert(offsetof(rasArrayInfo, strm) == offsetof(tagARRAYINFO, Strm), "array info");
static_assert(offsetof(rasArrayInfo, RAID) == offsetof(tagARRAYINFO, RAID), "array info");
static_assert(offsetof(rasArrayInfo, hStripeBlockSize) == offsetof(tagARRAYINFO, hStripeBlockSize),
              "array info");
static_assert(offsetof(rasArrayInfo, ulSize) == offsetof(tagARRAYINFO, ulSize), "array info");

namespace
{
// By the driver's activity status 0..8.
const raeArrayActivityStatus kActivity[] = {
    reArrayIdle,          reArrayEngineRebuilding, reArrayRebuilding,
    reArraySynchronizing, reArrayExpanding,        reArrayRebuildPause,
    reArrayExpanPause,    reArraySyncPause,        reArrayRaid5Initializing,
};

const int kMaxPercent = 100;

raeArrayFunctionalStatus Functional(const tagARRAYINFO& a)
{
    if ((a.blFlag & ARRAY_ONLINE) != ARRAY_ONLINE)
        return reArrayOffline;
    return a.blFlag & ARRAY_DEGRADED ? reArrayCritical : reArrayFunctional;
}

bool ReadArray(Morliven& m, int id, tagARRAYINFO* a)
{
    return ValidArrayId(id) && m.GetArray(static_cast<ULONG>(id), a);
}
} // namespace

raeStatus raEnumerateAllArrays(int* nArrays, int* iArrayIds)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *nArrays = static_cast<int>(m.GetNumOfArray());
            m.GetArrayId(iArrayIds);
            return reSOK;
        });
}

raeStatus raGetArrayInfo(int ArrayId, rasArrayInfo* info)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            m.UpdateMorlivenInfo();
            tagARRAYINFO a;
            if (!ReadArray(m, ArrayId, &a))
                return reSNotImplemented;
            memcpy(info, &a, sizeof(*info));
            return reSOK;
        });
}

raeStatus raGetArrayName(int iArrayID, char* Name)
{
    return WithAdapter(
        [&](Morliven&)
        {
            if (!ValidArrayId(iArrayID))
                return reSNotImplemented;
            rasArrayInfo info;
            raeStatus status = raGetArrayInfo(iArrayID, &info);
            if (status == reSOK)
                snprintf(Name, sizeof(info.Name), "%s", info.Name);
            return status;
        });
}

raeStatus raGetArrayDescription(int iArrayId, raeRaidMode* eMode, ULONG* nSize,
                                int* nStripeBlockSize)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            tagARRAYINFO a;
            if (!ReadArray(m, iArrayId, &a))
                return reSInvalidArrayId;
            *nSize = static_cast<ULONG>(a.NumberOfCylinders) * a.NumberOfHeads * a.SectorsPerTrack;
            *nStripeBlockSize = a.hStripeBlockSize;
            *eMode = a.RAID >= STRIP_ARRAY && a.RAID <= JBOD_ARRAY
                         ? static_cast<raeRaidMode>(a.RAID)
                         : reRaidModeUnknown;
            return reSOK;
        });
}

raeStatus raGetArrayStatus(int iArrayId, raeArrayFunctionalStatus* eFunctional,
                           raeArrayActivityStatus* eActivity, int* npercentdone)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *npercentdone = 0;
            *eFunctional = reArrayFunctionalStatusUnknown;
            *eActivity = reArrayActivityStatusUnknown;
            m.UpdateArrayStatus(-1);
            if (!ValidArrayId(iArrayId))
                return reSArrayStatusError;
            _tagArrayStatus as;
            int status = m.GetArrayStatus(static_cast<ULONG>(iArrayId), &as);
            if (status >= AS_IDLE && status <= AS_RAID5_INIT)
            {
                *eActivity = kActivity[status];
                int percent = status == AS_IDLE ? 0 : static_cast<signed char>(as.percentage);
                *npercentdone = percent >= 0 && percent <= kMaxPercent ? percent : 0;
            }
            m.UpdateMorlivenInfo();
            tagARRAYINFO a;
            if (m.GetArray(static_cast<ULONG>(iArrayId), &a))
                *eFunctional = Functional(a);
            return reSOK;
        });
}

raeStatus raEnumerateDisksInArray(int iArrayId, int* nDisks, int* idDisks)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            tagARRAYINFO a;
            if (!ReadArray(m, iArrayId, &a))
                return reSInvalidArrayId;
            *nDisks = static_cast<int>(a.NumberDisks);
            for (ULONG i = 0; i < a.NumberDisks && i < MAX_MEMBERS; i++)
            {
                tagDISKBLOCKINFO d;
                m.GetDiskBlock(static_cast<ULONG>(iArrayId), i, &d);
                idDisks[i] = d.bCh * 2 + d.bID;
            }
            return reSOK;
        });
}

raeStatus raEnumerateArrayMembers(int iArrayId, int* nSlots, int* idDisks, BOOL* bInPlace)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            tagARRAYINFO a;
            if (!ReadArray(m, iArrayId, &a) || !(a.blFlag & ARRAY_DEFINED))
                return reSInvalidArrayId;
            const array& def = m.ArrayDef[Morliven::MapToPhysArray(static_cast<ULONG>(iArrayId))];
            int n = def.bWidth < MAX_MEMBERS ? int(def.bWidth) : int(MAX_MEMBERS);
            *nSlots = n;
            for (int i = 0; i < n; i++)
            {
                const strm& slot = def.Strm[i];
                tagDISKBLOCKINFO d;
                // A slot whose disk left the adapter names no device.
                bool named = (slot.blFlag & STRM_VALID) && m.GetDiskBlock(slot.bIndex, &d);
                idDisks[i] = named ? d.bCh * 2 + d.bID : -1;
                const BoOL inPlace = STRM_VALID | STRM_ONLINE;
                if (bInPlace)
                    bInPlace[i] =
                        (slot.blFlag & inPlace) == inPlace && !(slot.blFlag & STRM_MISSING);
            }
            return reSOK;
        });
}

raeStatus raMapLogicalToPhysicalArray(int iLogical, int* iPhysical)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (iPhysical)
                *iPhysical = -1;
            tagARRAYINFO a;
            if (!ReadArray(m, iLogical, &a))
                return reSNoSuchArray;
            if (iPhysical)
                *iPhysical = static_cast<int>(
                    Morliven::MapLogicalToPhysicalArray(static_cast<ULONG>(iLogical)));
            return reSOK;
        });
}

raeStatus raNeedUpdate(BOOL* update)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            ULONG disks = m.UpdateMorlivenInfo();
            BOOL status = m.UpdateArrayStatus(-1);
            *update = disks || status;
            return reSOK;
        });
}

raeStatus raRenameArray(ULONG arrayid, UCHAR* aryname)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (!aryname || !aryname[0])
                return reSGenericError;
            // A name the driver's field cannot hold whole is refused, not cut.
            if (strnlen(reinterpret_cast<const char*>(aryname), ARRAY_NAME_LENGTH) >=
                ARRAY_NAME_LENGTH)
                return reSInvalidArrayConfiguration;
            if (arrayid >= ARRAYS_PER_ADAPTER)
                return reSInvalidArrayId;
            return m.RenameArray(arrayid, aryname) ? reSOK : reSNotImplemented;
        });
}
