#include "CSvrSocket.h"

#include "CAccountManager.h"
#include "CLog.h"
#include "CServerOwner.h"
#include "CVirtualFolder.h"
#include "CXCrypt.h"
#include "PacketSecrets.h"
#include "PacketForm.h"
#include "ReplyTexts.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>

namespace
{
const int kTooLargeReply = 805;
const int kFunctional = 800;
const int kError = 801;
const int kAccessDenied = 802;
const int kNotFound = 803;
const char kPingText[] = "hello buddy!";
// Bytes of unread input taken away before a close; unread input would turn
// the close into a reset that can overtake the close notice.
const int kDrainLimit = 65536;

struct CCloseNotice : CMessage
{
    CCloseNotice()
    {
        m_nCommand = kCmdClose;
        m_nStamp = 0;
        m_nType = kNotice;
    }
};

// The close notice is one packet for the whole process.
CMessage& CloseNotice()
{
    static CCloseNotice msg;
    return msg;
}

// `direction` is "Receive " or "   Send ".
void ShowPacket(const char* direction, int nOctet, const CMessage* pMsg)
{
    if (!CLog::m_bDebugOn)
        return;
    CString label;
    label.Format("%s(%d) :", direction, nOctet);
    const int nSecret = PacketSecrets::SecretStart(*pMsg);
    if (nSecret < 0)
    {
        CLog::ShowMessage(label, pMsg);
        return;
    }
    // Passwords and credentials (which hold the password all but in the
    // clear) never go to the log.
    CMessage shown;
    shown.m_nCommand = pMsg->m_nCommand;
    shown.m_nStamp = pMsg->m_nStamp;
    shown.m_nType = pMsg->m_nType;
    shown.m_strBody = pMsg->m_strBody;
    shown.m_strBody.Left(nSecret);
    shown.m_strBody += "...";
    CLog::ShowMessage(label, &shown);
}

bool IsBlank(const CString& text)
{
    for (int i = 0; i < text.GetLength(); ++i)
    {
        if (text[i] != ' ')
            return false;
    }
    return true;
}

// The hexadecimal number at the start of text (0 when there is none);
// *end, when given, receives where it stops.
unsigned long LeadingHex(const char* text, const char** end = nullptr)
{
    char* stop = nullptr;
    const unsigned long value = strtoul(text, &stop, 16);
    if (end)
        *end = stop;
    return value;
}
} // namespace

// A buffer smaller than the longest header could never hold one whole.
CSvrSocket::CSvrSocket(int nBufSize)
{
    m_RecvBuf.AllocateBuf(nBufSize < PacketForm::kLongHeader ? PacketForm::kLongHeader : nBufSize);
    m_RecvBuf.Zero(0);
}

// The logons are given back, so the account manager does not keep
// references for connections that are gone.
CSvrSocket::~CSvrSocket()
{
    EndReply();
    LogoutAllUsers();
    Close();
}

void CSvrSocket::Init(CServerOwner* pDoc)
{
    m_pDoc = pDoc;
    m_pCurFolder = pDoc ? pDoc->GetRootFolder() : nullptr;
    m_tLastAccess = time(nullptr);
    m_tAccepted = m_tLastAccess;
}

void CSvrSocket::ReceiveMessage()
{
    m_tLastAccess = time(nullptr);
    m_nIdleCount = 0;
    char* buf = m_RecvBuf.GetBuf();
    const int nGot = Receive(buf + m_nHave, m_RecvBuf.GetLength() - m_nHave, 0);
    if (WouldBlock(nGot))
        return;
    if (nGot <= 0)
    {
        OnReceiveFailure(nGot);
        return;
    }
    m_nHave += nGot;
    m_tPartial = 0;
    HandleReceived();
}

void CSvrSocket::OnReceiveFailure(int nResult)
{
    const int nError = errno;
    if (nResult == kWrongKind)
        ShowInfo("ReceiveMessage error,CSocket internal error\n");
    else if (nResult < 0)
        ShowInfo("From %s Receive() return -1 with errno %d(Dec)\t%x(Hex)!\n%s\n", GetRemoteIP(), nError,
                 static_cast<unsigned>(nError), strerror(nError));
    else
        ShowInfo("No Message received from %s!\n", GetRemoteIP());
    m_bBroken = true;
    Remove();
}

