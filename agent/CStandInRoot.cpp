#include "CStandInRoot.h"

#include "CSvrSocket.h"

namespace
{
const int kNotFound = 803;
}

void CStandInRoot::OnProcessCommand(CSvrSocket* pSvr)
{
    pSvr->ReportFinish(&pSvr->m_Msg, kNotFound);
}
