// The built unit file: what the agent needs from it and what it takes away.

#include "ServiceUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <sys/select.h>

namespace
{
struct Setting
{
    const char* key;
    const char* word;
};

class ServiceUnitTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_unit.Load(servicetest::UnitPath())) << servicetest::UnitPath(); }

    bool Has(const std::string& key, const std::string& word) const
    {
        const std::vector<std::string> words = m_unit.Words(key);
        return std::find(words.begin(), words.end(), word) != words.end();
    }

    servicetest::ServiceUnit m_unit;
};

// Without these the agent does not start or does not serve.
TEST_F(ServiceUnitTest, GrantsWhatTheAgentNeeds)
{
    const Setting needed[] = {
        {"ReadWritePaths", "/etc/tavrine"},
        {"ReadWritePaths", "/var/log/tavrine"},
        // The driver's node is made when it is missing or wrong.
        {"ReadWritePaths", "/dev"},
        {"ReadWritePaths", "-/proc/scsi/scsi"},
        // The lock that keeps a second agent from starting.
        {"ReadWritePaths", "/run"},
        // The trace of rights changes.
        {"ReadWritePaths", "/tmp"},
        {"DeviceAllow", "block-zel_st"},
        {"DeviceAllow", "rwm"},
        {"RestrictAddressFamilies", "AF_INET"},
        {"SystemCallFilter", "@system-service"},
        {"KillSignal", "SIGTERM"},
        {"Restart", "on-failure"},
        {"UMask", "0077"},
    };
    for (const Setting& s : needed)
        EXPECT_TRUE(Has(s.key, s.word)) << s.key << " lacks " << s.word;
    const std::vector<std::string> exec = m_unit.Words("ExecStart");
    ASSERT_EQ(exec.size(), 1u);
    EXPECT_EQ(exec[0].substr(exec[0].rfind('/')), "/dorvik");
}

TEST_F(ServiceUnitTest, BoundsCapabilitiesToPortAndNode)
{
    const std::vector<std::string> caps = m_unit.Words("CapabilityBoundingSet");
    EXPECT_EQ(std::set<std::string>(caps.begin(), caps.end()),
              (std::set<std::string>{"CAP_NET_BIND_SERVICE", "CAP_MKNOD"}));
    EXPECT_TRUE(m_unit.Words("AmbientCapabilities").empty());
}

TEST_F(ServiceUnitTest, RestrictsTheRest)
{
    const Setting restrictions[] = {
        {"NoNewPrivileges", "yes"},   {"ProtectSystem", "strict"},        {"ProtectHome", "yes"},
        {"DevicePolicy", "closed"},   {"ProtectKernelTunables", "yes"},   {"ProtectKernelModules", "yes"},
        {"ProtectKernelLogs", "yes"}, {"ProtectControlGroups", "yes"},    {"ProtectClock", "yes"},
        {"ProtectHostname", "yes"},   {"RestrictNamespaces", "yes"},      {"RestrictRealtime", "yes"},
        {"RestrictSUIDSGID", "yes"},  {"LockPersonality", "yes"},         {"MemoryDenyWriteExecute", "yes"},
        {"PrivateIPC", "yes"},        {"SystemCallArchitectures", "native"}, {"PrivateMounts", "yes"},
    };
    for (const Setting& s : restrictions)
        EXPECT_TRUE(Has(s.key, s.word)) << s.key << " is not " << s.word;
    const std::vector<std::string> families = m_unit.Words("RestrictAddressFamilies");
    EXPECT_EQ(std::set<std::string>(families.begin(), families.end()),
              (std::set<std::string>{"AF_INET", "AF_UNIX"}));
    EXPECT_FALSE(m_unit.Words("MemoryMax").empty());
}

// The deny list must spare what the agent calls: setrlimit for its
// descriptors, the interval timer, sockets, files and mknod.
TEST_F(ServiceUnitTest, DeniedCallsSpareThoseTheAgentMakes)
{
    for (const std::string& word : m_unit.Words("SystemCallFilter"))
    {
        if (word[0] != '~')
            continue;
        for (const char* used : {"~@resources", "~@timer", "~@network-io", "~@file-system", "~@basic-io",
                                 "~@signal", "~@process", "~@io-event"})
            EXPECT_NE(word, used);
    }
}

// The agent asks for one descriptor per connection up to the select
// limit and a spare 64; the unit's limit must not stop it short.
TEST_F(ServiceUnitTest, DescriptorLimitCoversTheConnections)
{
    const std::vector<std::string> limit = m_unit.Words("LimitNOFILE");
    ASSERT_EQ(limit.size(), 1u);
    EXPECT_GE(strtol(limit[0].c_str(), nullptr, 10), FD_SETSIZE + 64);
}

// The exposure that systemd's own analysis gives the unit.
TEST_F(ServiceUnitTest, ExposureIsAtMostThree)
{
    if (system("command -v systemd-analyze >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no systemd-analyze here";
    const std::string command = "systemd-analyze security --offline=true '" + servicetest::UnitPath() + "' 2>&1";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    const size_t at = out.find("Overall exposure level for dorvik.service: ");
    ASSERT_NE(at, std::string::npos) << out;
    const double exposure = strtod(out.c_str() + at + 43, nullptr);
    EXPECT_LE(exposure, 3.0) << out;
}
} // namespace
