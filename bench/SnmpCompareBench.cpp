// The agent side by side with snmpd, which a system administrator would
// otherwise run to manage a server's objects from afar. Both run in the same
// sandbox on loopback, pinned to one CPU while this client runs on the
// other; snmpd reads a configuration of its own with a read-only community.
// Every client keeps exactly one request in flight and a round trip counts
// once the whole answer has come:
//   - the agent's ping against a GET of sysUpTime.0, the lightest request
//     of each;
//   - the agent's get of the root folder's name by a logged-on user against
//     a GET of sysDescr.0;
// with 1, 10 and 100 busy clients, and with one busy client while 1000
// other connections to each server stay idle. snmpd is asked over UDP and
// over TCP; the GET requests are BER bytes encoded here once per client.
// The runs of the three are interleaved, round after round, so that a
// change in the machine's load falls on all of them alike.
//
//   tools/sandbox -- build/bench/snmp_compare_bench [--seconds S] [--rounds R] [--cpus
//   CLIENT,SERVER]

#include "HalsenClient.h"
#include "LinkLoad.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace
{
const char kAgent[] = TAVRINE_BUILD_DIR "/agent/dorvik";
const char kSnmpd[] = "/usr/sbin/snmpd";
const char kDir[] = "/tmp/snmp-compare";
const char kCommunity[] = "bench-ro";
const int kSnmpPort = 161;
const char kUser[] = "bench";
const char kPassword[] = "bench-secret";
const int kIdle = 1000;

struct Settings
{
    double seconds = 2;
    int rounds = 3;
    int clientCpu = 0;
    int serverCpu = 1;
};

// BER: a tag, a length (one byte below 128, else 0x80 + the count of the
// big-endian length bytes that follow) and the value.
std::string Tlv(unsigned char tag, const std::string& value)
{
    std::string length;
    for (size_t n = value.size(); n > 0; n >>= 8)
        length.insert(length.begin(), static_cast<char>(n & 0xFF));
    std::string out(1, static_cast<char>(tag));
    if (value.size() < 0x80)
        out += static_cast<char>(value.size());
    else
        out += static_cast<char>(0x80 | length.size()) + length;
    return out + value;
}

// A non-negative INTEGER in the fewest bytes whose top bit leaves it positive.
std::string Integer(unsigned long v)
{
    std::string bytes;
    do
    {
        bytes.insert(bytes.begin(), static_cast<char>(v & 0xFF));
        v >>= 8;
    } while (v > 0);
    if (static_cast<unsigned char>(bytes[0]) & 0x80)
        bytes.insert(bytes.begin(), '\0');
    return Tlv(0x02, bytes);
}

// The first two arcs share a byte; every later arc is written in base 128,
// high groups first, each but the last with its top bit set.
std::string Oid(const std::vector<unsigned>& arcs)
{
    std::string bytes(1, static_cast<char>(arcs[0] * 40 + arcs[1]));
    for (size_t i = 2; i < arcs.size(); ++i)
    {
        std::string arc(1, static_cast<char>(arcs[i] & 0x7F));
        for (unsigned v = arcs[i] >> 7; v > 0; v >>= 7)
            arc.insert(arc.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        bytes += arc;
    }
    return Tlv(0x06, bytes);
}

const std::vector<unsigned> kSysDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
const std::vector<unsigned> kSysUpTime = {1, 3, 6, 1, 2, 1, 1, 3, 0};

// An SNMPv2c GetRequest for one variable.
std::string GetRequest(unsigned long id, const std::vector<unsigned>& oid)
{
    const std::string varbind = Tlv(0x30, Oid(oid) + Tlv(0x05, ""));
    const std::string pdu = Tlv(0xA0, Integer(id) + Integer(0) + Integer(0) + Tlv(0x30, varbind));
    return Tlv(0x30, Integer(1) + Tlv(0x04, kCommunity) + pdu);
}

// Reads the TLV at `pos` and moves past it; false when it is cut short.
bool ReadTlv(const std::string& s, size_t& pos, unsigned char& tag, std::string& value)
{
    if (pos + 2 > s.size())
        return false;
    tag = static_cast<unsigned char>(s[pos]);
    size_t length = static_cast<unsigned char>(s[pos + 1]);
    pos += 2;
    if (length & 0x80)
    {
        const size_t count = length & 0x7F;
        if (count > 4 || pos + count > s.size())
            return false;
        length = 0;
        for (size_t i = 0; i < count; ++i)
            length = length << 8 | static_cast<unsigned char>(s[pos + i]);
        pos += count;
    }
    if (pos + length > s.size())
        return false;
    value = s.substr(pos, length);
    pos += length;
    return true;
}

// A message over TCP is one whole BER SEQUENCE.
size_t SnmpAnswerEnd(const std::string& received)
{
    size_t pos = 0;
    unsigned char tag = 0;
    std::string value;
    return ReadTlv(received, pos, tag, value) ? pos : 0;
}

// The TLVs inside a constructed value, in order.
std::vector<std::pair<unsigned char, std::string>> Parts(const std::string& value)
{
    std::vector<std::pair<unsigned char, std::string>> parts;
    unsigned char tag = 0;
    std::string part;
    for (size_t pos = 0; ReadTlv(value, pos, tag, part);)
        parts.push_back({tag, part});
    return parts;
}

// The value's bytes of a GetResponse for one variable; empty, with the
// reason, when it is none, reports an error or an exception for it.
std::string ResponseValue(const std::string& message, std::string& why)
{
    why = "no GetResponse";
    const auto outer = Parts(message);
    const auto top = outer.size() == 1 ? Parts(outer[0].second) : outer;
    if (outer.size() != 1 || top.size() != 3 || top[2].first != 0xA2)
        return std::string();
    why = "an error status";
    const auto pdu = Parts(top[2].second);
    if (pdu.size() != 4 || pdu[1].second != std::string(1, '\0'))
        return std::string();
    why = "no such variable";
    const auto varbinds = Parts(pdu[3].second);
    const auto varbind = varbinds.size() == 1 ? Parts(varbinds[0].second) : varbinds;
    if (varbinds.size() != 1 || varbind.size() != 2 ||
        (varbind[1].first >= 0x80 && varbind[1].first <= 0x82))
        return std::string();
    why.clear();
    return varbind[1].second;
}

// One server as the clients see it: how to reach it, what to ask and how
// its answers end.
struct Peer
{
    const char* name;
    int type;
    int port;
    linkload::AnswerEnd end;
    bool datagrams() const { return type == SOCK_DGRAM; }
};

const Peer kAgentPeer = {"agent", SOCK_STREAM, halsen::kAgentPort, linkload::AgentAnswerEnd};
const Peer kSnmpUdp = {"snmpd udp", SOCK_DGRAM, kSnmpPort, SnmpAnswerEnd};
const Peer kSnmpTcp = {"snmpd tcp", SOCK_STREAM, kSnmpPort, SnmpAnswerEnd};

// Which requests are set side by side.
struct Pair
{
    const char* name;
    bool get;
    const std::vector<unsigned>* oid;
};

const Pair kPairs[] = {
    {"ping vs GET sysUpTime.0", false, &kSysUpTime},
    {"get name vs GET sysDescr.0", true, &kSysDescr},
};

halsen::Packet AgentRequest(bool get)
{
    halsen::Packet p;
    p.command = get ? halsen::kGet : halsen::kPing;
    p.body = get ? "name" : "";
    return p;
}

// Whether the first answer is what the request asks for: the agent's
// closing reply (with the name's data line for a get, which a connection
// not logged on would not get), or snmpd's value.
bool Answered(const Peer& peer, const Pair& pair, const std::string& answer, std::string& why)
{
    if (&peer != &kAgentPeer)
    {
        ResponseValue(answer, why);
        return why.empty();
    }
    const bool named = answer.find("name@") != std::string::npos;
    why = pair.get && !named ? "no data line with the name" : "";
    return why.empty();
}

// The connections of one peer for one row, each of which has had its first
// request answered.
class ClientSet
{
public:
    ClientSet(const Peer& peer, const Pair& pair, int n, std::string& why) : m_Peer(peer)
    {
        for (int i = 0; i < n && why.empty(); ++i)
            Add(pair, static_cast<unsigned long>(i + 1), why);
    }
    ~ClientSet()
    {
        for (linkload::Client& c : m_Clients)
            close(c.fd);
    }
    ClientSet(const ClientSet&) = delete;
    ClientSet& operator=(const ClientSet&) = delete;

    linkload::LoadResult Run(double seconds)
    {
        return linkload::RunLoad(m_Clients, m_Peer.end, seconds, m_Peer.datagrams());
    }
    size_t Size() const { return m_Clients.size(); }

private:
    // Agent connections log on through the client library, which then
    // hands its socket over.
    int Connect(const Pair& pair, std::string& why)
    {
        if (&m_Peer != &kAgentPeer)
            return linkload::ConnectLoopback(m_Peer.type, m_Peer.port);
        halsen::Connection c;
        if (!c.Connect("127.0.0.1", m_Peer.port, why) ||
            (pair.get && !c.LogOn(kUser, kPassword, why)))
            return -1;
        const int fd = dup(c.Fd());
        linkload::SendWithoutDelay(fd);
        return fd;
    }

    void Add(const Pair& pair, unsigned long id, std::string& why)
    {
        linkload::Client c;
        c.fd = Connect(pair, why);
        c.request = &m_Peer == &kAgentPeer ? halsen::Encode(AgentRequest(pair.get))
                                           : GetRequest(id, *pair.oid);
        std::string answer;
        if (c.fd < 0 || !linkload::Exchange(c, m_Peer.end, m_Peer.datagrams(), answer) ||
            !Answered(m_Peer, pair, answer, why))
        {
            why = std::string(m_Peer.name) + ": connection " + std::to_string(id) +
                  " not answered " + why;
            if (c.fd >= 0)
                close(c.fd);
            return;
        }
        m_Clients.push_back(c);
    }

    const Peer& m_Peer;
    std::vector<linkload::Client> m_Clients;
};

struct Tally
{
    long trips = 0;
    double seconds = 0;
    long resent = 0;
    // The server's CPU time over the runs: less bent by other work on the
    // machine than the rates.
    double cpu = 0;
    double Rate() const { return seconds > 0 ? trips / seconds : 0; }
    double CpuMicrosEach() const { return trips > 0 ? 1e6 * cpu / trips : 0; }
};

// The server processes, by the index of the peers: the agent, then snmpd
// for both transports.
struct Servers
{
    pid_t agent;
    pid_t snmpd;
    pid_t Of(int peer) const { return peer == 0 ? agent : snmpd; }
};

// One row: the three peers' loads, interleaved round after round with the
// order turned each round.
void MeasureRow(const Settings& s, const Servers& servers, const Pair& pair, int busy, int idle)
{
    const Peer* peers[] = {&kAgentPeer, &kSnmpUdp, &kSnmpTcp};
    std::vector<std::unique_ptr<ClientSet>> sets;
    std::string why;
    for (const Peer* peer : peers)
        sets.emplace_back(new ClientSet(*peer, pair, busy, why));
    if (!why.empty())
    {
        printf("%s %d busy, %d idle: failed, %s\n", pair.name, busy, idle, why.c_str());
        return;
    }
    Tally tally[3];
    for (int round = 0; round < s.rounds; ++round)
    {
        for (int k = 0; k < 3; ++k)
        {
            const int i = (round + k) % 3;
            const double cpu = linkload::CpuSeconds(servers.Of(i));
            const linkload::LoadResult load = sets[i]->Run(s.seconds);
            tally[i].cpu += linkload::CpuSeconds(servers.Of(i)) - cpu;
            tally[i].trips += load.trips;
            tally[i].seconds += load.seconds;
            tally[i].resent += load.resent;
        }
    }
    printf(
        "%s %d busy, %d idle: agent %.0f per s (%.1f us CPU each); snmpd udp %.0f per s (%.1f us); "
        "snmpd tcp %.0f per s (%.1f us); ratio udp %.2f; ratio tcp %.2f; udp resent %ld\n",
        pair.name, busy, idle, tally[0].Rate(), tally[0].CpuMicrosEach(), tally[1].Rate(),
        tally[1].CpuMicrosEach(), tally[2].Rate(), tally[2].CpuMicrosEach(),
        tally[1].Rate() > 0 ? tally[0].Rate() / tally[1].Rate() : 0,
        tally[2].Rate() > 0 ? tally[0].Rate() / tally[2].Rate() : 0, tally[1].resent);
    fflush(stdout);
}

// The idle connections to both servers, each answered once and then left
// alone while the busy ones run.
void MeasureWithIdle(const Settings& s, const Servers& servers)
{
    std::string why;
    ClientSet agentIdle(kAgentPeer, kPairs[0], kIdle, why);
    ClientSet snmpIdle(kSnmpTcp, kPairs[0], why.empty() ? kIdle : 0, why);
    printf("idle connections held: agent %zu, snmpd %zu%s%s\n", agentIdle.Size(), snmpIdle.Size(),
           why.empty() ? "" : "; ", why.c_str());
    for (const Pair& pair : kPairs)
        MeasureRow(s, servers, pair, 1, static_cast<int>(agentIdle.Size()));
}

bool WriteSnmpdConfig(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "w");
    if (!f)
        return false;
    fprintf(f, "agentAddress udp:127.0.0.1:%d,tcp:127.0.0.1:%d\nrocommunity %s 127.0.0.1\n",
            kSnmpPort, kSnmpPort, kCommunity);
    return fclose(f) == 0;
}

// snmpd in the foreground, reading only the configuration written here and
// keeping its persistent files in the sandbox's /tmp; without the SMUX
// module, which would listen on a port of its own.
pid_t StartSnmpd(int cpu)
{
    const std::string dir = kDir;
    if (access(kSnmpd, X_OK) != 0 || !WriteSnmpdConfig(dir + "/snmpd.conf"))
        return -1;
    setenv("SNMP_PERSISTENT_DIR", (dir + "/persist").c_str(), 1);
    setenv("MIBS", "", 1);
    return linkload::Start(
        {kSnmpd, "-f", "-C", "-c", dir + "/snmpd.conf", "-I", "-smux", "-Lf", dir + "/snmpd.log"},
        (dir + "/snmpd.out").c_str(), cpu);
}

pid_t StartAgent(int cpu)
{
    const std::string init = std::string(kAgent) + " -i " + kUser + " " + kPassword + " >/dev/null";
    if (system(init.c_str()) != 0)
        return -1;
    return linkload::Start({kAgent}, (std::string(kDir) + "/agent.out").c_str(), cpu);
}

bool ParseArgs(int argc, char** argv, Settings& s)
{
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string arg = argv[i];
        const char* value = argv[i + 1];
        if (arg == "--seconds")
            s.seconds = atof(value);
        else if (arg == "--rounds")
            s.rounds = atoi(value);
        else if (arg != "--cpus" || sscanf(value, "%d,%d", &s.clientCpu, &s.serverCpu) != 2)
            return false;
    }
    return argc % 2 == 1 && s.seconds > 0 && s.rounds > 0;
}
} // namespace

