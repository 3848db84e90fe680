// Feeds arbitrary bytes to the packet decoder, and as a byte stream in
// pieces of varying size to one real agent connection, so that its
// reassembly, the refusal of oversized requests and the handling of
// malformed packets all see them.

#include "CAgentDoc.h"
#include "CMessage.h"
#include "CSvrSocket.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
CSocket* g_pListener = nullptr;
int g_nPort = 0;

void OpenListener()
{
    g_pListener = new CSocket;
    g_pListener->Socket(SOCK_STREAM);
    g_pListener->Bind(0);
    g_pListener->Listen(16);
    sockaddr_in addr = {};
    socklen_t length = sizeof addr;
    getsockname(g_pListener->GetSd(), reinterpret_cast<sockaddr*>(&addr), &length);
    g_nPort = ntohs(addr.sin_port);
}

int ConnectPeer()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(g_nPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    return fd;
}

// Reads the agent's answers so that they never pile up.
void DrainPeer(int fd)
{
    char buf[65536];
    while (recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0)
    {
    }
}

int Pending(CSvrSocket* pSvr)
{
    int n = 0;
    return ioctl(pSvr->GetSd(), FIONREAD, &n) == 0 ? n : 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    CMessage msg;
    msg.ParsePool(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (size == 0)
        return 0;
    if (!g_pListener)
    {
        g_AgentDoc.InitInstance();
        OpenListener();
    }

    // The first byte chooses the size of the pieces the rest arrives in.
    const size_t nPiece = static_cast<size_t>(data[0]) * 8 + 1;
    const int peer = ConnectPeer();
    CSvrSocket* pSvr = new CSvrSocket(1024);
    g_pListener->Accept(*pSvr);
    pSvr->SetNonBlocking();
    pSvr->Init(&g_AgentDoc);
    g_AgentDoc.m_SvrList.AppendTail(pSvr);
    for (size_t at = 1; at < size && !pSvr->IsDisconnected(); at += nPiece)
    {
        const size_t n = size - at < nPiece ? size - at : nPiece;
        send(peer, data + at, n, MSG_NOSIGNAL);
        while (!pSvr->IsDisconnected() && Pending(pSvr) > 0)
        {
            pSvr->ReceiveMessage();
            DrainPeer(peer);
        }
        if (!pSvr->IsDisconnected())
            pSvr->SendPending();
    }
    // Removes and destroys the connection, whether the bytes ended it or not.
    g_AgentDoc.RemoveServer(nullptr);
    close(peer);
    return 0;
}
