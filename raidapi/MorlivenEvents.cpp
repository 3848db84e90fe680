// Fetching the driver's queued events and turning each into its message
// text and classifying numbers.

#include "MorlivenEvents.h"
#include "Morliven.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace
{
// Channel and master/slave labels are empty in this system.
const char kLabel[] = "";

// Where an event's array or disk number comes from: a parameter word, the
// value -1, or nowhere (the caller's value stays).
enum Source
{
    KEEP = -2,
    MINUS_ONE = -1,
    P0 = 0,
    P1 = 1,
    P2 = 2
};

const int kKeepId = -1;

// The text of a disk-table entry, read from the adapter object that holds
// the disk: the driver keeps one event queue for all its adapters, and
// each object knows only its own adapter's disks.
const char* DiskText(Morliven& selected, RAID_WORD index)
{
    if (index < MAX_DISKS && !(selected.blkDisk[index].blFlag & BLK_PRESENT))
        for (Morliven& other : mvs)
            if (other.blkDisk[index].blFlag & BLK_PRESENT)
                return other.GetDiskBlockString(index);
    return selected.GetDiskBlockString(index);
}

class Message
{
public:
    Message(Morliven& m, const logevent& ev, char* out) : m_m(m), m_ev(ev), m_out(out) {}

    __attribute__((format(printf, 2, 3))) void Print(const char* format, ...) const
    {
        va_list ap;
        va_start(ap, format);
        vsnprintf(m_out, EVENT_TEXT_LENGTH, format, ap);
        va_end(ap);
    }
    int P(int i) const { return static_cast<int>(m_ev.ParamList[i]); }
    // Array and channel numbers are shown from 1.
    int FromOne(int i) const { return P(i) + 1; }
    const char* Disk(int i) const { return DiskText(m_m, m_ev.ParamList[i]); }
    unsigned Code() const { return m_ev.id; }

private:
    Morliven& m_m;
    const logevent& m_ev;
    char* m_out;
};

struct EventText
{
    ULONG code;
    UINT pCode;
    int eventId;          // kKeepId: left as it was
    const char* idString; // null: left as it was
    Source aID;
    Source dID;
    EventType type;
    void (*format)(const Message&); // null: no text
};

void FixedText(const Message& m, const char* text)
{
    m.Print("%s", text);
}

void RetryText(const Message& m)
{
    m.Print("Retry Disk Access : Disk %s LBA 0x%x", m.Disk(1), m.P(0));
}

// Supplies are reported in millivolts and shown in volts.
void VoltageText(const Message& m)
{
    m.Print("Channel %d, %s.%f", m.FromOne(0), kLabel, m.P(2) / 1000.0);
}

const EventText kEvents[] = {
    {0x40000001, 7, 4, "Ary. Rebuild", P0, P1, EventRebuildStart,
     [](const Message& m)
     { m.Print("Disk Rebuild Started : Array %d, Disk %s", m.FromOne(0), m.Disk(1)); }},
    {0x50000001, 8, 5, "Array Sync.", P0, MINUS_ONE, EventSyncStart,
     [](const Message& m) { m.Print("Disk Synchronize Started : Array %d", m.FromOne(0)); }},
    {0x80000001, 1, kKeepId, nullptr, KEEP, KEEP, EventUnknown, nullptr},
    {0x80000002, 1, kKeepId, nullptr, KEEP, KEEP, EventUnknown, nullptr},
    {0x80000003, 1, kKeepId, nullptr, KEEP, KEEP, EventUnknown, nullptr},
    {0x80000004, 2, kKeepId, nullptr, MINUS_ONE, P1, EventECCError,
     [](const Message& m) { m.Print("ECC Error : Disk %s at LBA 0x%x", m.Disk(1), m.P(0)); }},
    {0x80000100, 3, 1, "Drv. Fail", MINUS_ONE, P0, EventDiskDown,
     [](const Message& m) { m.Print("Disk Set Down : %s", m.Disk(0)); }},
    {0x80000101, 5, 2, "Dsk. PLUGIN", MINUS_ONE, P0, EventDiskPlugin,
     [](const Message& m) { m.Print("Disk Plugged in : %s", m.Disk(0)); }},
    {0x80000102, 15, 14, "Reserved Sector Err.", MINUS_ONE, P1, EventReservedSectorError,
     [](const Message& m)
     { m.Print("Reserved Sector Error : Disk %s at LBA %d", m.Disk(1), m.P(0)); }},
    {0x80000103, 4, 1, "Drv. Fail", MINUS_ONE, P0, EventDiskDown,
     [](const Message& m) { m.Print("Disk Offline : %s", m.Disk(0)); }},
    {0x80000104, 6, 3, "Ary. Bad Sector", P0, P1, EventBadSector,
     [](const Message& m) {
         m.Print("Array %d has bad sector on Disk %s at LBA 0x%x", m.FromOne(0), m.Disk(1), m.P(2));
     }},
    {0x80000105, 9, 7, "Retry Task.", MINUS_ONE, P1, EventDiskRetry, RetryText},
    {0x80000204, 9, 7, "Retry Task.", MINUS_ONE, P1, EventDiskRetry, RetryText},
    {0x80000200, 12, 10, "Rebuild Complete", P0, P1, EventRebuildCompleted,
     [](const Message& m)
     { m.Print("Array %d, Rebuild Completed on Disk %s", m.FromOne(0), m.Disk(1)); }},
    {0x80000201, 13, 11, "Sync. Complete", P0, MINUS_ONE, EventSyncCompleted,
     [](const Message& m) { m.Print("Array %d, Synchronize Completed", m.FromOne(0)); }},
    {0x80000202, 16, 15, "Rebuild Stopped", P0, P1, EventRebuildAborted,
     [](const Message& m)
     {
         m.Print("Rebuild aborted on array %d, disk %s, at %d percent complete", m.FromOne(0),
                 m.Disk(1), m.P(2));
     }},
    {0x80000203, 17, 16, "Sync. Stopped", P0, MINUS_ONE, EventSyncAborted,
     [](const Message& m) {
         m.Print("Synchronization aborted on array %d, at %d percent complete", m.FromOne(0),
                 m.P(1));
     }},
    {0x80000205, 10, 9, "Ary. Down", P0, MINUS_ONE, EventArrayOffline,
     [](const Message& m) { m.Print("Array %d, Status Offline", m.FromOne(0)); }},
    {0x80000206, 11, 8, "Ary. Critical", P0, MINUS_ONE, EventArrayCritical,
     [](const Message& m) { m.Print("Array %d, Status Critical", m.FromOne(0)); }},
    {0x80000207, 14, 13, "Ary. Disk Error", P0, P1, EventDiskMediaError,
     [](const Message& m)
     {
         m.Print("Array %d, Disk %s Disk Media Error at LBA %d cmd=0x%x status=0x%x", m.FromOne(0),
                 m.Disk(1), m.P(2), m.P(4), m.P(5));
     }},
    {0x80000208, 18, kKeepId, nullptr, P2, MINUS_ONE, EventSyncComparisonError,
     [](const Message& m) {
         m.Print("Synchronization Comparison Error on Array %d at LBA 0x%x", m.FromOne(2), m.P(0));
     }},
    {0x80000209, 19, kKeepId, nullptr, MINUS_ONE, P0, EventSMARTError,
     [](const Message& m) { m.Print("S.M.A.R.T Failure on Disk %s", m.Disk(0)); }},
    {0x8000020a, 20, kKeepId, nullptr, KEEP, KEEP, EventUnknown,
     [](const Message& m) { FixedText(m, "ECC Error Fix Failed - Uncorrectable Error"); }},
    {0x8000020b, 21, kKeepId, nullptr, KEEP, KEEP, EventSwapPowerDown,
     [](const Message& m)
     { m.Print("Power Down Swap Box in Channel %d, %s", m.FromOne(0), kLabel); }},
    {0x8000020c, 22, kKeepId, nullptr, KEEP, KEEP, EventSwapPowerUp,
     [](const Message& m)
     { m.Print("Power up Swap Box in Channel %d, %s", m.FromOne(0), kLabel); }},
    {0x8000020d, 23, kKeepId, nullptr, KEEP, KEEP, EventSwapBadSwap,
     [](const Message& m)
     {
         m.Print("Driver unable to detect drive after swap, Channel %d, %s. Please Check the Drive "
                 "Carrier "
                 "and/or Drive and Re-try Swap",
                 m.FromOne(0), kLabel);
     }},
    // p2 counts half degrees Celsius.
    {0x8000020e, 24, 23, "Temperture Error", KEEP, KEEP, EventSwapOverTemp,
     [](const Message& m)
     {
         double celsius = m.P(2) / 2.0;
         m.Print("Channel %d, %s. F:%f,C:%f", m.FromOne(0), kLabel, celsius * 1.8 + 32 + 0.5,
                 celsius);
     }},
    // p2 is the fan's speed as the enclosure reports it.
    {0x8000020f, 25, 24, "FAN STOPPED", KEEP, KEEP, EventSwapFanStop,
     [](const Message& m)
     { m.Print("Channel %d, %s.%f", m.FromOne(0), kLabel, static_cast<double>(m.P(2))); }},
    {0x80000210, 26, 25, "Voltage Error", KEEP, KEEP, EventSwap12VOutOfRange, VoltageText},
    {0x80000211, 27, 26, "Voltage Error", KEEP, KEEP, EventSwap5VOutOfRange, VoltageText},
    {0x80000213, 28, 27, "Create Array", KEEP, KEEP, EVENT_ARRAY_CREATE,
     [](const Message& m) { m.Print("Create Array arrid = %d", m.P(0)); }},
    {0x80000214, 29, 28, "Delete Array", KEEP, KEEP, EVENT_ARRAY_DELETE,
     [](const Message& m) { m.Print("Delete Array arrid = %d", m.P(0)); }},
    {0x80000301, 2, kKeepId, nullptr, MINUS_ONE, P1, EventUnknown,
     [](const Message& m) { FixedText(m, "Addr mark not found"); }},
    {0x80000302, 2, kKeepId, nullptr, MINUS_ONE, P1, EventUnknown,
     [](const Message& m) { FixedText(m, "Track o not found"); }},
    {0x80000303, 2, kKeepId, nullptr, MINUS_ONE, P1, EventUnknown,
     [](const Message& m) { FixedText(m, "About command"); }},
    {0x80000304, 2, kKeepId, nullptr, MINUS_ONE, P1, EventUnknown,
     [](const Message& m) { FixedText(m, "Id not found"); }},
    {0x80000305, 2, kKeepId, nullptr, MINUS_ONE, P1, EventUnknown,
     [](const Message& m) { FixedText(m, "Crc Error!"); }},
};

const EventText* FindEvent(ULONG code)
{
    for (const EventText& e : kEvents)
        if (e.code == code)
            return &e;
    return nullptr;
}

void SetId(UINT* out, Source source, const logevent& ev)
{
    if (!out || source == KEEP)
        return;
    *out = source == MINUS_ONE ? static_cast<UINT>(-1) : ev.ParamList[source];
}

UINT ErrorLevel(RAID_WORD warningLevel)
{
    switch (warningLevel)
    {
    case 0:
        return ERROR_LEVEL_ALERT;
    case 1:
        return ERROR_LEVEL_NOTICE;
    default:
        return ERROR_LEVEL_NONE;
    }
}
} // namespace

