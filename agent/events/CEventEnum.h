#pragma once

#include "CEventFile.h"
#include "CLog.h"
#include "CObject.h"
#include "CString.h"

class CNoticeLists;

// One enumeration of a folder's event log, as the agent document hands it
// out: the position of the next record to read, the magic word of the file
// it began on, and the direction. The log stays open from Open to the
// object's end, so the records of one request cost one open and a read per
// window of them, and a log cleared or made anew meanwhile does not mix
// into the walk.
class CEventEnum : public CObject
{
public:
    // Starts or resumes an enumeration (`pos` 0 starts anew); null when the
    // folder has no log or the log was made anew since `magic` was taken.
    static CEventEnum* Open(CNoticeLists* pDoc, const char* szFolderPath, unsigned long& pos,
                            unsigned long& magic, unsigned long flags);
    virtual ~CEventEnum();
    CEventEnum(const CEventEnum&) = delete;
    CEventEnum& operator=(const CEventEnum&) = delete;

    // The next record as an event text; false at the end (text emptied).
    bool GetNext(CString& strEvent);
    // Where to resume: after a forward walk, the last record delivered, so
    // that resuming skips exactly that one; 0 once the walk reached the end.
    void Close(unsigned long& pos, unsigned long& magic);

private:
    CEventEnum(CNoticeLists* pDoc, const char* szFolderPath, unsigned long flags);

    CLog m_Log;
    CEventFile m_File;
    unsigned long m_nPosition = 0;
    unsigned long m_nMagic = 0;
    unsigned long m_nFlags;
};
