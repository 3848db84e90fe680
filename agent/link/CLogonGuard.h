#pragma once

#include <ctime>

// Slows down the guessing of passwords on one connection: the first few
// failed logons cost nothing, each one after that holds the connection's
// input back for a while that doubles up to a limit. A good logon starts
// the count afresh, and nothing here ever locks an account.
class CLogonGuard
{
public:
    enum
    {
        kFreeFailures = 2,
        kFirstPauseSeconds = 2,
        kLongestPauseSeconds = 30,
    };

    // Counts a failed logon at `now`; returns how many seconds the
    // connection waits before its next request is read (0: none).
    int OnFailure(time_t now);
    void OnSuccess();
    // Whether input is held back at `now`.
    bool IsPaused(time_t now) const { return now < m_tResume; }
    int GetFailures() const { return m_nFailures; }

private:
    int m_nFailures = 0;
    time_t m_tResume = 0;
};
