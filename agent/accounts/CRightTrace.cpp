#include "CRightTrace.h"

#include "CLog.h"
#include "CString.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char CRightTrace::szTracePath[] = "/tmp/right.txt";
const char* CRightTrace::m_pszPath = CRightTrace::szTracePath;

namespace
{
// O_NONBLOCK keeps a planted FIFO from stopping the agent in open.
int OpenTrace(const char* path)
{
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1)
    {
        close(fd);
        return -1;
    }
    return fd;
}
} // namespace

bool CRightTrace::Append(const char* szUser, unsigned nRight, int nAdmins)
{
    const int fd = OpenTrace(m_pszPath);
    if (fd < 0)
    {
        ShowInfo("%s is no plain file of the agent's own, no trace written\n", m_pszPath);
        return false;
    }
    CString line;
    line.Format("user %s, right= %x, nadmin= %d\n", szUser, nRight, nAdmins);
    const bool bWritten = write(fd, line.GetBuffer(), line.GetLength()) == line.GetLength();
    close(fd);
    return bWritten;
}
