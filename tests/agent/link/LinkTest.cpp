// The agent's management links as a management server meets them: the
// real dorvik in the sandbox, talked to through the client library.

#include "AgentConnection.h"
#include "AgentProcess.h"
#include "HalsenClient.h"
#include "LogonHelpers.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{
const char kLocal[] = "127.0.0.1";
const char kNotFound[] = "803@Not found";
const int kReplyMs = 5000;
// How long an announcement that is not to come is waited for.
const int kQuietMs = 600;

std::string HostName()
{
    char name[32] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

halsen::Packet Request(int command, int stamp, const std::string& body)
{
    halsen::Packet p;
    p.command = command;
    p.stamp = stamp;
    p.body = body;
    return p;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class LinkTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(m_listener.Open(error)) << error;
    }

    void StartAgent(const std::vector<std::string>& args = {})
    {
        // One agent runs at a time: the one of an earlier start goes first.
        m_agent.reset();
        logontest::CreateAdmin();
        m_agent.reset(new AgentProcess(args));
        ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout();
        ExpectAnnouncement();
    }

    void Connect(halsen::Connection& c) { ASSERT_TRUE(agenttest::ConnectToAgent(c)); }

    // A connection without a logon, for the tests that hold many.
    void ConnectOnly(halsen::Connection& c)
    {
        std::string error;
        ASSERT_TRUE(c.Connect(kLocal, halsen::kAgentPort, error)) << error;
    }

    void ExpectAnnouncement()
    {
        halsen::Announcement a;
        ASSERT_TRUE(m_listener.Wait(a, kReplyMs));
        EXPECT_EQ(a.host, HostName());
    }

    void ExpectNoAnnouncement() { EXPECT_TRUE(m_listener.Collect(kQuietMs).empty()); }

    // One request and its one closing reply, which carries the request's
    // command and stamp words.
    void ExpectAnswer(halsen::Connection& c, int command, int stamp, const std::string& reply = kNotFound)
    {
        std::vector<halsen::Packet> replies;
        ASSERT_EQ(c.Request(Request(command, stamp, "nothing"), replies, kReplyMs), halsen::Connection::kGot);
        ASSERT_EQ(replies.size(), 1u);
        ExpectFinish(replies[0], command, stamp, reply);
    }

    static void ExpectFinish(const halsen::Packet& p, int command, int stamp, const std::string& reply = kNotFound)
    {
        EXPECT_EQ(p.kind, halsen::kFinish);
        EXPECT_EQ(p.command, command);
        EXPECT_EQ(p.stamp, stamp);
        EXPECT_EQ(p.body, reply);
    }

    static void ExpectCloseNotice(halsen::Connection& c)
    {
        halsen::Packet p;
        ASSERT_EQ(c.Receive(p, 10000), halsen::Connection::kGot);
        EXPECT_EQ(p.kind, halsen::kNotice);
        EXPECT_EQ(p.command, halsen::kClose);
        EXPECT_EQ(p.stamp, 0);
        EXPECT_EQ(p.body, "");
        EXPECT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kClosed);
    }

    halsen::AnnouncementListener m_listener;
    std::unique_ptr<AgentProcess> m_agent;
};

TEST_F(LinkTest, DiscoveryRequestsThatMatchAreAnsweredByOneAnnouncement)
{
    StartAgent();
    const struct
    {
        std::string request;
        bool answered;
    } cases[] = {
        {"TAVRINE_HALSEN#", true},
        {"  tavrine_halsen#and whatever follows", true},
        {"Tavrine_Halsen##", true},
        {"TAVRINE_HALSENX#", false},
        {"XTAVRINE_HALSEN#", false},
        {"TAVRINE_HALSEN", false},
        {"TAVRINE_HALS#EN", false},
        {std::string("TAVRINE_HALSEN\0#", 16), false},
        {"", false},
        {std::string(600, '#'), false},
    };
    for (const auto& c : cases)
    {
        halsen::DiscoverOptions options;
        options.request = c.request;
        options.timeoutMs = kQuietMs;
        std::vector<halsen::Announcement> found;
        std::string error;
        ASSERT_TRUE(halsen::Discover(options, found, error)) << error;
        ASSERT_EQ(found.size(), c.answered ? 1u : 0u) << "\"" << c.request << "\"";
        if (c.answered)
        {
            EXPECT_EQ(found[0].host, HostName());
        }
        // The test's own listener heard the same broadcasts.
        EXPECT_EQ(m_listener.Collect(50).size(), c.answered ? 1u : 0u) << c.request;
    }
    EXPECT_TRUE(m_agent->IsRunning());
}

