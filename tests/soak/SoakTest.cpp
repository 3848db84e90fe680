// The agent under a few minutes of load (TAVRINE_SOAK_SECONDS, 90 by
// default): it must go on answering, hold no more memory or descriptors at
// the end than after warming up, keep every event the controller raised,
// mail every one its notice list names, and end cleanly when told to (in
// the sanitized build that end runs the leak checker over it).

#include "SoakSupport.h"
#include "SmtpPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace
{
using agenttest::Ask;
using soak::Clock;
using soak::kDone;
using soak::kEmailId;


// The ids of the events the hardware load raises, as the agent numbers
// them: a disk failing and plugged in, the array down and critical, the
// enclosure's temperature, fan and voltage.
const char kMailedList[] = "7@256@257@521@522@526@527@529";
const std::vector<uint32_t> kMailedIds = {256, 257, 521, 522, 526, 527, 529};

#if defined(__SANITIZE_ADDRESS__)
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif

// Quarantined frees grow a sanitized process for a while; the leak checker
// at its end tells leaks instead.
const long kRssSlackKb = kSanitized ? 64 * 1024 : 4 * 1024;

class Soak : public testing::Test
{
protected:
    void SetUp() override
    {
        // The agent child inherits this: a sanitized agent checks for leaks
        // when it ends.
        const char* asan = getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=1").c_str(), 1);
        simtest::LoadPreset("enclosure-battery");
        simtest::Shell("zelsim set hot-spares 0 && zelsim set-rate 20");
        agenttest::UseDevice("RAID", MVRAID_PATH);
        logontest::CreateAdmin();
    }

    void Configure(halsen::Connection& control)
    {
        for (const std::pair<int, std::string>& step : std::vector<std::pair<int, std::string>>{
                 {halsen::kSet, "PollFrequency@15"},
                 {halsen::kSet, "SMTPServer@127.0.0.1"},
                 {halsen::kSet, std::string("EmailID@") + kEmailId},
                 {halsen::kSet, "bEmailEnable@1"},
                 {halsen::kInvoke, "AddReceiptor@Ann <ann@example.com>"},
                 {halsen::kInvoke, std::string("SetEmailNoticeList@") + kMailedList},
             })
            ASSERT_EQ(Ask(control, step.first, step.second).finish, kDone) << step.second;
    }

    struct Kept
    {
        uint32_t raised = 0;
        long stored = 0;
        long mailed = 0;
    };

    // Within two polls every event raised is kept whole in the logs, and
    // every one that the notice list names has been mailed.
    Kept ExpectEveryEventKeptAndMailed(AgentProcess& agent, SmtpPeer& peer)
    {
        Kept kept;
        kept.raised = soak::RaisedEvents();
        EXPECT_GT(kept.raised, 0u);
        EXPECT_EQ(soak::DroppedEvents(), 0u) << "the load outran the driver's queue";
        std::map<std::string, soak::StoredLog> logs;
        for (const Clock::time_point limit = Clock::now() + std::chrono::seconds(40);
             soak::ControllerEvents(logs = soak::ReadEventLogs()) < kept.raised && Clock::now() < limit;)
            agent.Drain(1000);
        kept.stored = soak::ControllerEvents(logs);
        EXPECT_EQ(kept.stored, static_cast<long>(kept.raised));
        for (const auto& log : logs)
            EXPECT_TRUE(log.second.whole) << log.first << " does not read back whole";
        EXPECT_EQ(soak::CountRecords(logs, [](uint32_t, const std::string& title) { return title == soak::kEmailError; }),
                  0);
        const long listed = soak::CountRecords(logs, [](uint32_t id, const std::string&) {
            return std::find(kMailedIds.begin(), kMailedIds.end(), id) != kMailedIds.end();
        });
        EXPECT_GT(listed, 0);
        for (const Clock::time_point limit = Clock::now() + std::chrono::seconds(20);
             (kept.mailed = static_cast<long>(peer.Messages().size())) < listed && Clock::now() < limit;)
            agent.Drain(500);
        EXPECT_EQ(kept.mailed, listed);
        return kept;
    }
};

TEST_F(Soak, TheAgentStaysWholeUnderLoad)
{
    SmtpPeer peer;
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout(kRunningText)) << agent.Stdout() << agent.Stderr();
    halsen::Connection control;
    ASSERT_TRUE(agenttest::ConnectToAgent(control));
    ASSERT_NO_FATAL_FAILURE(Configure(control));

    const int seconds = soak::FromEnvironment("TAVRINE_SOAK_SECONDS", 90);
    const Clock::time_point start = Clock::now();
    const Clock::time_point warm = start + std::chrono::seconds(seconds / 3);
    const Clock::time_point end = start + std::chrono::seconds(seconds);
    soak::HardwareLoad hardware;
    soak::ArrayLoad arrays(control);
    soak::Use warmUse;
    int rounds = 0;
    {
        soak::ClientLoad clients(4, kEmailId);
        while (Clock::now() < end)
        {
            hardware.Next();
            if (hardware.Steps() % 4 == 0)
                arrays.Next();
            agent.Drain(3000);
            if (warmUse.rssKb < 0 && Clock::now() >= warm)
                warmUse = soak::Measure(agent.Pid());
        }
        clients.Stop();
        rounds = clients.Rounds();
        EXPECT_GT(rounds, 0);
        const std::vector<std::string> problems = clients.Problems();
        EXPECT_TRUE(problems.empty()) << problems.size() << " rounds failed, the first: " << problems.front();
    }
    EXPECT_TRUE(hardware.Failed().empty()) << hardware.Failed().front();
    EXPECT_TRUE(arrays.Failed().empty()) << arrays.Failed().front();
    EXPECT_TRUE(!arrays.Allowed() || arrays.Done() > 0) << "no array was made or deleted";

    // The agent still answers, and holds what it held after warming up.
    halsen::Connection late;
    ASSERT_TRUE(agenttest::ConnectToAgent(late));
    const halsen::Answer poll = halsen::FolderClient(late).Get("PollFrequency");
    EXPECT_TRUE(poll.Ok()) << poll.Problem();
    ASSERT_EQ(poll.lines.size(), 1u);
    EXPECT_EQ(halsen::ParseEntry(poll.lines[0]).value, "15");
    const soak::Use endUse = soak::Measure(agent.Pid());
    EXPECT_LE(endUse.rssKb, warmUse.rssKb + kRssSlackKb) << "after warm-up " << warmUse.rssKb << " kB";
    EXPECT_LE(endUse.descriptors, warmUse.descriptors + 2) << "after warm-up " << warmUse.descriptors;

    // With the clock stopped no synchronisation ends meanwhile.
    simtest::Shell("zelsim set-rate 0");
    const Kept kept = ExpectEveryEventKeptAndMailed(agent, peer);
    printf("soak of %d s: %d client rounds, %d array changes, %u events raised, %ld kept, %ld mailed; "
           "RSS %ld kB after warm-up, %ld kB at the end; descriptors %d, then %d\n",
           seconds, rounds, arrays.Done(), kept.raised, kept.stored, kept.mailed, warmUse.rssKb,
           endUse.rssKb, warmUse.descriptors, endUse.descriptors);

    agent.Signal(SIGTERM);
    EXPECT_EQ(agent.WaitExit(60000), 0) << agent.Stderr();
    EXPECT_EQ(agent.Stderr().find("Sanitizer"), std::string::npos) << agent.Stderr();
}
} // namespace
