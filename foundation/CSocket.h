#pragma once

#include "CObject.h"
#include "CString.h"

#include <netinet/in.h>

// One IPv4 socket, stream or datagram. Creation, listen, accept and option
// failures throw CException; transfers return the system's result, or
// kWrongKind when called on the other kind of socket.
class CSocket : public CObject
{
public:
    enum
    {
        kWrongKind = -8965359
    };

    CSocket();
    virtual ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    static int GetMaxSd() { return m_nMaxSd; }
    int GetSd() const { return m_sd; }

    void Socket(int type);
    int Bind(int port);
    void Listen(int backlog);
    void Accept(CSocket& client);
    bool Connect(const char* address, int port);
    void Close();
    int Send(const void* data, int len, int flags);
    int Receive(void* buf, int size, int flags);
    int SendTo(const void* data, int len, const char* address, int port, int flags);
    int ReceiveFrom(void* buf, int size, CString& address, int& port, int flags);
    // Transfers on a non-blocking socket return -1 with EAGAIN instead of
    // waiting; false when the system refuses the change.
    bool SetNonBlocking();
    // Whether a transfer result only says that the socket is not ready.
    static bool WouldBlock(int result);
    void SetSockOpt(int option, const void* value, int len, int level);
    void GetSockOpt(int option, void* value, int* len, int level);
    const char* GetRemoteIP();
    int GetRemote_b4IP();
    const char* GetLocalIP();

private:
    static void NoteDescriptor(int sd);
    // Takes over `sd` as this socket's descriptor, closing any previous one.
    void Adopt(int sd);

    static int m_nMaxSd;
    sockaddr_in m_LocalAddr;
    sockaddr_in m_RemoteAddr;
    int m_sd = -1;
    bool m_bTcp = true;
    bool m_bClosed = false;
};
