#pragma once

#include "CReplySource.h"
#include "CString.h"

class CFolderOwner;

// The reply to ReadEvent, read from the event log as the peer takes it:
// each event as the line method@0@event, then method@255@256@pos@magic
// with where to go on, the invoke's own line and its closing reply.
class CEventReply : public CReplySource
{
public:
    // Walks the open enumeration handle of doc, at most nMost events (0
    // for all of them); the reply closes the enumeration.
    CEventReply(CFolderOwner* doc, void* handle, const CString& method, unsigned long nMost);
    ~CEventReply() override;
    CEventReply(const CEventReply&) = delete;
    CEventReply& operator=(const CEventReply&) = delete;

    bool Next(CMessage& msg) override;

private:
    enum Stage
    {
        kEvents,
        kInvokeLine,
        kFinish,
        kDone
    };

    bool NextEvent(CString& line);
    // Closes the enumeration and makes the line that says where to go on.
    void CloseEnumeration(CString& line);

    CFolderOwner* m_pDoc;
    void* m_pHandle;
    CString m_strMethod;
    unsigned long m_nMost;
    unsigned long m_nSent = 0;
    Stage m_nStage = kEvents;
    // The last data line, which the invoke's own line repeats.
    CString m_strLast;
};
