#include "DiscoverySocket.h"

#include "Log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace halsend
{
namespace
{
// At most this many datagrams are read per wake-up, so a flood of them
// cannot hold the loop.
const int kMaxPerWake = 256;
} // namespace

DiscoverySocket::~DiscoverySocket()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool DiscoverySocket::Open(const std::string& address, int port, std::string& error)
{
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (m_fd < 0 || setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
    {
        error = std::string("cannot make the discovery socket: ") + strerror(errno);
        return false;
    }
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
    {
        error = "cannot listen for announcements on " + address + " port " + std::to_string(port) + ": " +
                strerror(errno);
        return false;
    }
    return true;
}

void DiscoverySocket::Broadcast(const std::vector<std::string>& networks, int port)
{
    static const char kRequest[] = "TAVRINE_HALSEN#";
    for (const std::string& network : networks)
    {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, network.c_str(), &to.sin_addr);
        if (sendto(m_fd, kRequest, sizeof kRequest - 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
            LogLine("cannot send the discovery request to " + network + ": " + strerror(errno));
    }
}

std::vector<halsen::Announcement> DiscoverySocket::Receive()
{
    std::vector<halsen::Announcement> found;
    for (int i = 0; i < kMaxPerWake; ++i)
    {
        char text[512];
        sockaddr_in from = {};
        socklen_t length = sizeof from;
        const ssize_t n = recvfrom(m_fd, text, sizeof text, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0)
            break;
        halsen::Announcement a;
        if (!halsen::ParseAnnouncement(std::string(text, static_cast<size_t>(n)), a.host) || a.host.empty() ||
            a.host.size() > 255)
            continue;
        char address[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
        a.address = address;
        found.push_back(a);
    }
    return found;
}
} // namespace halsend
