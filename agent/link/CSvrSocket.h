#pragma once

#include "CLogonGuard.h"
#include "CMessage.h"
#include "CReplySource.h"
#include "CSendQueue.h"
#include "CSocket.h"
#include "CStreamBuf.h"
#include "LOGONUSER.h"
#include "TPtrList.h"

#include <ctime>

class CServerOwner;
class CVirtualFolder;

// One accepted management connection. TCP delivers a byte stream, so the
// receive buffer gathers packets across reads and every complete one is
// handled in arrival order; what the kernel does not take of a reply waits
// in a send queue. The socket never blocks, so a slow or silent peer never
// holds up the others.
//
// A connection carries the user logons made on it; folder commands run
// with the current one's user handle. Its clock tick pings a silent peer,
// logs off idle logons and drops a peer that stays silent, or that never
// logs a user on.
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
        // Silence after which the peer is pinged and its logons go, and the
        // number of pings after which the connection itself goes.
        kIdleSeconds = 120,
        kMostPings = 10,
        // A connection that has not logged a user on this long after it
        // was accepted holds a descriptor for nothing and is dropped.
        kLogonGraceSeconds = 180,
        // A peer that takes none of the output waiting for it this long
        // has stopped reading, whatever the amount.
        kStallSeconds = 30,
        // A long reply is made while less than this waits unsent, at most
        // kReplyBatch packets in one pass of the loop.
        kReplyLowWater = 64 * 1024,
        kReplyBatch = 256,
    };

    explicit CSvrSocket(int nBufSize);
    virtual ~CSvrSocket();

    void Init(CServerOwner* pDoc);
    // Reads what the peer sent and handles every complete packet in it.
    void ReceiveMessage();
    void SendMessage(CMessage* pMsg);
    void NotifyServer(int nCode, const char* szText);
    void ReportFinish(CMessage* pMsg, int nCode);
    // Answers the request in pRequest with the packets source makes, as
    // fast as the peer takes them; the requests after it wait until the
    // reply is complete. The connection takes source over.
    void StartReply(const CMessage* pRequest, CReplySource* source);
    bool IsReplying() const { return m_pReply != nullptr; }
    // Sends the close notice (unless the transport failed) and closes.
    // Runs once; later calls do nothing.
    void Disconnect();
    void SetCurrentFolder(CVirtualFolder* pFolder) { m_pCurFolder = pFolder; }
    // The time-outs: an incomplete packet, the keep-alive ping, the idle
    // logoff, the logon grace time and the end of a pause after failed
    // logons.
    void OnClockTick();

    // Executes an access command (user, logon, logoff) and answers it with
    // one closing reply.
    void OnUserAccess(CMessage* pMsg);
    // Appends a new record, or folds it into an equal one already held
    // (logging the new one off); *ppUser is the record kept. True.
    bool AddUserToList(LOGONUSER** ppUser);
    // Logs the record's user off and frees the record; whether the account
    // manager took the logoff.
    bool LogoutUser(LOGONUSER* pUser);
    void LogoutAllUsers();
    // The current logon's user handle, or null.
    void* GetUserSSN() const { return m_pCurUser ? m_pCurUser->m_nUserSSN : nullptr; }
    // The current logon's location value (two words), or null.
    const unsigned long* GetUserLocation() const { return m_pCurUser ? m_pCurUser->m_dwLocation : nullptr; }
    // Whether input is held back after failed logons.
    bool IsPaused() const { return m_Guard.IsPaused(time(nullptr)); }
    // Sends what waits in the send queue, as far as the socket takes it.
    void SendPending();
    // Output waits in the send queue, or a long reply is still being made.
    bool HasPendingOutput() const { return !m_Queue.IsEmpty() || m_pReply; }
    bool IsDisconnected() const { return m_bDisconnected; }

    CStreamBuf m_RecvBuf;
    CServerOwner* m_pDoc = nullptr;
    time_t m_tLastAccess = 0;
    int m_nIdleCount = 0;
    bool m_bBroken = false;
    CMessage m_Msg;
    CVirtualFolder* m_pCurFolder = nullptr;
    LOGONUSER* m_pCurUser = nullptr;
    TPtrList<LOGONUSER> m_LogonList;

private:
    int AccessUser(const CString& arg);
    int AccessLogon(CMessage* pMsg, const CString& arg);
    int AccessLogoff(const CString& arg);
    // The record of this connection with that logon handle, or null.
    LOGONUSER* FindLogon(unsigned long nLogon);
    unsigned NewLogonHandle();
    void OnLogonFailure(const char* szUser);
    // The keep-alive rules; false when they removed the connection.
    bool KeepAlive(time_t now);
    void ResumeIfDue(time_t now);
    void HandleReceived();
    void HandleOnePacket(int nPacket);
    void StartDiscard(int nPacket);
    // Reads away the rest of a too-large request; true once it is all gone.
    bool Discard();
    void DropFront(int n);
    void NotePartial();
    bool HasUnreadBytes();
    void RejectPacket();
    bool Deliver(const char* data, int n);
    void CheckQueueLimit();
    // Makes and sends the next packets of the long reply while little
    // waits unsent.
    void ContinueReply();
    void EndReply();
    // Drops a peer that took nothing of its waiting output for too long;
    // false when it did.
    bool CheckStall(time_t now);
    void OnSendFailure(int nResult);
    void OnReceiveFailure(int nResult);
    // Takes the connection out through the document, once.
    void Remove();
    void DrainInput();
    bool IsStream() const;

    CSendQueue m_Queue;
    // When the socket last took some of the output.
    time_t m_tOutputMoved = 0;
    // The long reply being made, and its packet.
    CReplySource* m_pReply = nullptr;
    CMessage m_ReplyMsg;
    // Bytes in m_RecvBuf: the start of a packet not yet complete.
    int m_nHave = 0;
    // Bytes of a too-large request still to read away, and its size.
    int m_nDiscard = 0;
    int m_nDiscardTotal = 0;
    // When the bytes of the incomplete packet in m_RecvBuf last grew, or 0.
    time_t m_tPartial = 0;
    bool m_bDisconnected = false;
    time_t m_tAccepted = 0;
    bool m_bLoggedOnOnce = false;
    unsigned m_nLastLogon = 0;
    CLogonGuard m_Guard;
    // Set while complete packets wait in m_RecvBuf for a pause to end.
    bool m_bHeld = false;
};