TEST_F(LinkTest, DiscoverCommandPrintsTheAgentsHost)
{
    StartAgent();
    const std::string command = std::string(TAVRINE_BUILD_DIR "/client/halsenctl discover --timeout 800");
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[256] = {};
    const bool gotLine = fgets(line, sizeof line, out) != nullptr;
    EXPECT_EQ(pclose(out), 0);
    ASSERT_TRUE(gotLine);
    EXPECT_EQ(std::string(line), HostName() + "\t" + kLocal + "\n");
}

TEST_F(LinkTest, ConnectionsAreServedInOrderAndListed)
{
    StartAgent();
    halsen::Connection c[3];
    for (int i = 0; i < 3; ++i)
    {
        Connect(c[i]);
        ExpectAnswer(c[i], halsen::kGet, 100 + i);
    }
    ExpectAnswer(c[1], halsen::kSet, -5);
    ExpectAnswer(c[0], halsen::kCd, 0x7FFFFFFF);
    m_agent->Signal(SIGUSR2);
    const std::string listing = "the current connected halsen is listed:\n"
                                "halsen:\t127.0.0.1\nhalsen:\t127.0.0.1\nhalsen:\t127.0.0.1\n";
    EXPECT_TRUE(m_agent->WaitForStderr(listing)) << m_agent->Stderr();
    ExpectNoAnnouncement();
}

TEST_F(LinkTest, RequestInTwoPiecesIsAnsweredOnce)
{
    StartAgent();
    halsen::Connection c;
    Connect(c);
    const std::string wire = halsen::Encode(Request(halsen::kGet, 41, "nothing"));
    for (size_t cut : {size_t(1), size_t(12), size_t(13), wire.size() - 1})
    {
        ASSERT_TRUE(c.SendRaw(wire.substr(0, cut)));
        usleep(200000);
        ASSERT_TRUE(c.SendRaw(wire.substr(cut)));
        halsen::Packet p;
        ASSERT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kGot) << cut;
        ExpectFinish(p, halsen::kGet, 41);
        EXPECT_EQ(c.Receive(p, 300), halsen::Connection::kTimeout) << cut;
    }
}

TEST_F(LinkTest, RequestsInOneWriteAreAnsweredInOrder)
{
    StartAgent();
    halsen::Connection c;
    Connect(c);
    std::string wire;
    for (int stamp = 1; stamp <= 100; ++stamp)
        wire += halsen::Encode(Request(halsen::kGet, stamp, std::string(static_cast<size_t>(stamp) * 3, 'n')));
    ASSERT_TRUE(c.SendRaw(wire));
    for (int stamp = 1; stamp <= 100; ++stamp)
    {
        halsen::Packet p;
        ASSERT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kGot) << stamp;
        ExpectFinish(p, halsen::kGet, stamp);
    }
}

// Pieces that never end on a packet border keep an incomplete packet in
// the buffer all the time; as long as bytes keep coming that is no stall.
TEST_F(LinkTest, SteadyStreamOfPiecesIsNeverTakenForAStall)
{
    StartAgent();
    halsen::Connection c;
    Connect(c);
    const int nPackets = 130;
    std::string stream;
    for (int stamp = 0; stamp < nPackets; ++stamp)
        stream += halsen::Encode(Request(halsen::kGet, stamp, std::string(984, 's')));
    ASSERT_EQ(stream.size(), 999u * nPackets);
    int nAnswered = 0;
    halsen::Packet p;
    for (size_t at = 0; at < stream.size(); at += 1000)
    {
        ASSERT_TRUE(c.SendRaw(stream.substr(at, 1000)));
        usleep(50000);
        while (c.Receive(p, 0) == halsen::Connection::kGot)
            ExpectFinish(p, halsen::kGet, nAnswered++);
    }
    while (nAnswered < nPackets && c.Receive(p, kReplyMs) == halsen::Connection::kGot)
        ExpectFinish(p, halsen::kGet, nAnswered++);
    EXPECT_EQ(nAnswered, nPackets);
}

