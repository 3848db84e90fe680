#include "CEmail.h"

#include "CException.h"
#include "CLog.h"
#include "CProfile.h"
#include "CSocket.h"
#include "MonotonicClock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/socket.h>
#include <sys/time.h>

CString CEmail::m_EmailID;
CString CEmail::m_SMTPServer;
TPtrList<CString> CEmail::m_UserList;
int CEmail::m_nEnable = 0;
bool CEmail::m_bInited = false;
int CEmail::m_iRef = 0;
unsigned CEmail::m_nUnread = 0;
int CEmail::m_nLastReceiverKey = 0;

namespace
{
const char kSection[] = "E-Mail log";
const char kReceiverKey[] = "Receiptor-%d";
const int kReplySize = 1023;
const char kTimeOut[] = "Time Out waiting for ";
const char kClosed[] = "Connection closed by ";
// Longest body line a server must take, without its line end; one more for
// a leading dot.
const size_t kMaxLine = 997;

// A text put into a command or a header line: a line break inside it would
// start a command or header of its own.
CString OneLine(const char* text)
{
    CString line;
    const char* p = text ? text : "";
    while (*p)
    {
        size_t n = strcspn(p, "\r\n");
        CString piece(p);
        piece.Left(static_cast<int>(n));
        line += piece;
        p += n;
        if (*p)
        {
            line += " ";
            ++p;
        }
    }
    return line;
}

// Whether `reply` holds a whole answer: it ends a line, and that last line
// is not one of the "250-" lines that announce more.
bool IsWholeReply(const CString& reply)
{
    int n = reply.GetLength();
    if (n == 0 || reply[n - 1] != '\n')
        return false;
    int start = n - 1;
    while (start > 0 && reply[start - 1] != '\n')
        --start;
    return reply[start + 3] != '-';
}

// A body line that begins with "." gets one more, so that no line of the
// text can end the message early; a line longer than a server takes is
// broken in pieces that it does.
CString MakeTransparent(const char* body)
{
    CString out;
    const char* line = body;
    while (line && *line)
    {
        const char* end = strstr(line, "\r\n");
        size_t length = end ? static_cast<size_t>(end - line) : strlen(line);
        size_t taken = length < kMaxLine ? length : kMaxLine;
        CString piece(line);
        piece.Left(static_cast<int>(taken));
        if (*line == '.')
            out += ".";
        out += piece;
        if (taken < length || end)
            out += "\r\n";
        line = taken < length ? line + taken : (end ? end + 2 : nullptr);
    }
    return out;
}

// The current local time as ctime writes it, without its line feed.
CString LocalDate()
{
    time_t now = time(nullptr);
    char text[32] = "";
    ctime_r(&now, text);
    CString date(text);
    date.TrimRight('\n');
    return date;
}
} // namespace

CEmail::CEmail()
{
    InitSetting();
}

CEmail::~CEmail()
{
    SaveSetting();
}

void CEmail::InitSetting()
{
    ++m_iRef;
    if (m_bInited)
        return;
    CProfile profile;
    m_nUnread = 0;
    NoteUnread(profile.GetProfile(kSection, "SMTP", m_SMTPServer), kUnreadServer);
    NoteUnread(profile.GetProfile(kSection, "EmailID", m_EmailID), kUnreadID);
    ReadReceivers(profile);
    NoteUnread(profile.GetProfile(kSection, "EnableEmail", &m_nEnable), kUnreadEnable);
    m_bInited = true;
}

void CEmail::NoteUnread(CProfile::EntryState state, unsigned setting)
{
    if (state == CProfile::kCut)
        m_nUnread |= setting;
}

CString CEmail::ReceiverKey(int i)
{
    CString key;
    key.Format(kReceiverKey, i);
    return key;
}

void CEmail::ReadReceivers(CProfile& profile)
{
    int count = 0;
    NoteUnread(profile.GetProfile(kSection, "NumOfReceiptor", &count), kUnreadReceivers);
    m_nLastReceiverKey = 0;
    for (int i = 1; i <= count; ++i)
    {
        CString value;
        NoteUnread(profile.GetProfile(kSection, ReceiverKey(i), value), kUnreadReceivers);
        if (value.IsEmpty())
            continue;
        m_UserList.AppendTail(new CString(value));
        m_nLastReceiverKey = i;
    }
}

