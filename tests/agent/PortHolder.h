#pragma once

#include "HalsenClient.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Listens on the agent's management port of this sandbox's loopback, so
// that an agent started meanwhile has to wait for it. The socket is not
// inherited by the agent, which would then hold the port itself.
class PortHolder
{
public:
    PortHolder() : m_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(halsen::kAgentPort);
        m_bHeld = m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                  listen(m_fd, 1) == 0;
    }
    ~PortHolder() { Release(); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool IsHeld() const { return m_bHeld; }
    void Release()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
        m_bHeld = false;
    }

private:
    int m_fd;
    bool m_bHeld = false;
};
