#include "RaidStates.h"

#include <cstdlib>

namespace halsend
{
namespace
{
const long kCritical = 0x80000001L;
const long kOffline = 0x80000002L;

bool Is(long status, long word) { return (status & 0xffffffffL) == word; }
} // namespace

long StatusWord(const std::string& text) { return strtol(text.c_str(), nullptr, 10) & 0xffffffffL; }

int ArrayState(long status)
{
    if (Is(status, kOffline))
        return 2;
    return Is(status, kCritical) || Is(status, 512) ? 1 : 0;
}

int ArrayActivityOf(long status)
{
    switch (status & 0xffffffffL)
    {
    case 256:
        return kSynchronising;
    case 512:
        return kRebuilding;
    case 768:
        return kExpanding;
    case 1536:
        return kInitialising;
    default:
        return kIdle;
    }
}

const char* ActivityName(int activity)
{
    static const char* const kNames[] = {"idle", "synchronising", "rebuilding", "expanding", "initialising"};
    return activity >= 0 && activity <= kInitialising ? kNames[activity] : "unknown";
}

int DiskState(long status)
{
    if (Is(status, kCritical))
        return 2;
    return Is(status, 256) ? 1 : 0;
}

bool BatteryFailed(const std::string& status)
{
    static const char* const kFaults[] = {
        "BATTERY_UNKNOWN_ERROR",         "BATTERY_FULLY_DISCHARGED",         "BATTERY_REMAINING_TIME_ALARM",
        "BATTERY_REMAINING_CAPACITY_ALARM", "BATTERY_TERMINATE_DISCHARGE_ALARM", "BATTERY_OVER_TEMP_ALARM",
        "BATTERY_TERMINATE_CHARGE_ALARM", "BATTERY_OVER_CHARGE_ALARM",
    };
    for (const char* fault : kFaults)
    {
        if (status == fault)
            return true;
    }
    return false;
}
} // namespace halsend
