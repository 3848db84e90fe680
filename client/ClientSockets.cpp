#include "ClientSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>

namespace halsen
{
bool SystemError(std::string& error, const std::string& what)
{
    error = what + ": " + strerror(errno);
    return false;
}

sockaddr_in MakeAddress(in_addr_t address, int port)
{
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(address);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return addr;
}

bool WaitReadable(int fd, int timeoutMs)
{
    pollfd p = {fd, POLLIN, 0};
    for (;;)
    {
        const int n = poll(&p, 1, timeoutMs);
        if (n >= 0 || errno != EINTR)
            return n > 0;
    }
}

int Deadline::Left() const
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_end - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
} // namespace halsen
