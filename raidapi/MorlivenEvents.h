#pragma once

// The driver's event codes as the library names them, and their API types.

#include "DriverRecords.h"
#include "Raidapi.h"

// The library's own event identifier; numbered as the API's event type.
enum EventType
{
    EventUnknown = -1,
    EventECCError = 0,
    EventDiskDown = 1,
    EventDiskPlugin = 2,
    EventBadSector = 3,
    EventRebuildStart = 4,
    EventSyncStart = 5,
    EventExpanConvStart = 6,
    EventDiskRetry = 7,
    EventArrayCritical = 8,
    EventArrayOffline = 9,
    EventRebuildCompleted = 10,
    EventSyncCompleted = 11,
    EventExpanConvCompleted = 12,
    EventDiskMediaError = 13,
    EventReservedSectorError = 14,
    EventRebuildAborted = 15,
    EventSyncAborted = 16,
    EventExpanConvAborted = 17,
    EventSyncComparisonError = 18,
    EventSMARTError = 19,
    EventSwapPowerDown = 20,
    EventSwapPowerUp = 21,
    EventSwapBadSwap = 22,
    EventSwapOverTemp = 23,
    EventSwapFanStop = 24,
    EventSwap12VOutOfRange = 25,
    EventSwap5VOutOfRange = 26,
    EVENT_ARRAY_CREATE = 27,
    EVENT_ARRAY_DELETE = 28
};

// Error levels that GetErrorString reports: driver warning level 1 and
// unknown codes give NOTICE, level 0 gives ALERT, any other level NONE.
enum : UINT
{
    ERROR_LEVEL_NONE = 0,
    ERROR_LEVEL_NOTICE = 64,
    ERROR_LEVEL_ALERT = 256
};

raeEventType RaidTypeToApiTypeEvent(ULONG code);
