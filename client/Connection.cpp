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
            if (m_answerPings && out.kind == kNotice && out.command == kPing)
                Answer(out);
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

// The agent sends a ping back unless it is already a closing reply.
void Connection::Answer(const Packet& ping)
{
    Packet answer = ping;
    answer.kind = kFinish;
    Send(answer);
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
