#include "CEventEnum.h"

CEventEnum::CEventEnum(CNoticeLists* pDoc, const char* szFolderPath, unsigned long flags)
    : m_Log(pDoc, szFolderPath, nullptr), m_nFlags(flags)
{
}

CEventEnum::~CEventEnum() = default;

CEventEnum* CEventEnum::Open(CNoticeLists* pDoc, const char* szFolderPath, unsigned long& pos,
                             unsigned long& magic, unsigned long flags)
{
    CEventEnum* pEnum = new CEventEnum(pDoc, szFolderPath, flags);
    if (!pEnum->m_Log.EnumEvent(pEnum->m_File, pos, magic, flags))
    {
        delete pEnum;
        return nullptr;
    }
    pEnum->m_nPosition = pos;
    pEnum->m_nMagic = magic;
    return pEnum;
}

bool CEventEnum::GetNext(CString& strEvent)
{
    strEvent.Empty();
    if (!m_Log.LoadNext(m_File, m_nPosition, m_nFlags))
        return false;
    m_Log.ToConsoleString(strEvent);
    return true;
}

void CEventEnum::Close(unsigned long& pos, unsigned long& magic)
{
    if ((m_nFlags & CLog::kForward) && m_nPosition != 0)
        m_Log.LoadNext(m_File, m_nPosition, m_nFlags & ~static_cast<unsigned long>(CLog::kForward));
    pos = m_nPosition;
    magic = m_nMagic;
}
