#pragma once

// What the exported functions share: the selected adapter and the lookup
// of a disk by its device id.

#include "Morliven.h"
#include "Raidapi.h"

// Runs body on the selected adapter; nothing is selected before the first
// raInitialize.
template <typename Body> raeStatus WithAdapter(Body body)
{
    return theMorliven ? body(*theMorliven) : reSApiNotInitialized;
}

// Device ids run from 0 to 7: local channel x 2 + device.
inline bool ValidDeviceId(int id)
{
    return id >= 0 && id < DISKS_PER_ADAPTER;
}

inline bool ValidArrayId(int id)
{
    return id >= 0 && id < ARRAYS_PER_ADAPTER;
}

// The disk at a position of the selected adapter, from the last refresh.
inline bool DiskAt(Morliven& m, int channel, int device, tagDISKBLOCKINFO* info)
{
    if (channel < 0 || channel >= CHANNELS_PER_ADAPTER || device < 0 || device > 1)
        return false;
    return m.GetDiskBlock(channel, device, info, Morliven::THIS_ADAPTER) != 0;
}

inline bool DiskOf(Morliven& m, int id, tagDISKBLOCKINFO* info)
{
    return ValidDeviceId(id) && DiskAt(m, id / 2, id % 2, info);
}
