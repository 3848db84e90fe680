#include "CInstanceLock.h"

#include "CLog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Room for any process id and its line break.
const int kIdTextSize = 24;
} // namespace

bool CInstanceLock::Take()
{
    // Only a plain file of this name will do: a link planted in its place
    // is neither followed nor written through.
    const int fd = open(m_szPath, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
    {
        UrgentInfo("dorvik: cannot open the lock file %s: %s\n", m_szPath, strerror(errno));
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        UrgentInfo("dorvik: the lock file %s is no plain file\n", m_szPath);
        close(fd);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        if (errno == EWOULDBLOCK)
            TellHolder(fd);
        else
            UrgentInfo("dorvik: cannot lock %s: %s\n", m_szPath, strerror(errno));
        close(fd);
        return false;
    }
    WriteOwnId(fd);
    m_fd = fd;
    return true;
}

long CInstanceLock::ReadHolder(int fd)
{
    char text[kIdTextSize] = "";
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    char* end = nullptr;
    const long pid = strtol(text, &end, 10);
    return end != text && (*end == '\n' || *end == '\0') && pid > 0 ? pid : 0;
}

// The holder writes its id right after it has the lock; a start that comes
// in between learns only that the lock is held.
void CInstanceLock::TellHolder(int fd) const
{
    const long pid = ReadHolder(fd);
    if (pid > 0)
        UrgentInfo("dorvik: another agent is running as process %ld and holds %s; stop it first\n", pid, m_szPath);
    else
        UrgentInfo("dorvik: another agent is running and holds %s; stop it first\n", m_szPath);
}

// A failed write leaves the lock taken: it, not the id, keeps a second
// agent out.
void CInstanceLock::WriteOwnId(int fd) const
{
    char text[kIdTextSize];
    const int n = snprintf(text, sizeof text, "%ld\n", static_cast<long>(getpid()));
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text, static_cast<size_t>(n), 0) != n)
        UrgentInfo("dorvik: cannot write the process id into %s: %s\n", m_szPath, strerror(errno));
}
