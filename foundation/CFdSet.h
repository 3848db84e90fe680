#pragma once

#include "CObject.h"

#include <sys/select.h>

// A select() read set. Descriptors outside 0..FD_SETSIZE-1 are never added
// and never reported set.
class CFdSet : public CObject
{
public:
    CFdSet() { Zero(); }
    void Zero() { FD_ZERO(&m_set); }
    bool Set(int fd);
    bool IsSet(int fd) const;
    fd_set* GetSet() { return &m_set; }

private:
    fd_set m_set;
};
