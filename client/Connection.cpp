#include "HalsenClient.h"

#include "ClientSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace halsen
{
namespace
{
bool IsCloseNotice(const Packet& p)
{
    return p.kind == kNotice && p.command == kClose;
}
} // namespace

Connection::~Connection() { Close(); }

bool Connection::Connect(const std::string& address, int port, std::string& error)
{
    Close();
    sockaddr_in to = MakeAddress(INADDR_ANY, port);
    if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
    {
        error = "not a dotted IPv4 address: " + address;
        return false;
    }
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return SystemError(error, "cannot make a socket");
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
    {
        SystemError(error, "cannot connect to " + address + " port " + std::to_string(port));
        Close();
        return false;
    }
    return true;
}

bool Connection::SendRaw(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t n = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

Connection::Status Connection::Receive(Packet& out, int timeoutMs)
{
    const Deadline deadline(timeoutMs);
    for (;;)
    {
        switch (m_reader.Next(out))
        {
        case PacketReader::kPacket:
            return kGot;
        case PacketReader::kMalformed:
            return kBroken;
        case PacketReader::kNeedMore:
            break;
        }
        if (!WaitReadable(m_fd, deadline.Left()))
            return kTimeout;
        char buf[65536];
        const ssize_t n = recv(m_fd, buf, sizeof buf, 0);
        if (n == 0)
            return kClosed;
        if (n < 0 && errno != EINTR)
            return kBroken;
        if (n > 0)
            m_reader.Feed(buf, static_cast<size_t>(n));
    }
}

Connection::Status Connection::Request(const Packet& request, std::vector<Packet>& replies, int timeoutMs)
{
    if (!Send(request))
        return kBroken;
    const Deadline deadline(timeoutMs);
    for (;;)
    {
        Packet p;
        const Status status = Receive(p, deadline.Left());
        if (status != kGot)
            return status;
        replies.push_back(p);
        if ((p.kind == kFinish && p.command == request.command) || IsCloseNotice(p))
            return kGot;
    }
}

void Connection::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_reader = PacketReader();
}
} // namespace halsen
