#pragma once

#include "CObject.h"
#include "CStreamBuf.h"
#include "TPtrList.h"

class CSocket;

// The bytes of a connection that the kernel did not take yet, in order. A
// packet goes out whole or not at all from the peer's point of view, so
// whatever a send leaves over waits here for the socket to drain.
class CSendQueue : public CObject
{
public:
    CSendQueue() = default;
    ~CSendQueue();
    CSendQueue(const CSendQueue&) = delete;
    CSendQueue& operator=(const CSendQueue&) = delete;

    void Append(const char* data, int n);
    // Sends from the front until the queue is empty or the socket is full.
    // Returns 1 then, or the result of the send that failed (0, -1 with
    // errno, or CSocket::kWrongKind).
    int Flush(CSocket& socket);
    int GetLength() const { return m_nBytes; }
    bool IsEmpty() const { return m_nBytes == 0; }
    void Clear();

private:
    void DropFront();

    TPtrList<CStreamBuf> m_Chunks;
    // Bytes of the front chunk already sent.
    int m_nOffset = 0;
    int m_nBytes = 0;
};