// The request is read away by its declared length however it arrives, and
// the connection goes on with the next one.
TEST_F(LinkTest, OversizedRequestIsReadAwayAndRefused)
{
    StartAgent();
    halsen::Connection c, other;
    Connect(c);
    Connect(other);
    const std::string big = halsen::Encode(Request(halsen::kSet, 77, std::string(3000, 'b')));
    ASSERT_EQ(big.size(), 3015u);
    // Exactly two buffers' worth, then silence: the agent must not wait for
    // the rest while others need it.
    ASSERT_TRUE(c.SendRaw(big.substr(0, 2048)));
    usleep(300000);
    ExpectAnswer(other, halsen::kGet, 5);
    ASSERT_TRUE(c.SendRaw(big.substr(2048) + halsen::Encode(Request(halsen::kGet, 78, "nothing"))));
    halsen::Packet p;
    ASSERT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kGot);
    ExpectFinish(p, halsen::kSet, 77, "805@Invalid argument");
    ASSERT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kGot);
    ExpectFinish(p, halsen::kGet, 78);
    EXPECT_TRUE(m_agent->WaitForStdout("ReceiveMessage error,too large data package\nTotal received 3015 bytes\n"))
        << m_agent->Stdout();
}

TEST_F(LinkTest, LargestAcceptedRequestIsServed)
{
    StartAgent();
    halsen::Connection c;
    Connect(c);
    const std::string wire1024 = halsen::Encode(Request(halsen::kGet, 1, std::string(1009, 'a')));
    const std::string wire1025 = halsen::Encode(Request(halsen::kGet, 2, std::string(1010, 'a')));
    ASSERT_EQ(wire1024.size(), 1024u);
    ASSERT_TRUE(c.SendRaw(wire1024 + wire1025));
    halsen::Packet p;
    ASSERT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kGot);
    ExpectFinish(p, halsen::kGet, 1);
    ASSERT_EQ(c.Receive(p, kReplyMs), halsen::Connection::kGot);
    ExpectFinish(p, halsen::kGet, 2, "805@Invalid argument");
}

TEST_F(LinkTest, AbruptCloseRemovesTheConnectionAndAnnounces)
{
    StartAgent();
    halsen::Connection gone, stays;
    Connect(gone);
    Connect(stays);
    ExpectAnswer(gone, halsen::kGet, 1);
    ExpectAnswer(stays, halsen::kGet, 2);
    gone.Close();
    ExpectAnnouncement();
    EXPECT_TRUE(m_agent->WaitForStdout("No Message received from 127.0.0.1!\nclose connection with 127.0.0.1\n"));
    ExpectNoAnnouncement();
    ExpectAnswer(stays, halsen::kGet, 3);
    m_agent->Signal(SIGUSR2);
    EXPECT_TRUE(m_agent->WaitForStderr("the current connected halsen is listed:\nhalsen:\t127.0.0.1\n"));
    EXPECT_EQ(Count(m_agent->Stderr(), "halsen:\t"), 1u);
}

TEST_F(LinkTest, MalformedPacketsGetTheCloseNotice)
{
    const struct
    {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"long form under 255", std::string(12, '\x01') + std::string("\xFF\x10\x00", 3) + std::string(16, 'x')},
        {"twelve bytes, then nothing", std::string(12, '\x01')},
        {"length beyond the data", std::string(12, '\x01') + "\x40" + "short"},
    };
    StartAgent();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        halsen::Connection conn;
        Connect(conn);
        ASSERT_TRUE(conn.SendRaw(c.bytes));
        ExpectCloseNotice(conn);
        ExpectAnnouncement();
        const std::string n = std::to_string(c.bytes.size());
        EXPECT_TRUE(m_agent->WaitForStdout("ParsePool,Not an invalid message!\nParsePool,nLength is " + n + "(Dec)"));
    }
    EXPECT_EQ(Count(m_agent->Stdout(), "close connection with 127.0.0.1\n"), 3u);
}

