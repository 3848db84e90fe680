#pragma once

// One agent per machine: an exclusive lock on a file that also holds the
// process id of the agent that has it. The kernel lets go of the lock when
// the process ends, however it ends, so a killed agent leaves nothing that
// keeps the next one from starting.
class CInstanceLock
{
public:
    explicit CInstanceLock(const char* szPath) : m_szPath(szPath) {}
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Takes the lock for the rest of the process's life and writes the
    // process id into the file. False, with one line on standard error,
    // when another process holds it (the file is then left exactly as it
    // was) or when the file cannot be used.
    bool Take();

private:
    // The process id the file names, or 0 when it names none.
    static long ReadHolder(int fd);
    void TellHolder(int fd) const;
    void WriteOwnId(int fd) const;

    const char* m_szPath;
    // Kept open, and so locked, until the process ends.
    int m_fd = -1;
};