int main(int argc, char** argv)
{
    Settings s;
    if (const int refused =
            linkload::RefuseToStart(ParseArgs(argc, argv, s), "snmp_compare_bench",
                                    "[--seconds S] [--rounds R] [--cpus CLIENT,SERVER]"))
        return refused;
    // Room for the idle connections to both servers, here and in snmpd.
    rlimit limit = {4 * kIdle, 4 * kIdle};
    setrlimit(RLIMIT_NOFILE, &limit);
    mkdir(kDir, 0700);
    const bool pinned = linkload::PinTo(s.clientCpu);
    const pid_t agent = StartAgent(pinned ? s.serverCpu : -1);
    const pid_t snmpd = StartSnmpd(pinned ? s.serverCpu : -1);
    const Servers servers = {agent, snmpd};
    const bool up = agent > 0 && snmpd > 0 && linkload::WaitForTcp(halsen::kAgentPort, 10000) &&
                    linkload::WaitForTcp(kSnmpPort, 10000);
    if (up)
    {
        printf("client on CPU %d, agent and snmpd on CPU %d%s; %d rounds of %.1f s each\n",
               s.clientCpu, s.serverCpu, pinned ? "" : " (not pinned: no such CPU)", s.rounds,
               s.seconds);
        for (int busy : {1, 10, 100})
        {
            for (const Pair& pair : kPairs)
                MeasureRow(s, servers, pair, busy, 0);
        }
        MeasureWithIdle(s, servers);
    }
    else
        fprintf(stderr, "snmp_compare_bench: %s did not start; see %s\n",
                snmpd > 0 ? "the agent" : "snmpd", kDir);
    linkload::Stop(agent);
    linkload::Stop(snmpd);
    return up ? 0 : 1;
}
