#pragma once

// One real agent connection for a fuzz target: a listener on a free
// loopback port, a peer socket that plays the management server, and the
// agent's side of the connection, accepted and put in the document's list
// as the agent's loop would.

#include "CAgentDoc.h"
#include "CSvrSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fuzzlink
{
// The document as the agent's main starts it once it holds its lock (root
// folder, identity, misc log), once per process.
inline void StartDocument()
{
    static const bool started = (g_AgentDoc.InitInstance(), true);
    (void)started;
}

class Connection
{
public:
    Connection()
    {
        StartDocument();
        static const int port = OpenListener();
        m_nPeer = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(m_nPeer, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        m_pSvr = new CSvrSocket(1024);
        Listener().Accept(*m_pSvr);
        m_pSvr->SetNonBlocking();
        m_pSvr->Init(&g_AgentDoc);
        g_AgentDoc.m_SvrList.AppendTail(m_pSvr);
    }

    // Removes and destroys the agent's side, whether the bytes ended it or
    // not.
    ~Connection()
    {
        g_AgentDoc.RemoveServer(nullptr);
        close(m_nPeer);
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool IsOpen() const { return !m_pSvr->IsDisconnected(); }

    // Sends bytes from the peer and lets the agent read and answer them
    // until nothing is left unread; the answers are read and dropped so
    // that they never pile up.
    void Send(const void* data, size_t n)
    {
        send(m_nPeer, data, n, MSG_NOSIGNAL);
        while (IsOpen() && Pending() > 0)
        {
            m_pSvr->ReceiveMessage();
            Drain();
        }
        if (IsOpen())
            m_pSvr->SendPending();
        Drain();
    }

private:
    static CSocket& Listener()
    {
        static CSocket listener;
        return listener;
    }

    static int OpenListener()
    {
        CSocket& listener = Listener();
        listener.Socket(SOCK_STREAM);
        listener.Bind(0);
        listener.Listen(16);
        sockaddr_in addr = {};
        socklen_t length = sizeof addr;
        getsockname(listener.GetSd(), reinterpret_cast<sockaddr*>(&addr), &length);
        return ntohs(addr.sin_port);
    }

    void Drain()
    {
        char buf[65536];
        while (recv(m_nPeer, buf, sizeof buf, MSG_DONTWAIT) > 0)
        {
        }
    }

    int Pending() const
    {
        int n = 0;
        return ioctl(m_pSvr->GetSd(), FIONREAD, &n) == 0 ? n : 0;
    }

    int m_nPeer = -1;
    CSvrSocket* m_pSvr = nullptr;
};
} // namespace fuzzlink
