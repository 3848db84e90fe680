#pragma once

#include "CMessage.h"
#include "CSendQueue.h"
#include "CSocket.h"
#include "CStreamBuf.h"

#include <ctime>

class CAgentDoc;
class CVirtualFolder;

// One accepted management connection. TCP delivers a byte stream, so the
// receive buffer gathers packets across reads and every complete one is
// handled in arrival order; what the kernel does not take of a reply waits
// in a send queue. The socket never blocks, so a slow or silent peer never
// holds up the others.
class CSvrSocket : public CSocket
{
public:
    enum
    {
        // Unsent output beyond this drops the connection: a peer that
        // does not read its replies must not make the agent grow.
        kMaxQueuedOutput = 1 << 20,
        // A packet left incomplete this long, with nothing more arriving,
        // is taken as malformed.
        kPartialSeconds = 4,
    };

    explicit CSvrSocket(int nBufSize);
    virtual ~CSvrSocket();

    void Init(CAgentDoc* pDoc);
    // Reads what the peer sent and handles every complete packet in it.
    void ReceiveMessage();
    void SendMessage(CMessage* pMsg);
    void NotifyServer(int nCode, const char* szText);
    void ReportFinish(CMessage* pMsg, int nCode);
    // Sends the close notice (unless the transport failed) and closes.
    // Runs once; later calls do nothing.
    void Disconnect();
    void SetCurrentFolder(CVirtualFolder* pFolder) { m_pCurFolder = pFolder; }
    // Ends a connection whose packet has stayed incomplete too long.
    void OnClockTick();
    // Sends what waits in the send queue, as far as the socket takes it.
    void SendPending();
    bool HasPendingOutput() const { return !m_Queue.IsEmpty(); }
    bool IsDisconnected() const { return m_bDisconnected; }

    CStreamBuf m_RecvBuf;
    CAgentDoc* m_pDoc = nullptr;
    time_t m_tLastAccess = 0;
    int m_nIdleCount = 0;
    bool m_bBroken = false;
    CMessage m_Msg;
    CVirtualFolder* m_pCurFolder = nullptr;

private:
    void HandleReceived();
    void HandleOnePacket(int nPacket);
    void StartDiscard(int nPacket);
    // Reads away the rest of a too-large request; true once it is all gone.
    bool Discard();
    void DropFront(int n);
    void NotePartial();
    void RejectPacket();
    bool Deliver(const char* data, int n);
    void CheckQueueLimit();
    void OnSendFailure(int nResult);
    void OnReceiveFailure(int nResult);
    // Takes the connection out through the document, once.
    void Remove();
    void DrainInput();
    bool IsStream() const;

    CSendQueue m_Queue;
    // Bytes in m_RecvBuf: the start of a packet not yet complete.
    int m_nHave = 0;
    // Bytes of a too-large request still to read away, and its size.
    int m_nDiscard = 0;
    int m_nDiscardTotal = 0;
    // When the bytes of the incomplete packet in m_RecvBuf last grew, or 0.
    time_t m_tPartial = 0;
    bool m_bDisconnected = false;
};
