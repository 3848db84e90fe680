#include "LOGONUSER.h"

bool LOGONUSER::IsSameLogon(const LOGONUSER& other) const
{
    return m_dwLocation[0] == other.m_dwLocation[0] && m_dwLocation[1] == other.m_dwLocation[1] &&
           m_nUserSSN == other.m_nUserSSN;
}