// Every complete packet is handled in the order it came; a handler may end
// the connection, and then what follows it is not looked at.
void CSvrSocket::HandleReceived()
{
    // Requests wait while a long reply is made: replies never interleave.
    while (!m_bDisconnected && !m_pReply)
    {
        m_bHeld = m_nHave > 0 && IsPaused();
        if (m_bHeld)
            return;
        if (m_nDiscard > 0 && !Discard())
            return;
        const int nPacket =
            PacketForm::PacketLength(reinterpret_cast<const unsigned char*>(m_RecvBuf.GetBuf()), m_nHave);
        if (nPacket == PacketForm::kMalformed)
        {
            RejectPacket();
            return;
        }
        if (nPacket > m_RecvBuf.GetLength())
        {
            StartDiscard(nPacket);
            continue;
        }
        if (nPacket == PacketForm::kNeedMore || nPacket > m_nHave)
        {
            NotePartial();
            return;
        }
        HandleOnePacket(nPacket);
    }
}

void CSvrSocket::HandleOnePacket(int nPacket)
{
    m_Msg.Init();
    m_Msg.ParsePool(m_RecvBuf.GetBuf(), nPacket);
    DropFront(nPacket);
    NotePartial();
    ShowPacket("Receive ", GetRemote_b4IP(), &m_Msg);
    if (m_pCurFolder)
        m_pCurFolder->OnProcessCommand(this);
}

// A request larger than the receive buffer is never acted on in part: it
// is read away by its declared length and refused.
void CSvrSocket::StartDiscard(int nPacket)
{
    ShowInfo("ReceiveMessage error,too large data package\n");
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(m_RecvBuf.GetBuf());
    m_Msg.Init();
    m_Msg.m_nCommand = PacketForm::ReadWord(bytes, 0);
    m_Msg.m_nStamp = PacketForm::ReadWord(bytes, 4);
    m_Msg.m_nType = PacketForm::ReadWord(bytes, 8);
    m_nDiscard = nPacket;
    m_nDiscardTotal = nPacket;
}

bool CSvrSocket::Discard()
{
    const int nDrop = m_nDiscard < m_nHave ? m_nDiscard : m_nHave;
    DropFront(nDrop);
    m_nDiscard -= nDrop;
    if (m_nDiscard > 0)
        return false;
    ShowInfo("Total received %d bytes\n", m_nDiscardTotal);
    ReportFinish(&m_Msg, kTooLargeReply);
    return !m_bDisconnected;
}

void CSvrSocket::DropFront(int n)
{
    char* buf = m_RecvBuf.GetBuf();
    memmove(buf, buf + n, m_nHave - n);
    m_nHave -= n;
    m_RecvBuf.Zero(m_nHave);
}

void CSvrSocket::NotePartial()
{
    if (m_nHave == 0)
        m_tPartial = 0;
    else if (m_tPartial == 0)
        m_tPartial = time(nullptr);
}

// The decoder prints why it refuses the bytes; the peer still gets the
// close notice, since its transport works.
void CSvrSocket::RejectPacket()
{
    m_Msg.Init();
    m_Msg.ParsePool(m_RecvBuf.GetBuf(), m_nHave);
    m_nHave = 0;
    NotePartial();
    Remove();
}

bool CSvrSocket::HasUnreadBytes()
{
    int nWaiting = 0;
    return ioctl(GetSd(), FIONREAD, &nWaiting) == 0 && nWaiting > 0;
}

