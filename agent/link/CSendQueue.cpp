#include "CSendQueue.h"

#include "CSocket.h"

#include <cstring>
#include <sys/socket.h>

CSendQueue::~CSendQueue() { Clear(); }

void CSendQueue::Append(const char* data, int n)
{
    if (n < 1)
        return;
    CStreamBuf* chunk = new CStreamBuf;
    try
    {
        chunk->AllocateBuf(n);
    }
    catch (...)
    {
        delete chunk;
        throw;
    }
    memcpy(chunk->GetBuf(), data, n);
    m_Chunks.AppendTail(chunk);
    m_nBytes += n;
}

int CSendQueue::Flush(CSocket& socket)
{
    while (CStreamBuf* chunk = m_Chunks.GetAt(1))
    {
        const int nLeft = chunk->GetLength() - m_nOffset;
        const int nSent = socket.Send(chunk->GetBuf() + m_nOffset, nLeft, MSG_NOSIGNAL);
        if (CSocket::WouldBlock(nSent))
            return 1;
        if (nSent <= 0)
            return nSent;
        m_nBytes -= nSent;
        m_nOffset += nSent;
        if (m_nOffset == chunk->GetLength())
            DropFront();
    }
    return 1;
}

void CSendQueue::DropFront()
{
    delete m_Chunks.GetAt(1);
    m_Chunks.RemoveAt(1);
    m_nOffset = 0;
}

void CSendQueue::Clear()
{
    while (!m_Chunks.IsEmpty())
        DropFront();
    m_nBytes = 0;
}
