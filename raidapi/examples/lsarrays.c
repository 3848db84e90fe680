/* Lists the RAID adapters and their arrays through the RAID API. */
#include <stdio.h>

#include "Raidapi.h"

static const char* const kModes[] = {"striping", "mirroring", "stripe-mirroring", "span",
                                     "parity", "distributed parity", "JBOD"};
static const char* const kStates[] = {"functional", "critical", "offline"};

static void ListArrays(void)
{
    int n = 0, ids[4], i;
    raEnumerateAllArrays(&n, ids);
    for (i = 0; i < n; i++)
    {
        rasArrayInfo info;
        raeArrayFunctionalStatus state;
        raeArrayActivityStatus activity;
        int percent = 0;
        if (raGetArrayInfo(ids[i], &info) != reSOK ||
            raGetArrayStatus(ids[i], &state, &activity, &percent) != reSOK)
            continue;
        printf("  array %d \"%s\": %s of %u disks, %s", ids[i], info.Name,
               info.RAID >= 0 && info.RAID <= 6 ? kModes[info.RAID] : "unknown", info.NumberDisks,
               state >= 0 && state <= 2 ? kStates[state] : "unknown");
        if (activity != reArrayIdle)
            printf(", activity %d at %d%%", activity, percent);
        printf("\n");
    }
}

int main(void)
{
    int index = 0, adapters = 0;
    void* handle = &index;
    raeStatus status = raInitialize(&handle);
    if (status == reSOK)
        status = raGetNumberOfAdapters(&adapters);
    if (status != reSOK)
    {
        fprintf(stderr, "lsarrays: %s\n", raErrorDescription(status));
        return 1;
    }
    for (index = 0; index < adapters; index++)
    {
        rasControllerInfo info;
        handle = &index;
        status = raInitialize(&handle);
        if (status == reSOK)
            status = raGetControllerInfo(index, &info);
        if (status != reSOK)
        {
            printf("adapter %d: %s\n", index, raErrorDescription(status));
            continue;
        }
        printf("adapter %d: %u channels, IRQ %u, slot %u\n", index, info.NumberChannels, info.IRQ,
               info.SlotNumber);
        ListArrays();
        raTerminate(handle);
    }
    return 0;
}