TEST_F(LinkTest, ShutdownSendsEveryConnectionTheCloseNoticeAndDoesNotAnnounce)
{
    StartAgent();
    halsen::Connection c[3];
    for (int i = 0; i < 3; ++i)
    {
        Connect(c[i]);
        ExpectAnswer(c[i], halsen::kGet, i);
    }
    m_agent->Signal(SIGTERM);
    EXPECT_EQ(m_agent->WaitExit(), 0);
    for (halsen::Connection& conn : c)
        ExpectCloseNotice(conn);
    ExpectNoAnnouncement();
    EXPECT_EQ(Count(m_agent->Stdout(), "close connection with 127.0.0.1\n"), 3u);
}

TEST_F(LinkTest, DebugModeShowsEveryPacket)
{
    StartAgent({"-d"});
    halsen::Connection c;
    Connect(c);
    ExpectAnswer(c, halsen::kGet, 9);
    EXPECT_TRUE(m_agent->WaitForStdout("Receive (1) :  4100   0   nothing\n   Send (1) :  4100   3   803@Not found\n"))
        << m_agent->Stdout();
}

// A peer that sends requests and never reads the replies is dropped once
// the replies waiting for it pass the agent's limit.
TEST_F(LinkTest, PeerThatDoesNotReadIsDropped)
{
    StartAgent();
    halsen::Connection idle, flood;
    Connect(idle);
    Connect(flood);
    // Small requests, many to each read of the agent, make many replies.
    std::string burst;
    for (int i = 0; i < 10000; ++i)
        burst += halsen::Encode(Request(halsen::kGet, i, "nothing"));
    bool dropped = false;
    for (int round = 0; round < 2000 && !dropped; ++round)
        dropped = !flood.SendRaw(burst) || m_agent->WaitForStdout("does not read its replies", 1);
    EXPECT_TRUE(m_agent->WaitForStdout("127.0.0.1 does not read its replies: more than 1048576 bytes wait, "
                                       "connection dropped\nclose connection with 127.0.0.1\n"))
        << m_agent->Stdout().substr(0, 2000);
    ExpectAnswer(idle, halsen::kGet, 1);
}

// select() cannot watch descriptors from FD_SETSIZE up: connections beyond
// that are accepted and closed at once, and those held go on being served.
TEST_F(LinkTest, ConnectionsBeyondWhatSelectWatchesAreRefused)
{
    const int nTried = FD_SETSIZE + 80;
    rlimit limit = {static_cast<rlim_t>(nTried + 100), static_cast<rlim_t>(nTried + 100)};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    StartAgent();
    std::vector<std::unique_ptr<halsen::Connection>> c;
    for (int i = 0; i < nTried; ++i)
    {
        c.emplace_back(new halsen::Connection);
        ConnectOnly(*c.back());
    }
    int nServed = 0, nRefused = 0;
    for (int i = 0; i < nTried; ++i)
    {
        std::vector<halsen::Packet> replies;
        // A ping is answered before any logon.
        const halsen::Connection::Status status = c[i]->Request(Request(halsen::kPing, i, "nothing"), replies, kReplyMs);
        if (status == halsen::Connection::kGot)
            ++nServed;
        else if (status == halsen::Connection::kClosed || status == halsen::Connection::kBroken)
            ++nRefused;
    }
    EXPECT_GT(nServed, FD_SETSIZE - 20);
    EXPECT_LT(nServed, FD_SETSIZE);
    EXPECT_EQ(nServed + nRefused, nTried);
    const std::string refusal = "Refused connection from 127.0.0.1: " + std::to_string(nServed) +
                                " connections are open, as many as the agent can watch\n";
    std::string refusals;
    for (int i = 0; i < nRefused; ++i)
        refusals += refusal;
    EXPECT_TRUE(m_agent->WaitForStdout(refusals)) << m_agent->Stdout().substr(0, 500);
    EXPECT_EQ(Count(m_agent->Stdout(), "Refused connection"), static_cast<size_t>(nRefused));
    ExpectAnswer(*c[0], halsen::kPing, 1, "nothing");
    ExpectAnswer(*c[nServed - 1], halsen::kPing, 2, "nothing");
    RecordProperty("connections_held", nServed);
}

