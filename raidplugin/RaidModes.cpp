#include "RaidModes.h"

#include <cstring>

namespace
{
struct tagRAIDMODE
{
    const char* m_pText;
    raeRaidMode m_eMode;
};

const tagRAIDMODE kModes[RAID_MODE_COUNT] = {
    {"RAID0(STRIPING)", reRaidModeStriping},
    {"RAID1(MIRROR)", reRaidModeMirroring},
    {"RAID0+1(STRIPE-MIRRORING)", reRaidModeStripeMirroring},
    {"RAID3(PARITY-DEDICATED)", reRaidModeParity},
    {"RAID5(PARITY-DISTRIBUTED)", reRaidModeParityDistributed},
    {"SPAN", reRaidModeSpan},
    {"JBOD", reRaidModeJBOD},
};

const char* const kDisplayTexts[] = {"RAID0(STRIPING)", "RAID1(MIRROR)", "RAID0+1(STRIPING + MIRRORING)",
                                     "SPANNING",        "PARITY",        "RAID5(PARITY-DISTRIBUTED)",
                                     "JBOD"};

// A mirror of more than two disks is striped over its mirrored pairs.
const int kPlainMirrorDisks = 2;
} // namespace

int StringToRAIDMode(const char* text)
{
    for (int i = 0; text && i < RAID_MODE_COUNT; ++i)
        if (strcmp(kModes[i].m_pText, text) == 0)
            return i;
    return -1;
}

raeRaidMode RAIDModeOfIndex(int index)
{
    if (index < 0 || index >= RAID_MODE_COUNT)
        return reRaidModeUnknown;
    return kModes[index].m_eMode;
}

const char* RAIDModeToString(int mode, int disks)
{
    if (mode == reRaidModeMirroring && disks > kPlainMirrorDisks)
        return kModes[2].m_pText;
    if (mode == reRaidModeStripeMirroring)
        return nullptr;
    for (const tagRAIDMODE& entry : kModes)
        if (entry.m_eMode == mode)
            return entry.m_pText;
    return nullptr;
}

const char* RAIDModeDisplayText(int mode)
{
    if (mode < reRaidModeStriping || mode > reRaidModeJBOD)
        return "UNKNOWN RAID TYPE";
    return kDisplayTexts[mode];
}
