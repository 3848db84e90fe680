#include "HalsenClient.h"

#include "ClientSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
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
    m_lastSent = std::chrono::steady_clock::now();
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
            if (m_keepAliveMs > 0 && out.kind == kNotice && out.command == kPing)
                SendKeepAlive();
            return kGot;
        case PacketReader::kMalformed:
            return kBroken;
        case PacketReader::kNeedMore:
            break;
        }
        const int left = deadline.Left();
        const int untilKeepAlive = KeepAliveWait(left + 1);
        if (!WaitReadable(m_fd, untilKeepAlive < left ? untilKeepAlive : left))
        {
            if (m_keepAliveMs > 0 && KeepAliveWait(left + 1) == 0)
                SendKeepAlive();
            else if (deadline.Left() == 0)
                return kTimeout;
            continue;
        }
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

int Connection::KeepAliveWait(int leftMs) const
{
    if (m_keepAliveMs <= 0)
        return leftMs;
    const auto since = std::chrono::steady_clock::now() - m_lastSent;
    const long due = m_keepAliveMs - static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    return due <= 0 ? 0 : (due < leftMs ? static_cast<int>(due) : leftMs);
}

// A ping that already is a closing reply is taken by the agent as a sign of
// life and not answered.
void Connection::SendKeepAlive()
{
    Packet ping;
    ping.command = kPing;
    ping.kind = kFinish;
    Send(ping);
}

bool Connection::LogOn(const std::string& user, const std::string& password, std::string& error,
                       const unsigned long location[2], int timeoutMs)
{
    const std::string credential = EncodeCredential(user, password);
    if (credential.empty())
    {
        error = "cannot encode the credential";
        return false;
    }
    Packet request;
    request.command = kAccess;
    request.body = LogonBody(location, credential);
    std::vector<Packet> replies;
    const Status status = Request(request, replies, timeoutMs);
    if (status != kGot)
    {
        error = "no answer to the logon";
        return false;
    }
    unsigned handle = 0;
    for (const Packet& p : replies)
    {
        if (p.kind == kData && p.body.compare(0, 6, "logon ") == 0)
            handle = static_cast<unsigned>(strtoul(p.body.c_str() + 6, nullptr, 16));
    }
    if (ReplyCode(replies.back()) != 800 || handle == 0)
    {
        error = "logon of " + user + " refused: " + replies.back().body;
        return false;
    }
    m_logon = handle;
    return true;
}

void Connection::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_reader = PacketReader();
    m_logon = 0;
}
} // namespace halsen
