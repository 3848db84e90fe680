#include "CException.h"
#include "CSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
int BoundPort(int sd)
{
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    if (getsockname(sd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return -1;
    return ntohs(addr.sin_port);
}

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

// A socket bound to an ephemeral port of all local addresses.
struct Endpoint
{
    CSocket sock;
    int port = -1;
    explicit Endpoint(int type)
    {
        sock.Socket(type);
        EXPECT_EQ(sock.Bind(0), 0);
        port = BoundPort(sock.GetSd());
    }
};

struct Listener : Endpoint
{
    Listener() : Endpoint(SOCK_STREAM) { sock.Listen(4); }
};

struct Datagram : Endpoint
{
    Datagram() : Endpoint(SOCK_DGRAM) {}
};

// A stream connection over loopback, its client bound to `from` if given.
struct Connection
{
    Listener server;
    CSocket client;
    CSocket accepted;
    explicit Connection(const char* from = nullptr)
    {
        client.Socket(SOCK_STREAM);
        if (from)
        {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            EXPECT_EQ(inet_pton(AF_INET, from, &local.sin_addr), 1);
            EXPECT_EQ(bind(client.GetSd(), reinterpret_cast<sockaddr*>(&local), sizeof(local)), 0);
        }
        EXPECT_TRUE(client.Connect("127.0.0.1", server.port));
        server.sock.Accept(accepted);
    }
};

// Whether a datagram is waiting on `sd`, without taking it.
bool DatagramPending(int sd)
{
    char c;
    return recv(sd, &c, 1, MSG_DONTWAIT | MSG_PEEK) >= 0;
}

std::string ThrownText(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const CException& e)
    {
        return e.m_Info;
    }
    return "(nothing thrown)";
}
}

TEST(CSocketTest, NewSocketHoldsNoDescriptorAndClosesNone)
{
    // A socket that took descriptor 0 for "none" would close standard input.
    if (!IsOpen(0))
    {
        ASSERT_EQ(open("/dev/null", O_RDONLY), 0);
    }
    {
        CSocket s;
        EXPECT_EQ(s.GetSd(), -1);
    }
    EXPECT_TRUE(IsOpen(0));
}

// A second Close must not close whatever descriptor reused the number.
TEST(CSocketTest, CloseTwiceClosesTheDescriptorOnce)
{
    CSocket s;
    s.Socket(SOCK_STREAM);
    int sd = s.GetSd();
    s.Close();
    EXPECT_FALSE(IsOpen(sd));
    int reused = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(reused, sd) << "the lowest free descriptor should be reused";
    s.Close();
    EXPECT_TRUE(IsOpen(reused));
    close(reused);
}

TEST(CSocketTest, MaxDescriptorOnlyGrows)
{
    CSocket a, b;
    a.Socket(SOCK_STREAM);
    b.Socket(SOCK_DGRAM);
    EXPECT_GE(CSocket::GetMaxSd(), b.GetSd());
    int highest = CSocket::GetMaxSd();
    b.Close();
    a.Close();
    EXPECT_EQ(CSocket::GetMaxSd(), highest);
}

