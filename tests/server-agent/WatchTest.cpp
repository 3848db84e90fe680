#include "ServerAgentSupport.h"

#include <nlohmann/json.hpp>

namespace
{
using namespace halsendtest;

class Watch : public testing::Test
{
protected:
    void SetUp() override
    {
        PrepareAgent();
        agent = StartAgent();
        TuneAgent();
        WriteConfig(Password());
        server = std::make_unique<HalsendProcess>();
        ASSERT_TRUE(server->WaitForLog("agent vm (127.0.0.1:710): up")) << server->Log();
    }

    std::unique_ptr<AgentProcess> agent;
    std::unique_ptr<HalsendProcess> server;
};

nlohmann::json Json(const httplib::Result& r)
{
    return r ? nlohmann::json::parse(r->body, nullptr, false) : nlohmann::json();
}

TEST_F(Watch, FindsTheAgentByBroadcastAndShowsItsTree)
{
    const nlohmann::json agents = Json(Get("/api/agents"));
    ASSERT_EQ(agents["agents"].size(), 1u) << agents.dump();
    EXPECT_EQ(agents["agents"][0]["host"], "vm");
    EXPECT_EQ(agents["agents"][0]["up"], true);
    EXPECT_EQ(agents["agents"][0]["arrays"]["functional"], 5);
    const nlohmann::json tree = Json(Get("/api/agents/vm/tree?path=/RAID/MVP1/System"));
    ASSERT_TRUE(tree.contains("folders")) << tree.dump();
    EXPECT_EQ(tree["folders"][0]["path"], "\\RAID\\MVP1\\System");
    EXPECT_EQ(tree["folders"][0]["type"], 25);
    EXPECT_EQ(tree["folders"].size(), 3u) << "the array and its two members";
    const httplib::Result missing = Get("/api/agents/vm/tree?path=/RAID/MVP9");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_EQ(Get("/api/agents/nobody/tree")->status, 404);
}

TEST_F(Watch, MetricsPassPromtoolAndCarryTheHardware)
{
    const std::string page = Metrics();
    WriteFile("/tmp/metrics.txt", page);
    int status = -1;
    const std::string out = simtest::Shell("promtool check metrics </tmp/metrics.txt 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(Metric(page, "tavrine_agent_up{agent=\"vm\"}"), 1);
    EXPECT_EQ(Metric(page, "tavrine_array_state{adapter=\"RAID/MVP1\",agent=\"vm\",array=\"System\"}"), 0);
    EXPECT_EQ(Metric(page, "tavrine_disk_state{adapter=\"RAID/MVP1\",agent=\"vm\",disk=\"ch4/slave\"}"), 1);
    EXPECT_GT(Metric(page, "halsend_scrape_duration_seconds"), 0);
}

TEST_F(Watch, AFailedDiskTurnsTheMetricsAndTheRebuildTurnsThemBack)
{
    const std::string disk = "tavrine_disk_state{adapter=\"RAID/MVP1\",agent=\"vm\",disk=\"ch1/slave\"}";
    const std::string array = "tavrine_array_state{adapter=\"RAID/MVP1\",agent=\"vm\",array=\"System\"}";
    simtest::Shell("zelsim set-rate 5; zelsim fail-disk 0 1");
    EXPECT_TRUE(WaitForMetric(disk, 2, 20000)) << Metrics();
    EXPECT_TRUE(WaitForMetric(array, 1, 20000)) << Metrics();
    EXPECT_TRUE(WaitForMetric("tavrine_array_activity{adapter=\"RAID/MVP1\",agent=\"vm\",array=\"System\"}", 2,
                              20000))
        << Metrics();
    EXPECT_TRUE(WaitUntil([] { return Metrics().find("tavrine_array_eta_seconds{activity=\"rebuilding\"") !=
                                      std::string::npos; },
                          20000))
        << Metrics();
    EXPECT_TRUE(WaitForMetric(array, 0, 60000)) << Metrics();
    EXPECT_TRUE(WaitUntil([] { return Metric(Metrics(), "tavrine_events_total{agent=\"vm\",id=\"523\"") >= 1; },
                          40000))
        << Metrics();
}

// Every event the agent stored is counted once, also when the connection
// was lost and made again between them.
TEST_F(Watch, EventsAreCountedOnceAcrossReconnects)
{
    auto counted = [] {
        const std::string page = Metrics();
        double total = 0;
        std::istringstream lines(page);
        std::string line;
        while (std::getline(lines, line))
        {
            if (line.compare(0, 21, "tavrine_events_total{") == 0)
                total += strtod(line.c_str() + line.rfind(' ') + 1, nullptr);
        }
        return total;
    };
    auto stored = [] {
        const nlohmann::json page = Json(Get("/api/agents/vm/events?folder=/RAID/MVP1&limit=1000&order=oldest"));
        const nlohmann::json other = Json(Get("/api/agents/vm/events?folder=/RAID/MVP2&limit=1000&order=oldest"));
        return static_cast<double>(page["events"].size() + other["events"].size());
    };
    simtest::Shell("zelsim set-rate 20; zelsim fail-disk 0 1");
    ASSERT_TRUE(WaitUntil([&] { return counted() >= 2; }, 60000)) << Metrics();
    agent->Signal(SIGKILL);
    agent->WaitExit();
    ASSERT_TRUE(WaitForMetric("tavrine_agent_up{agent=\"vm\"}", 0, 10000));
    simtest::Shell("zelsim fail-disk 1 5");
    agent = StartAgent();
    ASSERT_TRUE(WaitForMetric("tavrine_agent_up{agent=\"vm\"}", 1, 20000)) << server->Log();
    const double before = counted();
    ASSERT_TRUE(WaitUntil([&] { return counted() > before; }, 60000)) << Metrics();
    EXPECT_TRUE(WaitUntil([&] { return counted() == stored(); }, 20000)) << counted() << " counted, " << stored()
                                                                          << " stored\n"
                                                                          << Metrics();
}

TEST_F(Watch, InvokeAnswersWithTheAgentsCode)
{
    const httplib::Result ok =
        Post("/api/agents/vm/invoke", R"({"path":"/RAID/MVP1/System","method":"SyncArray","arguments":"512"})");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(Json(ok)["code"], 800) << ok->body;
    EXPECT_EQ(Json(ok)["text"], "Functional") << ok->body;
    const httplib::Result unknown = Post("/api/agents/vm/invoke", R"({"path":"/RAID/MVP1","method":"NoSuchMethod"})");
    EXPECT_EQ(Json(unknown)["code"], 803) << unknown->body;
    const httplib::Result gone = Post("/api/agents/vm/invoke", R"({"path":"/RAID/MVP7","method":"SetSmart"})");
    EXPECT_EQ(gone->status, 404) << gone->body;
    EXPECT_EQ(Post("/api/agents/vm/invoke", "{not json")->status, 400);
    EXPECT_EQ(Post("/api/agents/nobody/invoke", R"({"path":"/","method":"x"})")->status, 404);
}

TEST_F(Watch, StopsInOrderOnSigterm)
{
    EXPECT_EQ(server->Stop(), 0);
    EXPECT_NE(server->Log().find("halsend: stopped"), std::string::npos) << server->Log();
}
} // namespace
