#include "CFdSet.h"

namespace
{
// FD_SET and FD_ISSET index a fixed bit array without any check.
bool InRange(int fd) { return fd >= 0 && fd < FD_SETSIZE; }
}

bool CFdSet::Set(int fd)
{
    if (!InRange(fd))
        return false;
    FD_SET(fd, &m_set);
    return true;
}

bool CFdSet::IsSet(int fd) const { return InRange(fd) && FD_ISSET(fd, &m_set); }
