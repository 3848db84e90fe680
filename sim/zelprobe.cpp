// zelprobe: lists the adapters, disks and arrays as the driver library reads
// them, in the same lines as "zelsim show", so the two can be compared.

#include "Morliven.h"
#include "SimShow.h"

#include <iostream>
#include <string>
#include <vector>

using namespace zelsim;

namespace
{
const char* DiskStateOf(ULONG status)
{
    switch (status)
    {
    case DISK_STATUS_FREE:
        return "free";
    case DISK_STATUS_MEMBER:
        return "member";
    default:
        return "unusable";
    }
}

const char* ArrayStateOf(const tagARRAYINFO& info)
{
    if (info.Status == ARRAY_STATUS_OFFLINE)
        return "offline";
    return info.blFlag & ARRAY_DEGRADED ? "critical" : "online";
}

std::string Disks(int adapter)
{
    std::string text;
    for (int p = 0; p < DISKS_PER_ADAPTER; p++)
    {
        tagDISKBLOCKINFO d;
        if (!mvs[adapter].GetDiskBlock(p / 2, p % 2, &d, Morliven::THIS_ADAPTER))
            continue;
        int array = d.bArray < ARRAYS_PER_ADAPTER ? adapter * ARRAYS_PER_ADAPTER + d.bArray : -1;
        text += DiskLine(adapter, p, d.Name, static_cast<uint32_t>(d.wSize), DiskStateOf(d.Status), array,
                         d.bBlkFlag & BLK_NEEDS_REBUILD);
    }
    return text;
}

std::string Arrays(int adapter)
{
    Morliven& m = mvs[adapter];
    m.UpdateArrayStatus(-1);
    std::string text;
    for (int i = 0; i < ARRAYS_PER_ADAPTER; i++)
    {
        tagARRAYINFO a;
        if (!m.GetArray(i, &a) || !(a.blFlag & ARRAY_DEFINED))
            continue;
        std::vector<int> members;
        for (ULONG k = 0; k < a.NumberDisks; k++)
            members.push_back(a.Strm[k].bIndex);
        _tagArrayStatus st;
        int status = static_cast<unsigned char>(m.GetArrayStatus(i, &st));
        text += ArrayLine(adapter * ARRAYS_PER_ADAPTER + i, a.Name, a.RAID, static_cast<uint32_t>(a.ulSize),
                          a.hStripeBlockSize, ArrayStateOf(a), members, status, st.percentage);
    }
    return text;
}
} // namespace

int main()
{
    int adapters = static_cast<int>(mvs[0].GetNumOfController());
    if (adapters > MAX_ADAPTERS)
        adapters = MAX_ADAPTERS;
    std::string adapterLines, diskLines, arrayLines;
    for (int a = 0; a < adapters; a++)
    {
        tagCONTROLLERINFO c;
        if (mvs[a].GetController(a, &c))
            adapterLines += AdapterLine(a, c.NumberChannels, c.IRQ, c.SlotNumber);
        diskLines += Disks(a);
        arrayLines += Arrays(a);
    }
    std::cout << adapterLines << diskLines << arrayLines;
    return adapters > 0 ? 0 : 1;
}
