#pragma once

#include "CObject.h"
#include "CString.h"

#include <cstdint>
#include <cstdio>

class CNoticeLists;
class CEventFile;
class CMessage;

// One RAID event of a folder, parsed from an event text "%d@%d@%d@%s@%s"
// (id, time, severity, title, detail), that is checked against the notice
// lists, formatted for mail or for the management servers and appended to
// the folder's event log file, which the same object reads back record by
// record.
//
// The static members are the agent's diagnostic output. Ordinary messages
// go to standard output and, as a copy, into the misc log; urgent ones go to
// standard error.
class CLog : public CObject
{
public:
    // Longest formatted message; longer ones are cut.
    enum
    {
        kMaxInfo = 263
    };
    // Bit 0 of an enumeration's flags: oldest record first.
    enum
    {
        kForward = 1
    };

    // `szFolderPath` is the folder's path with "/" separators ("/" for the
    // root); without one the object has no log file. Without notice lists
    // the event is neither mailed nor pushed.
    CLog(CNoticeLists* pLists, const char* szFolderPath, const char* szEvent);
    virtual ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    void Init();
    void ParseEventString();
    bool Store();
    unsigned long GetMagicWord();
    unsigned long GetEventHead();
    bool LoadNext(unsigned long& pos, unsigned long flags);
    bool EnumEvent(unsigned long& pos, unsigned long& magic, unsigned long flags);
    // The same on a log held open across the records of one enumeration:
    // EnumEvent opens the folder's log into `file`, LoadNext reads it.
    bool LoadNext(CEventFile& file, unsigned long& pos, unsigned long flags);
    bool EnumEvent(CEventFile& file, unsigned long& pos, unsigned long& magic, unsigned long flags);
    bool ClearEvent();
    bool NeedEmailReport();
    bool NeedConsoleReport();
    void ToEmailString(CString& body, CString& subject) const;
    void ToConsoleString(CString& out) const;
    // The log file's full path.
    CString GetPath() const;

    // The known event ids, the only ones a notice list may name.
    static const unsigned long EventIDs[];
    static const unsigned long kNumEventIDs;
    // Checks a notice list "count@id@..."; a valid non-empty list gives its
    // ids in a new array the caller frees with delete[].
    static bool strListSyntax(const char* text, unsigned long& count, unsigned long*& ids);
    static bool NumInList(unsigned long id, const unsigned long* ids, unsigned long count);
    static bool XCreateDirectory(const char* path);

    static void ShowInfo(const char* text);
    // A debug-mode trace line; prints nothing unless the debug switch is on.
    static void ShowMessage(const char* label);
    // The same with a packet's command word, kind word and body after it.
    static void ShowMessage(const char* label, const CMessage* pMsg);
    static void DumpMemory(const void* p, int n);

    // Picks the next misc log of the rotation kept in the profile and opens
    // it afresh; without it the agent prints to standard output only.
    static void OpenLogfile();
    static void CloseLogfile();
    static void FlushLog();

    static FILE* m_fpMiscLog;
    // The debug switch that gates the packet traces; the command line sets
    // it through the document.
    static bool m_bDebugOn;

    CNoticeLists* m_pLists;
    const char* m_szEvent;
    CString m_strFileName;
    CString m_strDir;
    bool m_bInit = false;
    uint32_t m_nEventID = 0;
    uint32_t m_nSeverity = 0;
    uint32_t m_tTime = 0;
    CString m_strTitle;
    CString m_strDetail;

private:
    static int NextLogNumber();
    bool OpenFile(CEventFile& file, bool bWrite) const;
    // Whether the event's id is on the notice list `list`.
    bool IsListed(const CString& list) const;
};

void ShowInfo(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void UrgentInfo(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
