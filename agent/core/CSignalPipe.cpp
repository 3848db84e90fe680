#include "CSignalPipe.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

int CSignalPipe::m_fdRead = -1;
int CSignalPipe::m_fdWrite = -1;

bool CSignalPipe::Open()
{
    if (m_fdRead >= 0)
        return true;
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return false;
    m_fdRead = fds[0];
    m_fdWrite = fds[1];
    return true;
}

void CSignalPipe::Record(int sig)
{
    const int saved = errno;
    const unsigned char c = static_cast<unsigned char>(sig);
    // Nothing can be done about a failed write inside a handler.
    const ssize_t n = write(m_fdWrite, &c, 1);
    (void)n;
    errno = saved;
}

int CSignalPipe::Fetch()
{
    unsigned char c;
    return read(m_fdRead, &c, 1) == 1 ? c : kNone;
}

bool CSignalPipe::Wait(int nMilliseconds)
{
    pollfd fd = {m_fdRead, POLLIN, 0};
    return poll(&fd, 1, nMilliseconds) > 0;
}