raeEventType RaidTypeToApiTypeEvent(ULONG code)
{
    const EventText* e = FindEvent(code);
    return static_cast<raeEventType>(e ? e->type : EventUnknown);
}

BOOL Morliven::GetEventCount(ULONG* pCount)
{
    *pCount = 0;
    IOCTL_VALUE_FRAME f = {RC_PRESET, 0};
    if (!Request(IOCTL_EVENT_COUNT, &f, nullptr))
        return 0;
    if (f.ReturnCode == RC_EVENT_COUNT && f.val)
        *pCount = f.val;
    return 1;
}

BOOL Morliven::GetEvents(ULONG NumEvents, LOGEVENT* pEvents, ULONG* pFetched)
{
    // The frame holds MAX_EVENTS records; whatever the driver has queued
    // beyond them stays there for the next call.
    ULONG n = NumEvents < ULONG(MAX_EVENTS) ? NumEvents : ULONG(MAX_EVENTS);
    if (pFetched)
        *pFetched = 0;
    IOCTL_EVENTS_FRAME f;
    memset(&f, 0, sizeof(f));
    f.ReturnCode = RC_PRESET;
    f.EventCount = n;
    HANDLE h = OpenMorliven();
    if (h == -1)
        return 0;
    memset(pEvents, 0, sizeof(LOGEVENT) * MAX_EVENTS);
    int r = MorlivenIoControl(h, IOCTL_GET_EVENTS, &f);
    CloseMorliven(h);
    // A failed request, or an answer that cannot be one, hands over no
    // records: the events stay queued for the next fetch.  The driver says
    // in the count how many it handed over.
    bool answered = r == 0 && (f.ReturnCode == RC_DONE || f.ReturnCode == RC_PRESET) &&
                    f.EventCount <= n;
    if (!answered)
        return 0;
    memcpy(pEvents, f.Events, sizeof(LOGEVENT) * f.EventCount);
    if (pFetched)
        *pFetched = f.EventCount;
    return 1;
}