TEST(CSocketTest, AcceptedDescriptorRaisesMax)
{
    Listener server;
    // Occupy low numbers so the accepted descriptor is the highest yet.
    int fillers[8];
    for (int& f : fillers)
        f = open("/dev/null", O_RDONLY);
    int client = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(server.port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    CSocket accepted;
    server.sock.Accept(accepted);
    EXPECT_GT(accepted.GetSd(), client);
    EXPECT_EQ(CSocket::GetMaxSd(), accepted.GetSd());
    close(client);
    for (int f : fillers)
        close(f);
}

TEST(CSocketTest, FailuresThrowTheirTexts)
{
    struct Case
    {
        const char* name;
        std::function<void(CSocket&)> action;
        const char* text;
    };
    const Case cases[] = {
        {"socket of an unknown type", [](CSocket& s) { s.Socket(99); },
         "Exception:Create a socket description error"},
        {"listen on a datagram socket", [](CSocket& s) { s.Socket(SOCK_DGRAM); s.Listen(1); },
         "Exception:Using UDP,but you want to listen"},
        {"listen without a descriptor", [](CSocket& s) { s.Listen(1); }, "Exception:Listen error"},
        {"accept on a datagram socket",
         [](CSocket& s) { CSocket c; s.Socket(SOCK_DGRAM); s.Accept(c); },
         "Exception:Using UDP,but you want to accept"},
        {"accept on a socket that does not listen",
         [](CSocket& s) { CSocket c; s.Socket(SOCK_STREAM); s.Accept(c); }, "Exception:Accept error"},
        {"connect on a datagram socket",
         [](CSocket& s) { s.Socket(SOCK_DGRAM); s.Connect("127.0.0.1", 9); },
         "Exception:Using UDP,but you want to connect"},
        {"set an unknown option",
         [](CSocket& s) { int v = 1; s.Socket(SOCK_STREAM); s.SetSockOpt(12345, &v, sizeof(v), SOL_SOCKET); },
         "Exception:SetSockOpt error"},
        {"set an option without a descriptor",
         [](CSocket& s) { int v = 1; s.SetSockOpt(SO_REUSEADDR, &v, sizeof(v), SOL_SOCKET); },
         "Exception:SetSockOpt error"},
        {"get an unknown option",
         [](CSocket& s) { int v = 0; int len = sizeof(v); s.Socket(SOCK_STREAM); s.GetSockOpt(12345, &v, &len, SOL_SOCKET); },
         "Exception:SetSockOpt error"},
    };
    for (const Case& c : cases)
    {
        CSocket s;
        EXPECT_EQ(ThrownText([&] { c.action(s); }), c.text) << c.name;
    }
}

TEST(CSocketTest, FailedCreationLeavesNoDescriptor)
{
    CSocket s;
    s.Socket(SOCK_STREAM);
    int old = s.GetSd();
    EXPECT_THROW(s.Socket(99), CException);
    EXPECT_EQ(s.GetSd(), -1);
    EXPECT_FALSE(IsOpen(old));
}

TEST(CSocketTest, OptionsRoundTrip)
{
    CSocket s;
    s.Socket(SOCK_DGRAM);
    int on = 1;
    s.SetSockOpt(SO_BROADCAST, &on, sizeof(on), SOL_SOCKET);
    int value = 0;
    int len = sizeof(value);
    s.GetSockOpt(SO_BROADCAST, &value, &len, SOL_SOCKET);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(len, static_cast<int>(sizeof(value)));
}

TEST(CSocketTest, TransfersOnTheWrongKindReturnTheMarker)
{
    CSocket udp, tcp;
    udp.Socket(SOCK_DGRAM);
    tcp.Socket(SOCK_STREAM);
    char buf[8] = "x";
    CString address;
    int port = 0;
    EXPECT_EQ(udp.Send(buf, 1, 0), -8965359);
    EXPECT_EQ(udp.Receive(buf, sizeof(buf), 0), -8965359);
    EXPECT_EQ(tcp.SendTo(buf, 1, "127.0.0.1", 9, 0), -8965359);
    EXPECT_EQ(tcp.ReceiveFrom(buf, sizeof(buf), address, port, 0), -8965359);
    EXPECT_EQ(CSocket::kWrongKind, static_cast<int>(0xff773311));
}

// Send on a datagram socket that is connected at the system level must
// still send nothing, and Receive must leave a waiting datagram alone.
TEST(CSocketTest, WrongKindTransfersTouchNoData)
{
    Datagram receiver;
    CSocket sender;
    sender.Socket(SOCK_DGRAM);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(receiver.port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(sender.GetSd(), reinterpret_cast<sockaddr*>(&to), sizeof(to)), 0);
    EXPECT_EQ(sender.Send("a", 1, 0), CSocket::kWrongKind);
    EXPECT_FALSE(DatagramPending(receiver.sock.GetSd()));

    ASSERT_EQ(send(sender.GetSd(), "b", 1, 0), 1);
    usleep(10000);
    char buf[4];
    EXPECT_EQ(receiver.sock.Receive(buf, sizeof(buf), MSG_DONTWAIT), CSocket::kWrongKind);
    EXPECT_TRUE(DatagramPending(receiver.sock.GetSd()));
}

TEST(CSocketTest, StreamRoundTripOverLoopback)
{
    Connection link;
    CSocket& client = link.client;
    CSocket& accepted = link.accepted;
    EXPECT_STREQ(accepted.GetRemoteIP(), "127.0.0.1");
    EXPECT_EQ(accepted.GetRemote_b4IP(), 1);

    EXPECT_EQ(client.Send("hello", 5, 0), 5);
    char buf[16] = {};
    EXPECT_EQ(accepted.Receive(buf, sizeof(buf), 0), 5);
    EXPECT_STREQ(buf, "hello");
    EXPECT_EQ(accepted.Send("ok", 2, 0), 2);
    EXPECT_EQ(client.Receive(buf, sizeof(buf), 0), 2);

    client.Close();
    EXPECT_EQ(accepted.Receive(buf, sizeof(buf), 0), 0);
}

TEST(CSocketTest, RemoteLastOctetComesFromThePeerAddress)
{
    Connection link("127.0.0.23");
    EXPECT_STREQ(link.accepted.GetRemoteIP(), "127.0.0.23");
    EXPECT_EQ(link.accepted.GetRemote_b4IP(), 23);
}

TEST(CSocketTest, BindingATakenPortReturnsAddressInUse)
{
    Listener holder;
    CSocket second;
    second.Socket(SOCK_STREAM);
    int result = -1;
    EXPECT_NO_THROW(result = second.Bind(holder.port));
    EXPECT_EQ(result, 98);
}

TEST(CSocketTest, BindWithoutDescriptorReturnsTheError)
{
    CSocket s;
    EXPECT_EQ(s.Bind(0), EBADF);
}

TEST(CSocketTest, ConnectRefusesWhatIsNotADottedQuadOrNotListening)
{
    int closedPort;
    {
        Listener gone;
        closedPort = gone.port;
    }
    struct Case
    {
        const char* address;
        int port;
    };
    const Case cases[] = {
        {"localhost", closedPort}, {"256.1.1.1", closedPort}, {"127.1", closedPort},
        {"", closedPort},          {nullptr, closedPort},      {"127.0.0.1", closedPort},
    };
    for (const Case& c : cases)
    {
        CSocket s;
        s.Socket(SOCK_STREAM);
        EXPECT_FALSE(s.Connect(c.address, c.port)) << (c.address ? c.address : "(null)");
    }
}

TEST(CSocketTest, DatagramCarriesSenderAddressAndPort)
{
    Datagram receiver, sender;
    EXPECT_EQ(sender.sock.SendTo("ping", 4, "127.0.0.1", receiver.port, 0), 4);
    char buf[16] = {};
    CString address;
    int port = 0;
    EXPECT_EQ(receiver.sock.ReceiveFrom(buf, sizeof(buf), address, port, 0), 4);
    EXPECT_STREQ(buf, "ping");
    EXPECT_STREQ(address, "127.0.0.1");
    EXPECT_EQ(port, sender.port);
}

TEST(CSocketTest, DatagramReceiveFailureLeavesAddressAlone)
{
    Datagram receiver;
    char buf[4];
    CString address("unchanged");
    int port = 77;
    EXPECT_EQ(receiver.sock.ReceiveFrom(buf, sizeof(buf), address, port, MSG_DONTWAIT), -1);
    EXPECT_STREQ(address, "unchanged");
    EXPECT_EQ(port, 77);
}

TEST(CSocketTest, SendToABadAddressSendsNothing)
{
    Datagram receiver, sender;
    EXPECT_EQ(sender.sock.SendTo("x", 1, "not-an-address", receiver.port, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(sender.sock.SendTo("x", 1, nullptr, receiver.port, 0), -1);
    usleep(10000);
    EXPECT_FALSE(DatagramPending(receiver.sock.GetSd()));
}

// A negative length must never reach the system as a huge size.
TEST(CSocketTest, NegativeLengthsAreRefused)
{
    Connection link;
    char buf[4] = {};
    EXPECT_EQ(link.client.Send(buf, -1, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(link.client.Send("abcd", 4, 0), 4);
    EXPECT_EQ(link.accepted.Receive(buf, -5, 0), -1);
    EXPECT_EQ(errno, EINVAL);

    Datagram udp;
    CString address;
    int port = 0;
    EXPECT_EQ(udp.sock.SendTo(buf, -1, "127.0.0.1", udp.port, 0), -1);
    EXPECT_EQ(udp.sock.ReceiveFrom(buf, -1, address, port, 0), -1);
}
