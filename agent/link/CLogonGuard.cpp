#include "CLogonGuard.h"

int CLogonGuard::OnFailure(time_t now)
{
    ++m_nFailures;
    if (m_nFailures <= kFreeFailures)
        return 0;
    int seconds = kFirstPauseSeconds;
    for (int i = kFreeFailures + 1; i < m_nFailures && seconds < kLongestPauseSeconds; ++i)
        seconds *= 2;
    if (seconds > kLongestPauseSeconds)
        seconds = kLongestPauseSeconds;
    m_tResume = now + seconds;
    return seconds;
}

void CLogonGuard::OnSuccess()
{
    m_nFailures = 0;
    m_tResume = 0;
}
