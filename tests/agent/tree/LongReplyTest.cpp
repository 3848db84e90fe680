// Replies longer than a connection may hold unsent (an event log of
// 100000 events, a folder of some megabytes) reach a peer that reads them
// whole, while a peer that stops reading is still dropped and the others
// go on being served.

#include "AgentConnection.h"
#include "CLog.h"
#include "HalsenClient.h"
#include "TestPluginAgent.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <string>

namespace
{
using agenttest::Ask;
using agenttest::Reply;

const int kEvents = 100000;
const int kBigEntries = 4000;

std::string EventText(int i)
{
    return std::to_string(512 + i % 3) + "@" + std::to_string(1700000000 + i) + "@1@Disk Set Down@event number " +
           std::to_string(i);
}

// The adapter folder's log, written as the agent writes it, before the
// agent starts.
class LongReplyTest : public TestPluginAgent
{
protected:
    void SetUp() override
    {
        setenv("TESTRIVER_BIG_ENTRIES", std::to_string(kBigEntries).c_str(), 1);
        for (int i = 0; i < kEvents; ++i)
            ASSERT_TRUE(CLog(nullptr, "/Dev/MVP1", EventText(i).c_str()).Store()) << i;
        TestPluginAgent::SetUp();
    }

    void TearDown() override { unsetenv("TESTRIVER_BIG_ENTRIES"); }

    // A connection that logs on, goes to the adapter folder and asks for
    // its whole log. Its receive buffer is small, so that the kernel cannot
    // take the reply in its stead: the peer has it only as it reads.
    static int AskForTheWholeLog()
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        const int size = 4096;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(halsen::kAgentPort);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            return -1;
        const unsigned long location[2] = {0, 0};
        const std::string credential = halsen::EncodeCredential(logontest::kAdmin, logontest::kAdminPassword);
        std::string requests;
        int stamp = 1;
        for (const auto& r : {std::make_pair(halsen::kAccess, halsen::LogonBody(location, credential)),
                              std::make_pair(halsen::kCd, std::string("Dev")),
                              std::make_pair(halsen::kCd, std::string("MVP1")),
                              std::make_pair(halsen::kInvoke, std::string("ReadEvent@0@0@0"))})
        {
            halsen::Packet request;
            request.command = r.first;
            request.stamp = stamp++;
            request.body = r.second;
            requests += halsen::Encode(request);
        }
        return send(fd, requests.data(), requests.size(), 0) == static_cast<ssize_t>(requests.size()) ? fd : -1;
    }

    // Reads slowly, a little at a time, up to the invoke's closing reply;
    // the data lines of the invoke, or what was read when the connection
    // ended or the time ran out.
    static std::vector<std::string> ReadSlowly(int fd)
    {
        std::vector<std::string> lines;
        halsen::PacketReader reader;
        char chunk[1024];
        for (int round = 0; round < 200000; ++round)
        {
            halsen::Packet p;
            while (reader.Next(p) == halsen::PacketReader::kPacket)
            {
                if (p.command == halsen::kInvoke && p.kind == halsen::kFinish)
                    return lines;
                if (p.command == halsen::kInvoke && p.kind == halsen::kData)
                    lines.push_back(p.body);
            }
            const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return lines;
            reader.Feed(chunk, static_cast<size_t>(n));
            usleep(1000);
        }
        return lines;
    }
};

TEST_F(LongReplyTest, AReaderGetsEveryLineAndAPeerThatStopsReadingIsDropped)
{
    // A fresh connection, whose buffers have not grown yet, lists some
    // megabytes at once.
    halsen::Connection lister;
    ASSERT_TRUE(agenttest::ConnectToAgent(lister));
    ASSERT_EQ(Ask(lister, halsen::kCd, "Dev").finish, "800@Functional");
    const Reply dir = Ask(lister, halsen::kDir, "", 60000);
    EXPECT_EQ(dir.finish, "800@Functional");
    size_t big = 0;
    for (const std::string& line : dir.lines)
        big += line.compare(0, 3, "Big") == 0 && line.size() > 900;
    EXPECT_EQ(big, static_cast<size_t>(kBigEntries));
    EXPECT_EQ(Ask(lister, halsen::kGet, "Model").finish, "0@Functional") << "the lister is served on";

    const int stalled = AskForTheWholeLog();
    ASSERT_GE(stalled, 0);
    halsen::Connection reader;
    ASSERT_TRUE(agenttest::ConnectToAgent(reader));

    ASSERT_EQ(Ask(reader, halsen::kCd, "Dev").finish, "800@Functional");
    ASSERT_EQ(Ask(reader, halsen::kCd, "MVP1").finish, "800@Functional");

    const int slow = AskForTheWholeLog();
    ASSERT_GE(slow, 0);
    const std::vector<std::string> events = ReadSlowly(slow);
    close(slow);
    ASSERT_EQ(events.size(), static_cast<size_t>(kEvents + 2));
    EXPECT_EQ(events[0], "ReadEvent@0@" + EventText(kEvents - 1)) << "newest first";
    EXPECT_EQ(events[kEvents - 1], "ReadEvent@0@" + EventText(0));
    EXPECT_EQ(events[kEvents].compare(0, 20, "ReadEvent@255@256@0@"), 0) << events[kEvents];
    EXPECT_EQ(events[kEvents + 1], "800@Functional@" + events[kEvents]);

    const Reply oldest = Ask(reader, halsen::kInvoke, "ReadEvent@0@-3@0");
    ASSERT_EQ(oldest.lines.size(), 5u);
    EXPECT_EQ(oldest.lines[0], "ReadEvent@0@" + EventText(0));
    EXPECT_EQ(oldest.lines[2], "ReadEvent@0@" + EventText(2));


    EXPECT_TRUE(m_agent->WaitForStdout("127.0.0.1 does not read its replies: none taken for 30 seconds, "
                                       "connection dropped\n",
                                       60000))
        << m_agent->Stdout().substr(0, 2000);
    EXPECT_EQ(m_agent->Stdout().find("more than 1048576 bytes wait"), std::string::npos);
    EXPECT_EQ(Ask(reader, halsen::kGet, "HasEvent").finish, "0@Functional");
    close(stalled);
}
} // namespace
