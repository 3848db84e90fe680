#include "FakeFleet.h"

#include "ClientSockets.h"
#include "HalsenClient.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace halsendbench
{
namespace
{
volatile sig_atomic_t g_turn = 0;
volatile sig_atomic_t g_stop = 0;

const char kArray[] = "\\RAID\\MVP1\\array1";

std::vector<std::string> Properties(const std::string& kind, int n)
{
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i)
        lines.push_back(kind + "Property" + std::to_string(i) + "@pr-@value " + std::to_string(i));
    return lines;
}

void AddAdapter(Tree& tree, const std::string& adapter)
{
    std::vector<std::string>& a = tree[adapter] = Properties("Adapter", 24);
    a.push_back("HasEvent@pr-@3");
    for (int c = 1; c <= 4; ++c)
    {
        const std::string ch = adapter + "\\ch" + std::to_string(c);
        a.push_back("ch" + std::to_string(c) + "@o--@20");
        tree[ch] = {"handle@pr-@1;20", "master@o--@21", "slave@o--@21"};
        for (const char* d : {"master", "slave"})
        {
            tree[ch + "\\" + d] = Properties("Disk", 8);
            tree[ch + "\\" + d].push_back("Status@prv@512");
        }
    }
    for (int r = 1; r <= 4; ++r)
    {
        const std::string name = "array" + std::to_string(r), path = adapter + "\\" + name;
        a.push_back(name + "@o--@25");
        tree[path] = Properties("Array", 8);
        tree[path].insert(tree[path].end(), {"Status@prv@0", "percent@prv@-1", "disk1@o--@21", "disk2@o--@21"});
        tree[path + "\\disk1"] = tree[path + "\\disk2"] = Properties("Disk", 12);
    }
    a.push_back("enclosure1@o--@7");
    tree[adapter + "\\enclosure1"] = {"tindalow1@o--@17"};
    tree[adapter + "\\enclosure1\\tindalow1"] = {"Temperature@prv@70", "FanRPM@prv@4200", "Power5VStatus@prv@5020",
                                                 "Power12VStatus@prv@12050"};
    a.push_back("battery@o--@29");
    tree[adapter + "\\battery"] = {"BatteryChargeStatus@prv@BATTERY_FULLY_CHARGED", "BatteryVoltage@prv@8200"};
}

struct Peer
{
    int fd = -1;
    std::string folder = "\\";
    halsen::PacketReader reader;
};

void Send(int fd, const halsen::Packet& request, int kind, const std::string& body)
{
    halsen::Packet p = request;
    p.kind = kind;
    p.body = body;
    const std::string bytes = halsen::Encode(p);
    (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::string Cd(const Tree& tree, const std::string& from, const std::string& to)
{
    if (to == "\\")
        return to;
    const std::string path = from == "\\" ? "\\" + to : from + "\\" + to;
    return tree.count(path) ? path : "";
}

void Answer(const Tree& tree, Peer& peer, const halsen::Packet& p)
{
    switch (p.command)
    {
    case halsen::kAccess:
        Send(peer.fd, p, halsen::kData, "logon 00000001");
        return Send(peer.fd, p, halsen::kFinish, "800@Functional");
    case halsen::kCd:
    {
        const std::string to = Cd(tree, peer.folder, p.body);
        peer.folder = to.empty() ? peer.folder : to;
        return Send(peer.fd, p, halsen::kFinish, to.empty() ? "803@Not found" : "800@Functional");
    }
    case halsen::kDir:
        for (const std::string& line : tree.at(peer.folder))
            Send(peer.fd, p, halsen::kData, line);
        return Send(peer.fd, p, halsen::kFinish, "800@Functional");
    case halsen::kInvoke:
        Send(peer.fd, p, halsen::kData, "ReadEvent@255@256@0@1");
        return Send(peer.fd, p, halsen::kFinish, "800@Functional");
    case halsen::kPing:
        return;
    default:
        return Send(peer.fd, p, halsen::kFinish, "800@Functional");
    }
}

int Listen(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in addr = halsen::MakeAddress(INADDR_LOOPBACK, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0)
        _exit(3);
    return fd;
}

// The first agent's array turns critical and its servers hear of it.
void Turn(Tree& tree, const Peer& peer)
{
    for (std::string& line : tree[kArray])
    {
        if (line.compare(0, 7, "Status@") == 0)
            line = "Status@prv@-2147483647";
    }
    Send(peer.fd, halsen::Packet{8194, 0, halsen::kNotice, ""}, halsen::kNotice, std::string(kArray) + "@");
}
} // namespace

Tree MachineTree()
{
    Tree tree;
    tree["\\"] = {"RAID@o--@14", "name@prw@bench", "PollFrequency@prw@60"};
    tree["\\RAID"] = {"MVP1@o--@26", "MVP2@o--@26"};
    AddAdapter(tree, "\\RAID\\MVP1");
    AddAdapter(tree, "\\RAID\\MVP2");
    return tree;
}

void ServeFleet(int firstPort, int count)
{
    signal(SIGUSR1, [](int) { g_turn = 1; });
    signal(SIGTERM, [](int) { g_stop = 1; });
    Tree plain = MachineTree(), first = plain;
    std::vector<int> listeners;
    for (int i = 0; i < count; ++i)
        listeners.push_back(Listen(firstPort + i));
    // Peers remember their agent by the index of the listener that took them.
    std::vector<Peer> peers;
    std::vector<int> owner;
    while (!g_stop)
    {
        std::vector<pollfd> fds;
        for (int l : listeners)
            fds.push_back({l, POLLIN, 0});
        for (const Peer& p : peers)
            fds.push_back({p.fd, POLLIN, 0});
        poll(fds.data(), fds.size(), 100);
        if (g_turn)
        {
            g_turn = 0;
            for (size_t i = 0; i < peers.size(); ++i)
            {
                if (owner[i] == 0)
                    Turn(first, peers[i]);
            }
        }
        for (size_t i = 0; i < listeners.size(); ++i)
        {
            if (!(fds[i].revents & POLLIN))
                continue;
            const int fd = accept(listeners[i], nullptr, nullptr);
            if (fd >= 0)
            {
                peers.emplace_back();
                peers.back().fd = fd;
                owner.push_back(static_cast<int>(i));
            }
        }
        for (size_t i = 0; i < peers.size() && listeners.size() + i < fds.size(); ++i)
        {
            if (!(fds[listeners.size() + i].revents & (POLLIN | POLLHUP)))
                continue;
            char buf[65536];
            const ssize_t n = recv(peers[i].fd, buf, sizeof buf, 0);
            if (n <= 0)
                continue;
            peers[i].reader.Feed(buf, static_cast<size_t>(n));
            halsen::Packet p;
            while (peers[i].reader.Next(p) == halsen::PacketReader::kPacket)
                Answer(owner[i] == 0 ? first : plain, peers[i], p);
        }
    }
}
} // namespace halsendbench
