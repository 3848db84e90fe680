#pragma once

// Carries signals from their handlers into the agent's loop. A handler only
// writes the signal's number into a pipe; the loop waits on the pipe's read
// end with its sockets and does the signal's work between two passes.
class CSignalPipe
{
public:
    // Recorded by the alarm handler when it is called for another signal.
    static constexpr int kWrongAlarm = 0;
    // What Fetch() returns when nothing is recorded.
    static constexpr int kNone = -1;

    // Creates the pipe once; false when the system refuses one.
    static bool Open();
    // Async-signal-safe; a signal is dropped when the pipe is not open or full.
    static void Record(int sig);
    // The next recorded signal number, oldest first, or kNone.
    static int Fetch();
    // Waits up to nMilliseconds for a signal to be recorded; true when one
    // is waiting to be fetched. An interruption may end the wait early.
    static bool Wait(int nMilliseconds);
    static int GetReadFd() { return m_fdRead; }

private:
    static int m_fdRead;
    static int m_fdWrite;
};