void CSvrSocket::OnClockTick()
{
    const time_t now = time(nullptr);
    ResumeIfDue(now);
    if (m_bDisconnected || !CheckStall(now) || m_bHeld)
        return;
    if (m_tPartial != 0 && now - m_tPartial >= kPartialSeconds)
    {
        // Bytes still waiting to be read mean the agent fell behind, not
        // that the peer stopped in the middle of a request.
        if (HasUnreadBytes())
            m_tPartial = now;
        else
        {
            RejectPacket();
            return;
        }
    }
    if (!KeepAlive(now))
        return;
    if (!m_bLoggedOnOnce && now - m_tAccepted >= kLogonGraceSeconds)
    {
        ShowInfo("%s logged no user on within %d seconds, connection dropped\n", GetRemoteIP(),
                 static_cast<int>(kLogonGraceSeconds));
        Remove();
    }
}

bool CSvrSocket::CheckStall(time_t now)
{
    // A long reply may wait with nothing queued: its next packets are made
    // only once the socket takes more.
    if (!HasPendingOutput() || now - m_tOutputMoved < kStallSeconds)
        return true;
    ShowInfo("%s does not read its replies: none taken for %d seconds, connection dropped\n", GetRemoteIP(),
             static_cast<int>(kStallSeconds));
    m_Queue.Clear();
    m_bBroken = true;
    Remove();
    return false;
}

bool CSvrSocket::KeepAlive(time_t now)
{
    if (m_tLastAccess == 0 || GetSd() < 0)
        return true;
    const time_t idle = now - m_tLastAccess;
    if (idle <= kIdleSeconds)
        return true;
    const time_t k = idle / kIdleSeconds;
    if (k > m_nIdleCount)
    {
        m_nIdleCount = static_cast<int>(k > kMostPings + 1 ? kMostPings + 1 : k);
        if (m_nIdleCount > kMostPings)
        {
            Remove();
            return false;
        }
        NotifyServer(CMessage::kCmdPing, kPingText);
    }
    if (!m_LogonList.IsEmpty())
        LogoutAllUsers();
    return !m_bDisconnected;
}

// Packets that came while the connection was held are served once the
// pause is over; they were complete, so none of them counts as a stall.
void CSvrSocket::ResumeIfDue(time_t now)
{
    if (!m_bHeld || m_Guard.IsPaused(now) || m_bDisconnected)
        return;
    m_bHeld = false;
    m_tPartial = 0;
    HandleReceived();
}

void CSvrSocket::OnUserAccess(CMessage* pMsg)
{
    const CString& body = pMsg->m_strBody;
    const int nBlank = body.FindIndex(' ');
    int nResult = kNotFound;
    if (nBlank >= 0)
    {
        CString verb = body;
        verb.Left(nBlank);
        CString arg = body;
        arg.Mid(nBlank + 1);
        if (verb.EqualByNoCase("user"))
            nResult = AccessUser(arg);
        else if (verb.EqualByNoCase("logon"))
            nResult = AccessLogon(pMsg, arg);
        else if (verb.EqualByNoCase("logoff"))
            nResult = AccessLogoff(arg);
        else
            nResult = kFunctional;
    }
    ReportFinish(pMsg, nResult);
}

int CSvrSocket::AccessUser(const CString& arg)
{
    if (IsBlank(arg))
        return kNotFound;
    m_pCurUser = FindLogon(LeadingHex(arg));
    return m_pCurUser ? kFunctional : kAccessDenied;
}

int CSvrSocket::AccessLogon(CMessage* pMsg, const CString& arg)
{
    const int nAt = arg.FindIndex('@');
    if (nAt < 0 || IsBlank(arg))
    {
        OnLogonFailure("");
        return kNotFound;
    }
    LOGONUSER* pUser = new LOGONUSER;
    const char* rest = nullptr;
    pUser->m_dwLocation[0] = LeadingHex(arg, &rest);
    pUser->m_dwLocation[1] = LeadingHex(rest);
    CXCrypt credential;
    if (!credential.DecodeUserProfile(arg.GetBuffer() + nAt + 1))
    {
        delete pUser;
        OnLogonFailure("");
        return kNotFound;
    }
    if (g_am.LoginUser(credential.m_strUser, credential.m_strPassword, &pUser->m_nUserSSN) != 0)
    {
        delete pUser;
        OnLogonFailure(credential.m_strUser);
        return kAccessDenied;
    }
    AddUserToList(&pUser);
    m_pCurUser = pUser;
    m_bLoggedOnOnce = true;
    m_Guard.OnSuccess();
    pMsg->m_nType = CMessage::kData;
    pMsg->m_strBody.Format("logon %08x", pUser->m_nLogon);
    SendMessage(pMsg);
    return kFunctional;
}

