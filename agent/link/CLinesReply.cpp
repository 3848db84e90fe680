#include "CLinesReply.h"

#include "CMessage.h"

CLinesReply::~CLinesReply()
{
    while (!m_Lines.IsEmpty())
    {
        delete m_Lines.GetAt(1);
        m_Lines.RemoveAt(1);
    }
}

void CLinesReply::AddLine(const CString& line) { m_Lines.AppendTail(new CString(line)); }

bool CLinesReply::Next(CMessage& msg)
{
    if (m_bFinished)
        return false;
    CString* line = m_Lines.GetAt(1);
    if (!line)
    {
        msg.MakeFinish(m_nCode);
        m_bFinished = true;
        return true;
    }
    msg.m_nType = CMessage::kData;
    msg.m_strBody = *line;
    m_Lines.RemoveAt(1);
    delete line;
    return true;
}
