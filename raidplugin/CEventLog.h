#pragma once

#include "Raidapi.h"
#include "TPtrList.h"

#include <ctime>

// One event as the adapter keeps it until the agent reads it.
struct tagLOGRECORD
{
    unsigned eventID;     // event code
    char subjectStr[32];  // short subject text
    char desc[128];       // the driver's description
    int errflag;          // 1 error, 2 warning, 3 information
};

// Severities of the event lines.
const int SEVERITY_ERROR = 1;
const int SEVERITY_WARNING = 2;
const int SEVERITY_INFORMATION = 3;

// The unread events of one adapter, oldest first. Batches from the driver
// queue up behind the records not yet read, so nothing is lost between two
// reads of the agent; past MAX_LOG_RECORDS the oldest are dropped and the
// next read starts with one line that says how many.
class CEventLog
{
public:
    static const int MAX_LOG_RECORDS = 1024;

    CEventLog() = default;
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;
    ~CEventLog();

    // The record that stands for a driver event: code and subject by the
    // event's type, severity by its level, the description as it came.
    static void Translate(const rasEvent& event, tagLOGRECORD& record);
    // The index of the adapter an event concerns, -1 when it names none.
    // The driver keeps one queue for all its adapters; its events number
    // arrays, disks and enclosure channels across them.
    static int AdapterOf(const rasEvent& event);
    // The event line "%d@%d@%d@%s@%s" of a record read at time now, in a
    // new array that the caller frees with delete[].
    static char* FormatLine(const tagLOGRECORD& record, time_t now);

    void Append(const rasEvent* events, int count);
    // Records not yet read, the line about lost ones included.
    unsigned long GetNewCount() const;
    // The oldest unread line, taken from the log; null when there is none.
    char* ReadNext(time_t now);
    void Clear();

private:
    void Push(tagLOGRECORD* record);
    tagLOGRECORD* TakeOldest();

    TPtrList<tagLOGRECORD> m_Records;
    // Dropped since the last read of the log's head.
    unsigned long m_nLost = 0;
};