int CSvrSocket::AccessLogoff(const CString& arg)
{
    LOGONUSER* pUser = IsBlank(arg) ? nullptr : FindLogon(LeadingHex(arg));
    if (!pUser)
        return kNotFound;
    if (pUser == m_pCurUser)
        m_pCurUser = nullptr;
    m_LogonList.RemoveAt(m_LogonList.FindIndex(pUser));
    return LogoutUser(pUser) ? kFunctional : kError;
}

void CSvrSocket::OnLogonFailure(const char* szUser)
{
    const int nPause = m_Guard.OnFailure(time(nullptr));
    ShowInfo("Failed logon of \"%s\" from %s (%d in a row)\n", szUser, GetRemoteIP(), m_Guard.GetFailures());
    if (nPause > 0)
        ShowInfo("Requests from %s wait %d seconds\n", GetRemoteIP(), nPause);
}

bool CSvrSocket::AddUserToList(LOGONUSER** ppUser)
{
    LOGONUSER* pNew = *ppUser;
    for (int i = 1; i <= m_LogonList.GetCount(); ++i)
    {
        LOGONUSER* pHeld = m_LogonList.GetAt(i);
        if (pHeld->IsSameLogon(*pNew))
        {
            LogoutUser(pNew);
            *ppUser = pHeld;
            return true;
        }
    }
    pNew->m_nLogon = NewLogonHandle();
    m_LogonList.AppendTail(pNew);
    return true;
}

unsigned CSvrSocket::NewLogonHandle()
{
    do
        ++m_nLastLogon;
    while (m_nLastLogon == 0 || FindLogon(m_nLastLogon));
    return m_nLastLogon;
}

LOGONUSER* CSvrSocket::FindLogon(unsigned long nLogon)
{
    for (int i = 1; i <= m_LogonList.GetCount(); ++i)
    {
        LOGONUSER* pUser = m_LogonList.GetAt(i);
        if (pUser->m_nLogon == nLogon)
            return pUser;
    }
    return nullptr;
}

bool CSvrSocket::LogoutUser(LOGONUSER* pUser)
{
    const bool bDone = g_am.LogoutUser(pUser->m_nUserSSN) == 0;
    delete pUser;
    return bDone;
}

void CSvrSocket::LogoutAllUsers()
{
    m_pCurUser = nullptr;
    while (!m_LogonList.IsEmpty())
    {
        LOGONUSER* pUser = m_LogonList.GetAt(1);
        m_LogonList.RemoveAt(1);
        LogoutUser(pUser);
    }
}

void CSvrSocket::SendMessage(CMessage* pMsg)
{
    pMsg->MakePackage();
    if (Deliver(pMsg->GetBuf(), pMsg->GetLength()))
        ShowPacket("   Send ", GetRemote_b4IP(), pMsg);
}

// Sends at once what the socket takes and queues the rest behind anything
// already waiting, so packets never interleave.
bool CSvrSocket::Deliver(const char* data, int n)
{
    if (m_bBroken)
        return false;
    if (!m_Queue.IsEmpty())
    {
        m_Queue.Append(data, n);
        CheckQueueLimit();
        return !m_bBroken;
    }
    const int nSent = Send(data, n, MSG_NOSIGNAL);
    if (nSent > 0)
        m_tOutputMoved = time(nullptr);
    if (nSent == n)
        return true;
    if (nSent > 0 || WouldBlock(nSent))
    {
        const int nTaken = nSent > 0 ? nSent : 0;
        m_Queue.Append(data + nTaken, n - nTaken);
        CheckQueueLimit();
        return !m_bBroken;
    }
    OnSendFailure(nSent);
    return false;
}