// Every setting is written, also after one has failed.
bool CEmail::SaveSetting()
{
    if (--m_iRef > 0 || !m_bInited)
        return true;
    CProfile profile;
    bool stored = WriteText(profile, "SMTP", m_SMTPServer, kUnreadServer);
    stored = WriteText(profile, "EmailID", m_EmailID, kUnreadID) && stored;
    stored = WriteReceivers(profile) && stored;
    if (!(m_nUnread & kUnreadEnable))
        stored = profile.WriteProfile(kSection, "EnableEmail", m_nEnable) && stored;
    int count = m_UserList.GetCount();
    for (int i = 1; i <= count; ++i)
        delete m_UserList.GetAt(i);
    m_UserList.RemoveAll();
    m_bInited = false;
    return stored;
}

bool CEmail::WriteText(CProfile& profile, const char* key, const char* value, unsigned setting)
{
    return (m_nUnread & setting) || profile.WriteProfile(kSection, key, value);
}

// The count covers only receivers that were written, and the keys past it
// are blanked, so that no later count brings a removed receiver back.
bool CEmail::WriteReceivers(CProfile& profile)
{
    if (m_nUnread & kUnreadReceivers)
        return true;
    int count = m_UserList.GetCount();
    for (int i = 1; i <= count; ++i)
    {
        if (!profile.WriteProfile(kSection, ReceiverKey(i), *m_UserList.GetAt(i)))
            return false;
    }
    if (!profile.WriteProfile(kSection, "NumOfReceiptor", count))
        return false;
    bool blanked = true;
    for (int i = count + 1; i <= m_nLastReceiverKey; ++i)
        blanked = profile.WriteProfile(kSection, ReceiverKey(i), "") && blanked;
    return blanked;
}

bool CEmail::SetSMTPServer(const char* server)
{
    const char* text = server ? server : "";
    if (!CProfile::CanStore(kSection, "SMTP", text))
        return false;
    m_SMTPServer = text;
    m_nUnread &= ~kUnreadServer;
    return true;
}

bool CEmail::GetSMTPServer(CString& out) const
{
    out = m_SMTPServer;
    return !out.IsEmpty();
}

bool CEmail::SetEmailID(const char* id)
{
    const char* text = id ? id : "";
    if (!CProfile::CanStore(kSection, "EmailID", text))
        return false;
    m_EmailID = text;
    m_nUnread &= ~kUnreadID;
    return true;
}

bool CEmail::GetEmailID(CString& out) const
{
    out = m_EmailID;
    return true;
}

void CEmail::SetEnable(int nEnable)
{
    m_nEnable = nEnable;
    m_nUnread &= ~kUnreadEnable;
}

int CEmail::GetEnable() const
{
    return m_nEnable;
}

int CEmail::FindUser(const char* entry) const
{
    for (int i = 1; entry && i <= m_UserList.GetCount(); ++i)
    {
        if (*m_UserList.GetAt(i) == entry)
            return i;
    }
    return 0;
}

// Receivers only move down the keys, whose names are never longer there.
bool CEmail::CanAddReceiver(const char* entry) const
{
    return CProfile::CanStore(kSection, ReceiverKey(m_UserList.GetCount() + 1), entry);
}

bool CEmail::AddReceiver(const char* entry)
{
    if (!entry || FindUser(entry) != 0 || !CanAddReceiver(entry) || (m_nUnread & kUnreadReceivers))
        return false;
    m_UserList.AppendTail(new CString(entry));
    return true;
}

bool CEmail::RemoveReceiver(const char* entry)
{
    int i = FindUser(entry);
    if (i == 0 || (m_nUnread & kUnreadReceivers))
        return false;
    delete m_UserList.GetAt(i);
    m_UserList.RemoveAt(i);
    return true;
}

