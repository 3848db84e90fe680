#pragma once

// The management client's library: the packet form, discovery by
// broadcast, and a connection that sends requests and collects their
// replies. halsenctl and the tests talk to agents through it as a
// management server would.

#include <chrono>
#include <string>
#include <vector>

namespace halsen
{
enum Kind
{
    kData = 2,
    kFinish = 3,
    kNotice = 4,
};

enum Port
{
    kAgentPort = 710,
    kAnnouncePort = 712,
    kDiscoveryPort = 713,
};

// Command words of the requests and of the agent's own notices.
enum Command
{
    kAccess = 4097,
    kDir = 4098,
    kCd = 4099,
    kGet = 4100,
    kSet = 4101,
    kInvoke = 4102,
    kRefresh = 4103,
    kClose = 4104,
    kPing = 4105,
};

struct Packet
{
    int command = -1;
    int stamp = 0;
    int kind = 0;
    std::string body;
};

// The wire form; a body longer than the length field allows goes empty.
std::string Encode(const Packet& packet);

// Gathers a byte stream and cuts it into packets.
class PacketReader
{
public:
    enum Result
    {
        kPacket,
        kNeedMore,
        kMalformed,
    };

    void Feed(const char* data, size_t n) { m_buf.append(data, n); }
    // Takes the next whole packet off the front.
    Result Next(Packet& out);
    size_t Buffered() const { return m_buf.size(); }

private:
    std::string m_buf;
};

// The command word for a name ("ping") or a decimal number; -1 otherwise.
int CommandCode(const std::string& name);
// The name of a request's command word, or its number.
std::string CommandName(int command);
// The number before the first "@" of a closing reply, or -1.
int ReplyCode(const Packet& packet);
// One line for people: "data", "done" or "notice", then what it carries.
std::string Describe(const Packet& packet);

struct Announcement
{
    std::string host;
    // The address the announcement came from.
    std::string address;
};

// The host in "TAVRINE_RAID#host#Hello World!"; false for other texts.
bool ParseAnnouncement(const std::string& text, std::string& host);

// Listens for agents' announcements on the announcement port. Several
// listeners may share the port.
class AnnouncementListener
{
public:
    AnnouncementListener() = default;
    ~AnnouncementListener();
    AnnouncementListener(const AnnouncementListener&) = delete;
    AnnouncementListener& operator=(const AnnouncementListener&) = delete;

    bool Open(std::string& error, int port = kAnnouncePort);
    // The next announcement within timeoutMs; false on time-out. Other
    // datagrams on the port are skipped.
    bool Wait(Announcement& out, int timeoutMs);
    // Announcements that arrive within timeoutMs.
    std::vector<Announcement> Collect(int timeoutMs);

private:
    int m_fd = -1;
};

struct DiscoverOptions
{
    std::string request = "TAVRINE_HALSEN#";
    std::string address = "255.255.255.255";
    int timeoutMs = 2000;
};

// The R64 text form of bytes (the agent's Base64 variant: "_" for "/",
// no padding), and back; a character outside the alphabet reads as 0.
std::string ToR64(const std::string& bytes);
std::string FromR64(const std::string& text);

// The logon credential: R64 of the user name, "@", the 4 salt bytes, the
// round count byte (0 means 256), a reserved byte and the password
// encrypted with DES-CBC under a key derived from the name and the salt.
// Empty when the salt is not 4 bytes or the cipher is unavailable.
std::string EncodeCredential(const std::string& user, const std::string& password, const std::string& salt,
                             unsigned char count);
// The same with a fresh random salt and round count.
std::string EncodeCredential(const std::string& user, const std::string& password);
// The body of the access request that logs on with credential, presenting
// the location words (0 0 when null).
std::string LogonBody(const unsigned long location[2], const std::string& credential);

// Where a password comes from: a file (its first line) when one is named,
// else the environment variable when it is set, else the terminal, which
// does not echo it.
struct PasswordSource
{
    std::string file;
    std::string variable = "HALSEN_PASSWORD";
    std::string prompt = "Password: ";
};
bool ReadPassword(const PasswordSource& source, std::string& out, std::string& error);

// The agent identity of this machine, from the agent's profile; a client
// that presents it at logon proves to be local. False when it cannot be
// read.
bool ReadLocalLocation(unsigned long location[2], const std::string& profile = "/etc/tavrine/Dorvik.rc");

// Sends the discovery request and gathers the announcements that come in
// the time-out, each host and address once.
bool Discover(const DiscoverOptions& options, std::vector<Announcement>& found, std::string& error);

// One TCP connection to an agent.
class Connection
{
public:
    enum Status
    {
        kGot,
        kTimeout,
        // The peer closed the connection.
        kClosed,
        // The peer sent something that is no packet, or the transport failed.
        kBroken,
    };

    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Connect(const std::string& address, int port, std::string& error);
    bool Send(const Packet& packet) { return SendRaw(Encode(packet)); }
    bool SendRaw(const std::string& bytes);
    Status Receive(Packet& out, int timeoutMs);
    // Sends one request and gathers what answers it, up to and with its
    // closing reply (or the agent's close notice). Notices that come
    // meanwhile are gathered too.
    Status Request(const Packet& request, std::vector<Packet>& replies, int timeoutMs);
    // Closes without a word; the agent sees the peer go.
    void Close();
    int Fd() const { return m_fd; }

    // Logs a user on and keeps the logon handle the agent gave. False with
    // the reason in error when the agent refused or did not answer.
    bool LogOn(const std::string& user, const std::string& password, std::string& error,
               const unsigned long location[2] = nullptr, int timeoutMs = 10000);
    // The handle of the last good logon, 0 before one.
    unsigned LogonHandle() const { return m_logon; }
    // The agent logs off the logons of a connection silent for two minutes
    // and drops one silent for 22. With an interval (milliseconds, 0 for
    // none), a connection that only listens sends a ping that wants no
    // answer whenever it has sent nothing that long, and answers the
    // agent's pings as Receive meets them.
    void KeepAlive(int intervalMs) { m_keepAliveMs = intervalMs; }

private:
    // Milliseconds to wait for input before the next keep-alive is due.
    int KeepAliveWait(int leftMs) const;
    void SendKeepAlive();

    int m_fd = -1;
    PacketReader m_reader;
    unsigned m_logon = 0;
    int m_keepAliveMs = 0;
    std::chrono::steady_clock::time_point m_lastSent = std::chrono::steady_clock::now();
};
} // namespace halsen