// The processor time the process has used so far, in clock ticks.
long CpuTicks(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long user = 0, system = 0;
    // After the name: state is field 3, user and system time 14 and 15.
    for (int i = 3; i <= 15 && fields >> field; ++i)
    {
        if (i == 14)
            user = std::stol(field);
        if (i == 15)
            system = std::stol(field);
    }
    return user + system;
}

// How many descriptors the process holds open.
rlim_t OpenDescriptors(int pid)
{
    const std::filesystem::directory_iterator fds("/proc/" + std::to_string(pid) + "/fd");
    return static_cast<rlim_t>(std::distance(begin(fds), end(fds)));
}

// With no descriptor left for a new connection, the waiting connection
// neither keeps the agent busy nor keeps it from serving those it holds,
// and it is taken once a descriptor is free.
TEST_F(LinkTest, RunningOutOfDescriptorsNeitherSpinsNorStarvesTheOthers)
{
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers' own checks open a pipe to probe memory; with no
    // descriptor left they take a sound object for a wrong one and end the
    // agent.
    GTEST_SKIP() << "a sanitized agent cannot run out of descriptors";
#endif
    StartAgent();
    // Lowered once it runs, since the agent raises its own limit at start,
    // to a few more than it holds then: a sanitized agent holds more.
    const rlim_t nLimit = OpenDescriptors(m_agent->Pid()) + 8;
    const rlimit low = {nLimit, nLimit};
    ASSERT_EQ(prlimit(m_agent->Pid(), RLIMIT_NOFILE, &low, nullptr), 0);
    const int nTried = 40;
    std::vector<std::unique_ptr<halsen::Connection>> c;
    for (int i = 0; i < nTried; ++i)
    {
        c.emplace_back(new halsen::Connection);
        ConnectOnly(*c.back());
    }
    ASSERT_TRUE(m_agent->WaitForStdout("Can not accept a connection: Too many open files; new connections wait "
                                       "for a free descriptor\n"))
        << m_agent->Stdout().substr(0, 2000);
    ExpectAnswer(*c[0], halsen::kPing, 1, "nothing");

    const long before = CpuTicks(m_agent->Pid());
    usleep(3000000);
    const long used = CpuTicks(m_agent->Pid()) - before;
    EXPECT_LT(used, sysconf(_SC_CLK_TCK) * 3 / 10) << "ticks of processor time in 3 seconds";
    ExpectAnswer(*c[0], halsen::kPing, 2, "nothing");
    EXPECT_EQ(Count(m_agent->Stdout(), "Can not accept a connection"), 1u);

    for (int i = 1; i < nTried - 1; ++i)
        c[i].reset();
    ExpectAnswer(*c[nTried - 1], halsen::kPing, 3, "nothing");
    ExpectAnswer(*c[0], halsen::kPing, 4, "nothing");
}

TEST_F(LinkTest, PortHeldByAnotherProcessIsWaitedFor)
{
    // Not inherited by the agent, which would then hold the port itself.
    const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(halsen::kAgentPort);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    logontest::CreateAdmin();
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout("please wait for a while: ..."));
    close(holder);
    ASSERT_TRUE(agent.WaitForStdout(kRunningText));
    EXPECT_EQ(agent.Stdout().find("please wait for a while: ."), 0u);
    const std::string dots = agent.Stdout().substr(26, agent.Stdout().find('\n') - 26);
    EXPECT_EQ(dots.find_first_not_of('.'), std::string::npos) << dots;
    halsen::Connection c;
    Connect(c);
    ExpectAnswer(c, halsen::kGet, 1);
}
} // namespace