bool CEmail::ToString(CString& out) const
{
    out.Empty();
    for (int i = 1; i <= m_UserList.GetCount(); ++i)
    {
        if (i > 1)
            out += ",";
        out += *m_UserList.GetAt(i);
    }
    return true;
}

bool CEmail::NormalizeProfile(CString& entry)
{
    entry.TrimLeft(' ');
    entry.TrimRight(' ');
    int open = entry.FindIndex('<');
    if (open < 0 || entry.Find('\r') || entry.Find('\n'))
        return false;
    CString name(entry);
    name.Left(open);
    CString address(entry.GetBuffer() + open + 1);
    int close = address.FindIndex('>');
    if (close <= 0)
        return false;
    address.Left(close);
    address.TrimLeft(' ');
    address.TrimRight(' ');
    if (address.FindIndex('@') <= 0 || address.FindIndex('.') <= 0)
        return false;
    name.TrimRight(' ');
    int quote = name.FindIndex('"');
    if (quote >= 0)
    {
        CString quoted(name.GetBuffer() + quote + 1);
        int end = quoted.FindIndex('"');
        if (end < 0)
            return false;
        quoted.Left(end);
        name = quoted;
    }
    entry.Format("\"%s\" <%s>", name.GetBuffer(), address.GetBuffer());
    return true;
}

bool EmailFromUserProfile(CString& text)
{
    int open = text.FindIndex('<');
    CString address(open >= 0 ? text.GetBuffer() + open + 1 : "");
    int close = address.FindIndex('>');
    if (open < 0 || close < 0)
    {
        text.Empty();
        return false;
    }
    address.Left(close);
    text = address;
    return true;
}

long long CEmail::TimeLeft() const
{
    long long left = m_nDeadlineMs - MonotonicMs();
    return left < kStepSeconds * 1000LL ? left : kStepSeconds * 1000LL;
}

bool CEmail::LimitWait(CSocket* socket, int option)
{
    long long left = TimeLeft();
    if (left <= 0)
        return false;
    struct timeval limit;
    limit.tv_sec = static_cast<time_t>(left / 1000);
    limit.tv_usec = static_cast<suseconds_t>(left % 1000 * 1000);
    socket->SetSockOpt(option, &limit, sizeof limit, SOL_SOCKET);
    return true;
}

void CEmail::Break(const char* reason)
{
    if (m_bBroken)
        return;
    m_bBroken = true;
    m_strFault = reason;
    m_strFault += m_SMTPServer;
}

