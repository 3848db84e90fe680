#include "CSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// The sandbox keeps the host's name and its hosts file, so the name
// resolves without any traffic leaving the machine.
TEST(LocalAddressTest, LocalAddressIsADottedQuad)
{
    CSocket s;
    const char* address = s.GetLocalIP();
    ASSERT_NE(address, nullptr);
    in_addr parsed;
    EXPECT_EQ(inet_pton(AF_INET, address, &parsed), 1) << address;
}

// With a host name of its own (a private name space inside the sandbox,
// whose network reaches nothing), a name that does not resolve falls back to
// the bound address.
TEST(LocalAddressTest, HostNameDecidesTheLocalAddress)
{
    ASSERT_EQ(unshare(CLONE_NEWUTS), 0);
    struct Case
    {
        std::string hostName;
        const char* expected;
    };
    const Case cases[] = {
        {"localhost", "127.0.0.1"},
        {"no-such-host.invalid", "0.0.0.0"},
        {std::string(64, 'h'), "0.0.0.0"},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(sethostname(c.hostName.c_str(), c.hostName.size()), 0) << c.hostName;
        CSocket s;
        s.Socket(SOCK_DGRAM);
        ASSERT_EQ(s.Bind(0), 0);
        EXPECT_STREQ(s.GetLocalIP(), c.expected) << c.hostName;
    }
}
