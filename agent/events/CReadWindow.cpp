#include "CReadWindow.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

CReadWindow::CReadWindow(uint32_t nReach) : m_nReach(nReach) {}

CReadWindow::~CReadWindow() = default;

bool CReadWindow::Fetch(int fd, uint32_t offset, uint32_t n, uint32_t limit, void* dest)
{
    if (n > kLargestFill || n > limit || offset > limit - n)
        return false;
    if (!Holds(offset, n) && !Fill(fd, offset, n, limit))
        return false;
    memcpy(dest, m_Buf.GetBuf() + (offset - m_nStart), n);
    return true;
}

void CReadWindow::Drop()
{
    m_nUsed = 0;
    m_nFill = kFirstFill;
}

bool CReadWindow::Holds(uint32_t offset, uint32_t n) const
{
    return m_nUsed > 0 && offset >= m_nStart &&
           uint64_t(offset) + n <= uint64_t(m_nStart) + m_nUsed;
}

// Reading goes on from `offset`, unless the owner jumped back before the
// window: then the walk probably goes on backward, and the window ends a
// reach after `offset` so that it holds what lies before.
uint32_t CReadWindow::FillStart(uint32_t offset, uint32_t n, uint32_t size, uint32_t limit) const
{
    if (m_nUsed == 0 || offset >= m_nStart)
        return offset;
    uint64_t end = uint64_t(offset) + m_nReach;
    if (end > limit)
        end = limit;
    if (end < uint64_t(offset) + n)
        end = uint64_t(offset) + n;
    if (end - offset > size)
        return offset;
    return end > size ? static_cast<uint32_t>(end - size) : 0;
}

bool CReadWindow::Fill(int fd, uint32_t offset, uint32_t n, uint32_t limit)
{
    uint32_t size = m_nFill > n ? m_nFill : n;
    uint32_t start = FillStart(offset, n, size, limit);
    if (size > limit - start)
        size = limit - start;
    if (!m_Buf.GetBuf())
        m_Buf.AllocateBuf(kLargestFill);
    m_nUsed = 0;
    ssize_t got;
    do
        got = pread(fd, m_Buf.GetBuf(), size, start);
    while (got < 0 && errno == EINTR);
    if (got < 0 || uint64_t(start) + static_cast<uint64_t>(got) < uint64_t(offset) + n)
        return false;
    m_nStart = start;
    m_nUsed = static_cast<uint32_t>(got);
    m_nFill = m_nFill < kLargestFill / 2 ? m_nFill * 2 : kLargestFill;
    return true;
}