void CSvrSocket::CheckQueueLimit()
{
    if (m_Queue.GetLength() <= kMaxQueuedOutput)
        return;
    ShowInfo("%s does not read its replies: more than %d bytes wait, connection dropped\n", GetRemoteIP(),
             static_cast<int>(kMaxQueuedOutput));
    m_Queue.Clear();
    m_bBroken = true;
    Remove();
}

void CSvrSocket::SendPending()
{
    const int nBefore = m_Queue.GetLength();
    const int nResult = m_Queue.Flush(*this);
    if (nResult <= 0)
    {
        OnSendFailure(nResult);
        return;
    }
    if (m_Queue.GetLength() < nBefore)
        m_tOutputMoved = time(nullptr);
    if (!m_pReply)
        return;
    ContinueReply();
    // The requests that waited behind the reply are served now.
    if (!m_pReply)
        HandleReceived();
}

void CSvrSocket::StartReply(const CMessage* pRequest, CReplySource* source)
{
    EndReply();
    m_pReply = source;
    m_ReplyMsg.Init();
    m_ReplyMsg.m_nCommand = pRequest->m_nCommand;
    m_ReplyMsg.m_nStamp = pRequest->m_nStamp;
    ContinueReply();
}

void CSvrSocket::ContinueReply()
{
    for (int n = 0; m_pReply && n < kReplyBatch && m_Queue.GetLength() < kReplyLowWater; ++n)
    {
        if (m_bBroken || !m_pReply->Next(m_ReplyMsg))
        {
            EndReply();
            return;
        }
        const bool bLast = m_ReplyMsg.m_nType == CMessage::kFinish;
        SendMessage(&m_ReplyMsg);
        if (bLast)
            EndReply();
    }
}

void CSvrSocket::EndReply()
{
    delete m_pReply;
    m_pReply = nullptr;
}

void CSvrSocket::OnSendFailure(int nResult)
{
    const int nError = errno;
    if (nResult == kWrongKind)
        ShowInfo("SendMessage error,CSocket internal error\n");
    else if (nResult == 0)
        ShowInfo("No Message send to %s!\n", GetRemoteIP());
    else
        ShowInfo("To %s Send() return -1 with errno %d(Dec)\t%x(Hex)!\n%s\n", GetRemoteIP(), nError,
                 static_cast<unsigned>(nError), strerror(nError));
    m_Queue.Clear();
    m_bBroken = true;
    Remove();
}

void CSvrSocket::NotifyServer(int nCode, const char* szText)
{
    CMessage msg;
    msg.m_nCommand = nCode;
    msg.m_nStamp = static_cast<int>(time(nullptr));
    msg.m_nType = CMessage::kNotice;
    msg.m_strBody = szText;
    CLog::ShowMessage("Notify Server:");
    SendMessage(&msg);
}

void CSvrSocket::ReportFinish(CMessage* pMsg, int nCode)
{
    pMsg->MakeFinish(nCode);
    SendMessage(pMsg);
}

void CSvrSocket::Remove()
{
    if (m_bDisconnected)
        return;
    if (m_pDoc)
        m_pDoc->RemoveServer(this);
    else
        Disconnect();
}

void CSvrSocket::Disconnect()
{
    if (m_bDisconnected)
        return;
    m_bDisconnected = true;
    EndReply();
    if (!IsStream())
        ShowInfo("Disconnect error,we use tcp to exchange data\n");
    if (!m_bBroken)
    {
        SendMessage(&CloseNotice());
        m_Queue.Flush(*this);
        DrainInput();
    }
    Close();
    ShowInfo("close connection with %s\n", GetRemoteIP());
}

void CSvrSocket::DrainInput()
{
    char scrap[4096];
    int nGot = 0;
    for (int nTotal = 0; nTotal < kDrainLimit; nTotal += nGot)
    {
        nGot = Receive(scrap, sizeof scrap, MSG_DONTWAIT);
        if (nGot <= 0)
            return;
    }
}

bool CSvrSocket::IsStream() const
{
    int nType = 0;
    socklen_t nLength = sizeof nType;
    return getsockopt(GetSd(), SOL_SOCKET, SO_TYPE, &nType, &nLength) == 0 && nType == SOCK_STREAM;
}
