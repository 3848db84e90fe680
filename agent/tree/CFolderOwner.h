#pragma once

#include "CNoticeLists.h"
#include "CServerOwner.h"

class CSchedule;
class CString;
class CVirtualFolder;

// What the folders of the tree need of the agent that holds them: the
// connections to notify, the identity check of local-only methods, the
// folders' event logs, the notice lists and the verify schedule. The tree
// knows no more of the document than this.
class CFolderOwner : public CNoticeLists, public CServerOwner
{
public:
    // Sends a change notice to pSvr, or to every connected management
    // server when it is null.
    virtual void NotifyServer(unsigned long nCode, const char* szText, CSvrSocket* pSvr) = 0;
    // Moves every connection that is in folder, or below it, to the root,
    // before folder goes.
    virtual void OnFolderRemoved(const CVirtualFolder* folder) = 0;
    // Whether pLocation holds this run's identity value.
    virtual bool CheckLocation(const unsigned long* pLocation) const = 0;

    // A list that fails the syntax check is refused and the stored one stays.
    virtual bool SetEmailNoticeList(const char* szList) = 0;
    virtual bool SetReportNoticeList(const char* szList) = 0;

    // The event work of a folder, named by its path ("/" for the root).
    virtual bool OnNewEvent(const char* szEvent, const char* szFolderPath, CString& strIsMorliven,
                            CString& strReport) = 0;
    virtual bool ClearEvent(const char* szFolderPath) = 0;
    virtual void* EnumEvent(const char* szFolderPath, unsigned long& pos, unsigned long& magic,
                            unsigned long flags) = 0;
    virtual bool GetNextEvent(void* handle, CString& strEvent) = 0;
    virtual bool CloseEnumEvent(void* handle, unsigned long& pos, unsigned long& magic) = 0;

    // When the arrays are verified.
    virtual CSchedule& GetSchedule() = 0;
    // This machine's host name as read at start.
    virtual const CString& GetHostName() const = 0;

protected:
    ~CFolderOwner() = default;
};
