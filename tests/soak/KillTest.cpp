// The agent killed outright at random moments of a loaded run, again and
// again (TAVRINE_KILL_ROUNDS, 5 by default): after each kill the account
// file, the profile and every event log must read back whole, no stored
// event may be lost, and the agent started again must serve them.

#include "SoakSupport.h"

#include "CProfile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <random>
#include <sstream>

namespace
{
using agenttest::Ask;
using soak::Clock;
using soak::kDone;
using soak::kEmailId;

// As the agent keeps it: the name quoted.
const char kStoredEmailId[] = "\"Raid Admin\" <admin@example.com>";
const std::string kDump = TAVRINE_BUILD_DIR "/tools/pwdump/pwdump";

// Every line of the profile is a section, a key with its value or empty,
// and the entries the agent and the load wrote are there as written.
void ExpectWholeProfile()
{
    std::ifstream in("/etc/tavrine/Dorvik.rc");
    std::stringstream text;
    text << in.rdbuf();
    std::istringstream lines(text.str());
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.empty() || line[0] == '[' || line.find('=') != std::string::npos)
            << "a broken line \"" << line << "\" in\n"
            << text.str();
    CProfile profile("/etc/tavrine/Dorvik.rc");
    CString value;
    profile.GetProfile("Morliven", "Path1", value);
    EXPECT_STREQ(value, MVRAID_PATH) << text.str();
    profile.GetProfile("E-Mail log", "EmailID", value);
    EXPECT_STREQ(value, kStoredEmailId) << text.str();
    profile.GetProfile("E-Mail log", "SMTP", value);
    EXPECT_STREQ(value, "127.0.0.1") << text.str();
}

// The events of the adapter's log as the agent lists them.
long ListedByAgent()
{
    const agenttest::CommandResult listed =
        agenttest::RunHalsenctl("events '\\RAID\\MVP1' --limit 100000");
    EXPECT_EQ(listed.status, 0) << listed.out;
    long lines = 0;
    std::istringstream out(listed.out);
    for (std::string line; std::getline(out, line);)
        lines += line.compare(0, 5, "next ") != 0 && !line.empty();
    return lines;
}

TEST(Kill, WhatTheAgentKeepsSurvivesKillsUnderLoad)
{
    simtest::LoadPreset("enclosure-battery");
    simtest::Shell("zelsim set hot-spares 0");
    agenttest::UseDevice("RAID", MVRAID_PATH);
    logontest::CreateAdmin();

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment(1000, 18000);
    soak::HardwareLoad hardware;
    long stored = 0;
    const int rounds = soak::FromEnvironment("TAVRINE_KILL_ROUNDS", 5);
    for (int round = 0; round < rounds; ++round)
    {
        {
            AgentProcess agent({});
            ASSERT_TRUE(agent.WaitForStdout(kRunningText)) << agent.Stdout() << agent.Stderr();
            halsen::Connection control;
            ASSERT_TRUE(agenttest::ConnectToAgent(control));
            EXPECT_EQ(Ask(control, halsen::kSet, "PollFrequency@15").finish, kDone);
            EXPECT_EQ(Ask(control, halsen::kSet, "SMTPServer@127.0.0.1").finish, kDone);
            soak::ClientLoad clients(3, kEmailId);
            const Clock::time_point kill = Clock::now() + std::chrono::milliseconds(moment(random));
            while (Clock::now() < kill)
            {
                hardware.Next();
                agent.Drain(static_cast<int>(std::min<long>(
                    1500, std::chrono::duration_cast<std::chrono::milliseconds>(kill - Clock::now()).count())));
            }
            agent.Signal(SIGKILL);
            EXPECT_EQ(agent.WaitExit(), 128 + SIGKILL);
        }
        SCOPED_TRACE("after kill " + std::to_string(round + 1));
        int status = -1;
        const std::string out = simtest::Shell(kDump + " " + logontest::kAdminPassword + " 2>&1", &status);
        EXPECT_EQ(status, 0) << out;
        ExpectWholeProfile();
        const std::map<std::string, soak::StoredLog> logs = soak::ReadEventLogs();
        for (const auto& log : logs)
            EXPECT_TRUE(log.second.whole) << log.first << " does not read back whole";
        const long now = soak::CountRecords(logs, [](uint32_t, const std::string&) { return true; });
        EXPECT_GE(now, stored) << "stored events were lost";
        stored = now;
    }
    EXPECT_TRUE(hardware.Failed().empty()) << hardware.Failed().front();

    // Started once more, the agent takes in what the driver still holds
    // and lists every stored event.
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout(kRunningText)) << agent.Stdout() << agent.Stderr();
    for (const Clock::time_point limit = Clock::now() + std::chrono::seconds(40);
         simtest::Snapshot()->numEvents > 0 && Clock::now() < limit;)
        agent.Drain(1000);
    agent.Drain(2000);
    const std::map<std::string, soak::StoredLog> logs = soak::ReadEventLogs();
    const long kept = soak::CountRecords(logs, [](uint32_t, const std::string&) { return true; });
    EXPECT_GE(kept, stored);
    EXPECT_GT(kept, 0);
    EXPECT_LE(soak::ControllerEvents(logs), static_cast<long>(soak::RaisedEvents()));
    EXPECT_EQ(ListedByAgent(), kept);
    printf("%d kills under load: %ld events kept whole of %u raised\n", rounds, kept, soak::RaisedEvents());
}
} // namespace
