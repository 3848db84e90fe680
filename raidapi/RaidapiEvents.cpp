// Reading the driver's events with their texts.

#include "MorlivenEvents.h"
#include "RaidapiSupport.h"

static_assert(sizeof(rasLogEvent) == sizeof(LOGEVENT), "log event");
static_assert(sizeof(rasEvent) == 144, "event");

namespace
{
raeEventLevel Level(UINT errorLevel)
{
    switch (errorLevel)
    {
    case 0:
        return reError;
    case 1:
        return reWarning;
    default:
        return reInformational;
    }
}
} // namespace

raeStatus raGetEvents(rasEvent* pEvents, int* numevents)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *numevents = 0;
            LOGEVENT events[MAX_EVENTS];
            ULONG n = 0;
            int fetched = m.HasNewEvents(events, &n);
            // A failed fetch is a failure, not an event.
            if (fetched < 0)
                return reSGenericError;
            if (fetched == 0)
                return reSNotImplemented;
            *numevents = static_cast<int>(n);
            for (ULONG i = 0; i < n; i++)
            {
                rasEvent& e = pEvents[i];
                // Events that name no array or disk say so.
                e.aID = -1;
                e.dID = -1;
                UINT level = 0;
                UINT code = 0;
                DWORD eventId = 0;
                char timestamp[1];
                char idString[EVENT_ID_LENGTH];
                m.GetErrorString(&events[i], &level, e.desc, timestamp, &code,
                                 reinterpret_cast<UINT*>(&e.aID), reinterpret_cast<UINT*>(&e.dID),
                                 idString, &eventId);
                e.eLevel = Level(level);
                e.eType = RaidTypeToApiTypeEvent(events[i].id);
            }
            return reSOK;
        });
}

raeStatus raHasNewEvents(rasLogEvent* ev, ULONG* num)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            int fetched = m.HasNewEvents(reinterpret_cast<LOGEVENT*>(ev), num);
            return fetched > 0 ? reSOK : fetched < 0 ? reSGenericError : reSNotImplemented;
        });
}

raeStatus raGetErrorString(rasLogEvent* pev, UINT* pErrorLevel, char* str, char* timestamp,
                           UINT* pCode, UINT* aID, UINT* dID, char* IDString, DWORD* EventID)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            m.GetErrorString(reinterpret_cast<const LOGEVENT*>(pev), pErrorLevel, str, timestamp,
                             pCode, aID, dID, IDString, EventID);
            return reSOK;
        });
}