bool CEmail::SendAll(CSocket* socket, const char* text)
{
    int left = static_cast<int>(strlen(text));
    while (left > 0 && !m_bBroken)
    {
        if (!LimitWait(socket, SO_SNDTIMEO))
        {
            Break(kTimeOut);
            break;
        }
        int sent = socket->Send(text, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
        {
            Break(sent < 0 && errno == EAGAIN ? kTimeOut : kClosed);
            break;
        }
        text += sent;
        left -= sent;
    }
    return !m_bBroken;
}

// Reads until the answer is whole, within the time left.
bool CEmail::Receive(CSocket* socket, CString& reply)
{
    char buf[kReplySize + 1];
    int got = 0;
    reply.Empty();
    while (got < kReplySize && !IsWholeReply(reply))
    {
        if (!LimitWait(socket, SO_RCVTIMEO))
        {
            Break(kTimeOut);
            return false;
        }
        int n = socket->Receive(buf + got, kReplySize - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            Break(n < 0 && errno == EAGAIN ? kTimeOut : kClosed);
            return false;
        }
        got += n;
        buf[got] = '\0';
        reply = buf;
    }
    return true;
}

int CEmail::Send(CSocket* socket, const char* text, CString* reply, unsigned long flags)
{
    if (text)
        SendAll(socket, text);
    if (flags & 1)
        SendAll(socket, "\r\n");
    if (!reply)
        return m_bBroken ? 0 : 250;
    if (m_bBroken || !Receive(socket, *reply))
        return 0;
    m_strReply = *reply;
    m_strReply.TrimRight('\n');
    m_strReply.TrimRight('\r');
    return atoi(*reply);
}

CEmail::Outcome CEmail::Step(CSocket* socket, const char* command, int expected)
{
    CString reply;
    int code =
        Send(socket, command ? OneLine(command).GetBuffer() : nullptr, &reply, command ? 1 : 0);
    if (m_bBroken)
        return kBroken;
    if (expected == 0 || code == expected)
        return kAccepted;
    ::ShowInfo("Occur error, when send eMail.\n");
    if (m_strFault.IsEmpty())
        m_strFault = m_strReply;
    return kRefused;
}

CString& CEmail::HostName()
{
    static CString strHostName;
    return strHostName;
}

void CEmail::SetHostName(const CString& strHostName) { HostName() = strHostName; }

CString CEmail::SenderAddress() const
{
    CString address(m_EmailID);
    if (EmailFromUserProfile(address) && !address.IsEmpty())
        return address;
    return m_strSender + "@" + HostName();
}

void CEmail::SendHeaders(CSocket* socket, const char* subject)
{
    CString from(m_EmailID);
    if (from.IsEmpty())
    {
        from.Format("\"%s at IP", m_strSender.GetBuffer());
        from = from + socket->GetLocalIP() + "\"<" + m_strSender + "@" + HostName() +
               ">";
    }
    CString to;
    ToString(to);
    const CString lines[] = {"From: " + from, "To: " + to, CString("Subject: ") + subject,
                             "Date: " + LocalDate()};
    for (const CString& line : lines)
        Send(socket, OneLine(line), nullptr, 1);
    Send(socket, nullptr, nullptr, 1);
}

// Unexpected answers are noted and the dialogue goes on, so that a refused
// receiver does not keep the mail from the others; the message itself is
// sent only when the server is ready for it. A lost connection or a wait
// that runs out ends the dialogue.
bool CEmail::Converse(CSocket* socket, const char* subject, const char* body)
{
    const CString& host = HostName();
    if (Step(socket, nullptr, 0) == kBroken || Step(socket, "HELO " + host, 250) == kBroken ||
        Step(socket, "MAIL FROM:<" + SenderAddress() + ">", 250) == kBroken)
        return false;
    for (int i = 1; i <= m_UserList.GetCount(); ++i)
    {
        CString address(*m_UserList.GetAt(i));
        EmailFromUserProfile(address);
        if (Step(socket, "RCPT TO:<" + address + ">", 250) == kBroken)
            return false;
    }
    Outcome data = Step(socket, "DATA", 354);
    if (data == kBroken)
        return false;
    if (data == kAccepted)
    {
        SendHeaders(socket, subject);
        CString first;
        first.Format("Message from %s at %s (%s), IP=<%s>\r\n", m_strSender.GetBuffer(),
                     host.GetBuffer(), host.GetBuffer(), socket->GetLocalIP());
        Send(socket, first, nullptr, 0);
        Send(socket, MakeTransparent(body), nullptr, 1);
        if (Step(socket, ".", 250) == kBroken)
            return false;
    }
    return Step(socket, "QUIT", 221) != kBroken && m_strFault.IsEmpty();
}

bool CEmail::SendMessage(const char* subject, const char* body, CString& error)
{
    error.Empty();
    m_strReply = "Unknown Error";
    m_strFault.Empty();
    m_bBroken = false;
    if (m_UserList.IsEmpty() || m_SMTPServer.IsEmpty())
        return true;
    m_nDeadlineMs = MonotonicMs() + kDialogueSeconds * 1000LL;
    CSocket* pSocket = new CSocket;
    bool sent = false;
    try
    {
        pSocket->Socket(SOCK_STREAM);
        // The send time limit bounds the connecting as well.
        LimitWait(pSocket, SO_SNDTIMEO);
        if (!pSocket->Connect(m_SMTPServer, kSmtpPort))
            error = "Cannot Connect to " + m_SMTPServer;
        else if (!(sent = Converse(pSocket, subject ? subject : "", body ? body : "")))
            error = m_strFault;
    }
    catch (const CException&)
    {
        error = m_strReply;
    }
    pSocket->Close();
    delete pSocket;
    return sent;
}
