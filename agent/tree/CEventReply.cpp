#include "CEventReply.h"

#include "CFolderOwner.h"
#include "CMessage.h"
#include "ReplyTexts.h"

namespace
{
const int kFunctional = 800;
}

CEventReply::CEventReply(CFolderOwner* doc, void* handle, const CString& method, unsigned long nMost)
    : m_pDoc(doc), m_pHandle(handle), m_strMethod(method), m_nMost(nMost)
{
}

// A reply cut short (its connection gone) still gives the enumeration
// back.
CEventReply::~CEventReply()
{
    CString line;
    if (m_pHandle)
        CloseEnumeration(line);
}

bool CEventReply::Next(CMessage& msg)
{
    msg.m_nType = CMessage::kData;
    switch (m_nStage)
    {
    case kEvents:
        if (!NextEvent(msg.m_strBody))
        {
            CloseEnumeration(msg.m_strBody);
            m_nStage = kInvokeLine;
        }
        m_strLast = msg.m_strBody;
        return true;
    case kInvokeLine:
        msg.m_strBody.Format("%d@%s@%s", kFunctional, GetErrorInfo(kFunctional), m_strLast.GetBuffer());
        m_nStage = kFinish;
        return true;
    case kFinish:
        msg.MakeFinish(kFunctional);
        m_nStage = kDone;
        return true;
    default:
        return false;
    }
}

bool CEventReply::NextEvent(CString& line)
{
    CString event;
    if ((m_nMost != 0 && m_nSent >= m_nMost) || !m_pDoc->GetNextEvent(m_pHandle, event))
        return false;
    ++m_nSent;
    line.Format("%s@%d@%s", m_strMethod.GetBuffer(), 0, event.GetBuffer());
    return true;
}

void CEventReply::CloseEnumeration(CString& line)
{
    unsigned long pos = 0;
    unsigned long magic = 0;
    m_pDoc->CloseEnumEvent(m_pHandle, pos, magic);
    m_pHandle = nullptr;
    line.Format("%s@%d@%d@%lu@%lu", m_strMethod.GetBuffer(), 255, 256, pos, magic);
}
