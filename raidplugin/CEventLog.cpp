#include "CEventLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
struct tagTRANSLATION
{
    unsigned m_nCode;
    const char* m_pSubject;
};

// By the API's event type, from reEventUnknown (-1) on.
const tagTRANSLATION kTranslations[] = {
    {0, "Unknown Event"},
    {0, "ECC Error"},
    {256, "Drv. Fail"},
    {257, "Dsk. PLUGIN"},
    {512, "Ary. Bad Sector"},
    {513, "Ary. Rebuild"},
    {516, "Array Sync."},
    {0, "Array Convert"},
    {518, "Retry Task."},
    {522, "Ary. Critical"},
    {521, "Ary. Down"},
    {523, "Rebuild Complete"},
    {524, "Sync. Complete"},
    {0, "Convert Complete"},
    {525, "Ary. Disk Error"},
    {258, "Reserved Sector Err."},
    {515, "Rebuild Stopped"},
    {517, "Sync. Stopped"},
    {0, "Convert Stopped"},
    {0, "Sync. Compare Error"},
    {0, "SMART Error"},
    {0, "Swap Power Down"},
    {0, "Swap Power Up"},
    {0, "Bad Swap"},
    {526, "Temperture Error"},
    {527, "FAN STOPPED"},
    {529, "Voltage Error"},
    {528, "Voltage Error"},
    {519, "Array Create"},
    {520, "Array Delete"},
};
const int kTranslationCount = sizeof kTranslations / sizeof kTranslations[0];

const tagTRANSLATION& TranslationOf(int type)
{
    int index = type + 1;
    return index >= 0 && index < kTranslationCount ? kTranslations[index] : kTranslations[0];
}

int SeverityOf(int level)
{
    switch (level)
    {
    case reInformational:
        return SEVERITY_INFORMATION;
    case reWarning:
        return SEVERITY_WARNING;
    case reError:
        return SEVERITY_ERROR;
    default:
        // A level the table does not know is not taken for harmless.
        return SEVERITY_WARNING;
    }
}

// How the driver numbers its items across adapters.
const int kArraysPerAdapter = 4;
const int kDisksPerAdapter = 8;
const int kChannelsPerAdapter = 4;

// The number after key in text, -1 when there is none.
int NumberAfter(const char* text, const char* key)
{
    const char* at = strstr(text, key);
    if (!at)
        return -1;
    char* end = nullptr;
    long number = strtol(at + strlen(key), &end, 10);
    return end != at + strlen(key) && number >= 0 && number < 0x10000 ? static_cast<int>(number) : -1;
}

template <size_t N> void CopyText(char (&to)[N], const char* from, size_t length)
{
    size_t n = strnlen(from, length < N ? length : N - 1);
    memcpy(to, from, n);
    to[n] = '\0';
}
} // namespace

CEventLog::~CEventLog() { Clear(); }

int CEventLog::AdapterOf(const rasEvent& event)
{
    if (event.aID >= 0)
        return event.aID / kArraysPerAdapter;
    if (event.dID >= 0)
        return event.dID / kDisksPerAdapter;
    char text[sizeof event.desc + 1];
    CopyText(text, event.desc, sizeof event.desc);
    // Enclosure events show the channel from 1, array creation and
    // deletion the array from 0.
    int channel = NumberAfter(text, "Channel ");
    if (channel > 0)
        return (channel - 1) / kChannelsPerAdapter;
    int array = NumberAfter(text, "arrid = ");
    return array >= 0 ? array / kArraysPerAdapter : -1;
}

void CEventLog::Translate(const rasEvent& event, tagLOGRECORD& record)
{
    const tagTRANSLATION& translation = TranslationOf(event.eType);
    record.eventID = translation.m_nCode;
    CopyText(record.subjectStr, translation.m_pSubject, sizeof record.subjectStr);
    // The driver's field need not end in a NUL.
    CopyText(record.desc, event.desc, sizeof event.desc);
    record.errflag = SeverityOf(event.eLevel);
}

char* CEventLog::FormatLine(const tagLOGRECORD& record, time_t now)
{
    const char format[] = "%d@%d@%d@%s@%s";
    const int time = static_cast<int>(now);
    const int code = static_cast<int>(record.eventID);
    int length = snprintf(nullptr, 0, format, code, time, record.errflag, record.subjectStr, record.desc);
    char* line = new (std::nothrow) char[length + 1];
    if (line)
        snprintf(line, length + 1, format, code, time, record.errflag, record.subjectStr, record.desc);
    return line;
}

void CEventLog::Append(const rasEvent* events, int count)
{
    for (int i = 0; i < count; ++i)
    {
        tagLOGRECORD* record = new (std::nothrow) tagLOGRECORD;
        if (!record)
        {
            ++m_nLost;
            continue;
        }
        Translate(events[i], *record);
        Push(record);
    }
}

void CEventLog::Push(tagLOGRECORD* record)
{
    if (m_Records.GetCount() >= MAX_LOG_RECORDS)
    {
        delete TakeOldest();
        ++m_nLost;
    }
    m_Records.AppendTail(record);
}

tagLOGRECORD* CEventLog::TakeOldest()
{
    tagLOGRECORD* oldest = m_Records.GetAt(1);
    m_Records.RemoveAt(1);
    return oldest;
}

unsigned long CEventLog::GetNewCount() const
{
    return static_cast<unsigned long>(m_Records.GetCount()) + (m_nLost ? 1 : 0);
}

char* CEventLog::ReadNext(time_t now)
{
    if (m_nLost)
    {
        // The lost events were older than any still kept.
        tagLOGRECORD lost{0, "Events Lost", "", SEVERITY_WARNING};
        snprintf(lost.desc, sizeof lost.desc, "%lu events were dropped unread: the adapter's event log was full",
                 m_nLost);
        char* line = FormatLine(lost, now);
        if (line)
            m_nLost = 0;
        return line;
    }
    if (m_Records.IsEmpty())
        return nullptr;
    char* line = FormatLine(*m_Records.GetAt(1), now);
    if (line)
        delete TakeOldest();
    return line;
}

void CEventLog::Clear()
{
    while (!m_Records.IsEmpty())
        delete TakeOldest();
    m_nLost = 0;
}
