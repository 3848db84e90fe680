#include "CSocket.h"

#include "CException.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

int CSocket::m_nMaxSd = 0;

namespace
{
// Fills `addr` from a strict dotted-quad text; host names are not resolved.
bool MakeAddress(sockaddr_in& addr, const char* address, int port)
{
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return address && inet_pton(AF_INET, address, &addr.sin_addr) == 1;
}

// A negative length would reach the kernel as a huge size_t and let it read
// or write far beyond the caller's buffer.
bool ValidLength(int len)
{
    if (len >= 0)
        return true;
    errno = EINVAL;
    return false;
}

bool LookUpHostAddress(in_addr& out)
{
    // gethostname may fill the whole buffer without a terminating NUL.
    char name[256];
    if (gethostname(name, sizeof(name) - 1) != 0)
        return false;
    name[sizeof(name) - 1] = '\0';
    addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found)
        return false;
    out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}
}

CSocket::CSocket()
{
    memset(&m_LocalAddr, 0, sizeof(m_LocalAddr));
    memset(&m_RemoteAddr, 0, sizeof(m_RemoteAddr));
}

CSocket::~CSocket() { Close(); }

void CSocket::NoteDescriptor(int sd)
{
    if (sd > m_nMaxSd)
        m_nMaxSd = sd;
}

void CSocket::Adopt(int sd)
{
    Close();
    m_sd = sd;
    m_bClosed = false;
    NoteDescriptor(sd);
}

void CSocket::Socket(int type)
{
    m_bTcp = type != SOCK_DGRAM;
    int sd = socket(AF_INET, type, 0);
    if (sd < 0)
    {
        Close();
        throw CException("Create a socket description error");
    }
    Adopt(sd);
}

int CSocket::Bind(int port)
{
    memset(&m_LocalAddr, 0, sizeof(m_LocalAddr));
    m_LocalAddr.sin_family = AF_INET;
    m_LocalAddr.sin_addr.s_addr = htonl(INADDR_ANY);
    m_LocalAddr.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(m_sd, reinterpret_cast<const sockaddr*>(&m_LocalAddr), sizeof(m_LocalAddr)) != 0)
        return errno;
    return 0;
}

void CSocket::Listen(int backlog)
{
    if (!m_bTcp)
        throw CException("Using UDP,but you want to listen");
    if (listen(m_sd, backlog) != 0)
        throw CException("Listen error");
}

void CSocket::Accept(CSocket& client)
{
    if (!m_bTcp)
        throw CException("Using UDP,but you want to accept");
    sockaddr_in remote;
    memset(&remote, 0, sizeof(remote));
    socklen_t len = sizeof(remote);
    int sd = accept(m_sd, reinterpret_cast<sockaddr*>(&remote), &len);
    if (sd < 0)
        throw CException("Accept error");
    client.Adopt(sd);
    client.m_bTcp = true;
    client.m_RemoteAddr = remote;
}

bool CSocket::Connect(const char* address, int port)
{
    if (!m_bTcp)
        throw CException("Using UDP,but you want to connect");
    sockaddr_in addr;
    if (!MakeAddress(addr, address, port))
        return false;
    return connect(m_sd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0;
}

void CSocket::Close()
{
    if (!m_bClosed && m_sd >= 0)
        close(m_sd);
    m_bClosed = true;
    m_sd = -1;
}

int CSocket::Send(const void* data, int len, int flags)
{
    if (!m_bTcp)
        return kWrongKind;
    if (!ValidLength(len))
        return -1;
    return static_cast<int>(send(m_sd, data, len, flags));
}

int CSocket::Receive(void* buf, int size, int flags)
{
    if (!m_bTcp)
        return kWrongKind;
    if (!ValidLength(size))
        return -1;
    return static_cast<int>(recv(m_sd, buf, size, flags));
}

int CSocket::SendTo(const void* data, int len, const char* address, int port, int flags)
{
    if (m_bTcp)
        return kWrongKind;
    sockaddr_in addr;
    if (!ValidLength(len))
        return -1;
    if (!MakeAddress(addr, address, port))
    {
        errno = EINVAL;
        return -1;
    }
    return static_cast<int>(
        sendto(m_sd, data, len, flags, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)));
}

int CSocket::ReceiveFrom(void* buf, int size, CString& address, int& port, int flags)
{
    if (m_bTcp)
        return kWrongKind;
    if (!ValidLength(size))
        return -1;
    sockaddr_in from;
    memset(&from, 0, sizeof(from));
    socklen_t len = sizeof(from);
    int got = static_cast<int>(recvfrom(m_sd, buf, size, flags, reinterpret_cast<sockaddr*>(&from), &len));
    if (got < 0)
        return got;
    char text[INET_ADDRSTRLEN];
    address = inet_ntop(AF_INET, &from.sin_addr, text, sizeof(text)) ? text : "";
    port = ntohs(from.sin_port);
    return got;
}

bool CSocket::SetNonBlocking()
{
    const int flags = fcntl(m_sd, F_GETFL);
    return flags >= 0 && fcntl(m_sd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool CSocket::WouldBlock(int result)
{
    return result == -1 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

void CSocket::SetSockOpt(int option, const void* value, int len, int level)
{
    if (len < 0 || setsockopt(m_sd, level, option, value, static_cast<socklen_t>(len)) != 0)
        throw CException("SetSockOpt error");
}

void CSocket::GetSockOpt(int option, void* value, int* len, int level)
{
    if (!len || *len < 0)
        throw CException("SetSockOpt error");
    socklen_t size = static_cast<socklen_t>(*len);
    if (getsockopt(m_sd, level, option, value, &size) != 0)
        throw CException("SetSockOpt error");
    *len = static_cast<int>(size);
}

const char* CSocket::GetRemoteIP() { return inet_ntoa(m_RemoteAddr.sin_addr); }

int CSocket::GetRemote_b4IP() { return static_cast<int>(ntohl(m_RemoteAddr.sin_addr.s_addr) & 0xFF); }

const char* CSocket::GetLocalIP()
{
    in_addr host;
    if (LookUpHostAddress(host))
        return inet_ntoa(host);
    return inet_ntoa(m_LocalAddr.sin_addr);
}
