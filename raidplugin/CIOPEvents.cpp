// The adapter's event log: the driver's events of this adapter, kept until
// the agent reads them through IEventLog.

#include "CIOP.h"
#include "PluginState.h"

#include <cstring>
#include <ctime>

namespace
{
// A burst longer than one driver batch is taken in over a few batches per
// poll; whatever is left stays with the driver for the next poll.
const int kBatchesPerPoll = 4;
} // namespace

STATUS CIOP::QueryInterface(unsigned iid, void** out)
{
    if (iid != IID_IEventLog || !out)
        return CChannel::QueryInterface(iid, out);
    AddRef();
    *out = static_cast<IEventLog*>(this);
    return S_OK;
}

STATUS CIOP::ClearLog()
{
    // The driver's queue holds the other adapters' events too: they are
    // handed over before it is emptied.
    CollectEvents();
    m_EventLog.Clear();
    return SelectAdapter(m_AdapterID) && ApiOk(raClearLog()) ? S_OK : E_FAIL;
}

STATUS CIOP::ReadEventLog(char** text, unsigned long* length)
{
    if (!text || !length)
        return E_INVALIDARG;
    *text = m_EventLog.ReadNext(time(nullptr));
    if (!*text)
        return S_FALSE;
    *length = strlen(*text);
    return S_OK;
}

STATUS CIOP::GetNewCount(unsigned long* count)
{
    if (!count)
        return E_INVALIDARG;
    *count = m_EventLog.GetNewCount();
    return S_OK;
}

void CIOP::LogEvent(const rasEvent* events, int count) { m_EventLog.Append(events, count); }

CIOP* CIOP::AdapterFor(const rasEvent& event)
{
    TPtrList<CIOP>& adapters = AllIOPs();
    int index = CEventLog::AdapterOf(event);
    for (int i = 1; i <= adapters.GetCount(); ++i)
        if (static_cast<int>(adapters.GetAt(i)->m_AdapterID) == index)
            return adapters.GetAt(i);
    return adapters.GetAt(1);
}

void CIOP::CollectEvents()
{
    TPtrList<CIOP>& adapters = AllIOPs();
    if (adapters.IsEmpty() || !SelectAdapter(adapters.GetAt(1)->m_AdapterID))
        return;
    for (int batch = 0; batch < kBatchesPerPoll; ++batch)
    {
        rasEvent events[RA_MAX_EVENTS];
        int count = 0;
        if (!ApiOk(raGetEvents(events, &count)) || count <= 0)
            return;
        count = count < RA_MAX_EVENTS ? count : RA_MAX_EVENTS;
        for (int i = 0; i < count; ++i)
            AdapterFor(events[i])->LogEvent(&events[i], 1);
        if (count < RA_MAX_EVENTS)
            return;
    }
}