BOOL Morliven::HasNewEvents(LOGEVENT* pEv, ULONG* pNumEvents)
{
    *pNumEvents = 0;
    ULONG count = 0;
    GetEventCount(&count);
    if (count == 0)
        return 0;
    count = count < ULONG(MAX_EVENTS) ? count : ULONG(MAX_EVENTS);
    ULONG fetched = 0;
    if (!GetEvents(count, pEv, &fetched))
        return -1;
    *pNumEvents = fetched;
    return fetched ? 1 : 0;
}

BOOL Morliven::GetErrorString(const LOGEVENT* pev, UINT* pErrorLevel, char* str, char* timestamp,
                              UINT* pCode, UINT* aID, UINT* dID, char* IDString, DWORD* EventID)
{
    str[0] = '\0';
    if (timestamp)
        timestamp[0] = '\0';
    *pErrorLevel = ErrorLevel(pev->WarningLevel);
    *pCode = 1;
    Message message(*this, *pev, str);
    const EventText* e = FindEvent(pev->id);
    if (!e)
    {
        message.Print("Unknown Error, Code = 0x%x", message.Code());
        *pErrorLevel = ERROR_LEVEL_NOTICE;
        return 1;
    }
    if (e->format)
        e->format(message);
    *pCode = e->pCode;
    if (e->eventId != kKeepId && EventID)
        *EventID = static_cast<DWORD>(e->eventId);
    if (e->idString && IDString)
        snprintf(IDString, EVENT_ID_LENGTH, "%s", e->idString);
    SetId(aID, e->aID, *pev);
    SetId(dID, e->dID, *pev);
    return 1;
}
