#pragma once

// The datagram socket halsend finds agents with: it sends the discovery
// request to each configured broadcast address and hears the agents'
// announcements, which the agents broadcast in answer and on their own.

#include "HalsenClient.h"

#include <string>
#include <vector>

namespace halsend
{
class DiscoverySocket
{
public:
    DiscoverySocket() = default;
    ~DiscoverySocket();
    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    bool Open(const std::string& address, int port, std::string& error);
    // Sends the request to every network; a failure is logged, not fatal.
    void Broadcast(const std::vector<std::string>& networks, int port);
    // The announcements waiting now; other datagrams are skipped.
    std::vector<halsen::Announcement> Receive();
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
};
} // namespace halsend
