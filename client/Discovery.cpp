#include "HalsenClient.h"

#include "ClientSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace halsen
{
namespace
{
const char kAnnouncePrefix[] = "TAVRINE_RAID#";
const char kAnnounceSuffix[] = "#Hello World!";

bool Known(const std::vector<Announcement>& found, const Announcement& a)
{
    for (const Announcement& f : found)
    {
        if (f.host == a.host && f.address == a.address)
            return true;
    }
    return false;
}
} // namespace

bool ParseAnnouncement(const std::string& text, std::string& host)
{
    const size_t nPrefix = sizeof kAnnouncePrefix - 1;
    const size_t nSuffix = sizeof kAnnounceSuffix - 1;
    if (text.size() < nPrefix + nSuffix || text.compare(0, nPrefix, kAnnouncePrefix) != 0 ||
        text.compare(text.size() - nSuffix, nSuffix, kAnnounceSuffix) != 0)
        return false;
    host = text.substr(nPrefix, text.size() - nPrefix - nSuffix);
    return true;
}

AnnouncementListener::~AnnouncementListener()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool AnnouncementListener::Open(std::string& error, int port)
{
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (m_fd < 0 || setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return SystemError(error, "cannot make a datagram socket");
    sockaddr_in addr = MakeAddress(INADDR_ANY, port);
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        return SystemError(error, "cannot listen for announcements on port " + std::to_string(port));
    return true;
}

bool AnnouncementListener::Wait(Announcement& out, int timeoutMs)
{
    const Deadline deadline(timeoutMs);
    while (WaitReadable(m_fd, deadline.Left()))
    {
        char text[512];
        sockaddr_in from = {};
        socklen_t length = sizeof from;
        const ssize_t n =
            recvfrom(m_fd, text, sizeof text, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0)
            continue;
        if (!ParseAnnouncement(std::string(text, static_cast<size_t>(n)), out.host))
            continue;
        char address[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
        out.address = address;
        return true;
    }
    return false;
}

std::vector<Announcement> AnnouncementListener::Collect(int timeoutMs)
{
    std::vector<Announcement> found;
    const Deadline deadline(timeoutMs);
    Announcement a;
    while (Wait(a, deadline.Left()))
        found.push_back(a);
    return found;
}

bool Discover(const DiscoverOptions& options, std::vector<Announcement>& found, std::string& error)
{
    AnnouncementListener listener;
    if (!listener.Open(error))
        return false;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
    {
        if (fd >= 0)
            close(fd);
        return SystemError(error, "cannot make a broadcast socket");
    }
    sockaddr_in to = MakeAddress(INADDR_ANY, kDiscoveryPort);
    bool sent = inet_pton(AF_INET, options.address.c_str(), &to.sin_addr) == 1;
    if (!sent)
        error = "not a dotted IPv4 address: " + options.address;
    else if (sendto(fd, options.request.data(), options.request.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                    sizeof to) < 0)
        sent = SystemError(error, "cannot send the discovery request to " + options.address);
    close(fd);
    if (!sent)
        return false;
    for (const Announcement& a : listener.Collect(options.timeoutMs))
    {
        if (!Known(found, a))
            found.push_back(a);
    }
    return true;
}
} // namespace halsen
