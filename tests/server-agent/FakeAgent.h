#pragma once

// A TCP peer that plays an agent badly, for halsend to cope with: it
// answers the logon and then does what its script says.

#include "ClientSockets.h"
#include "HalsenClient.h"

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace halsendtest
{
class FakeAgent
{
public:
    // Called with every request after the logon; it writes what goes back
    // and returns false to close the connection.
    using Script = std::function<bool(int fd, const halsen::Packet& request)>;

    FakeAgent(int port, Script script) : m_script(std::move(script))
    {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        const sockaddr_in addr = halsen::MakeAddress(INADDR_LOOPBACK, port);
        bind(m_listen, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        listen(m_listen, 8);
        m_thread = std::thread([this] { Serve(); });
    }
    ~FakeAgent()
    {
        m_stop = true;
        m_thread.join();
        close(m_listen);
    }
    FakeAgent(const FakeAgent&) = delete;
    FakeAgent& operator=(const FakeAgent&) = delete;

    int Connections() const { return m_connections; }

    static void Reply(int fd, const halsen::Packet& request, int kind, const std::string& body)
    {
        halsen::Packet p = request;
        p.kind = kind;
        p.body = body;
        const std::string bytes = halsen::Encode(p);
        (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

private:
    bool Readable(int fd) const
    {
        pollfd p = {fd, POLLIN, 0};
        return poll(&p, 1, 100) > 0;
    }

    void Serve()
    {
        while (!m_stop)
        {
            if (!Readable(m_listen))
                continue;
            const int fd = accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                continue;
            ++m_connections;
            Talk(fd);
            close(fd);
        }
    }

    void Talk(int fd)
    {
        halsen::PacketReader reader;
        while (!m_stop)
        {
            if (!Readable(fd))
                continue;
            char buf[4096];
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            reader.Feed(buf, static_cast<size_t>(n));
            halsen::Packet p;
            while (reader.Next(p) == halsen::PacketReader::kPacket)
            {
                if (p.command == halsen::kPing)
                    continue;
                if (p.command == halsen::kAccess)
                {
                    Reply(fd, p, halsen::kData, "logon 00000001");
                    Reply(fd, p, halsen::kFinish, "800@Functional");
                }
                else if (!m_script(fd, p))
                    return;
            }
        }
    }

    Script m_script;
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};
} // namespace halsendtest
