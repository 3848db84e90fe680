#include "ServerAgentSupport.h"

#include <mutex>
#include <nlohmann/json.hpp>

namespace
{
using namespace halsendtest;

const int kWebhookPort = 9711;

// The receiver Alertmanager sends to: it keeps every notification.
class Webhook
{
public:
    Webhook()
    {
        m_server.Post("/hook", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_bodies.push_back(nlohmann::json::parse(request.body, nullptr, false));
            response.status = 200;
        });
        EXPECT_TRUE(m_server.bind_to_port("127.0.0.1", kWebhookPort));
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~Webhook()
    {
        m_server.stop();
        m_thread.join();
    }

    // Whether an alert of that name came with that status.
    bool Saw(const std::string& alert, const std::string& status)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (const nlohmann::json& body : m_bodies)
        {
            for (const nlohmann::json& a : body.value("alerts", nlohmann::json::array()))
            {
                if (a["labels"].value("alertname", "") == alert && a.value("status", "") == status)
                    return true;
            }
        }
        return false;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<nlohmann::json> m_bodies;
};

void WriteMonitoringConfig()
{
    mkdir("/tmp/prometheus", 0700);
    mkdir("/tmp/alertmanager", 0700);
    WriteFile("/tmp/alertmanager/alertmanager.yml",
              "route:\n  receiver: hook\n  group_wait: 1s\n  group_interval: 1s\n  repeat_interval: 1h\n"
              "receivers:\n  - name: hook\n    webhook_configs:\n      - url: http://127.0.0.1:" +
                  std::to_string(kWebhookPort) + "/hook\n        send_resolved: true\n");
    WriteFile("/tmp/prometheus/prometheus.yml",
              "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
              "rule_files:\n  - " TAVRINE_SOURCE_DIR "/dist/halsend-alerts.yml\n"
              "alerting:\n  alertmanagers:\n    - static_configs:\n        - targets: ['127.0.0.1:9093']\n"
              "scrape_configs:\n  - job_name: halsend\n    static_configs:\n      - targets: ['127.0.0.1:" +
                  std::to_string(kHttpPort) + "']\n");
}

// The number of series Prometheus' query API gives for a query.
size_t Query(const std::string& query)
{
    httplib::Client client("127.0.0.1", 9090);
    const httplib::Result r = client.Get("/api/v1/query", httplib::Params{{"query", query}}, httplib::Headers{});
    if (!r || r->status != 200)
        return 0;
    const nlohmann::json answer = nlohmann::json::parse(r->body, nullptr, false);
    return answer.is_discarded() ? 0 : answer["data"]["result"].size();
}

TEST(Monitoring, AFailedDiskReachesPrometheusAndAlertmanagerAndResolves)
{
    PrepareAgent();
    auto agent = StartAgent();
    TuneAgent();
    WriteConfig(Password());
    HalsendProcess server;
    ASSERT_TRUE(server.WaitForLog("agent vm (127.0.0.1:710): up")) << server.Log();
    Webhook hook;
    WriteMonitoringConfig();
    ChildProcess alertmanager({"prometheus-alertmanager", "--config.file=/tmp/alertmanager/alertmanager.yml",
                               "--storage.path=/tmp/alertmanager", "--web.listen-address=127.0.0.1:9093",
                               "--cluster.listen-address="},
                              "/tmp/alertmanager.log");
    ChildProcess prometheus({"prometheus", "--config.file=/tmp/prometheus/prometheus.yml",
                             "--storage.tsdb.path=/tmp/prometheus/data", "--web.listen-address=127.0.0.1:9090",
                             "--rules.alert.resend-delay=1s"},
                            "/tmp/prometheus.log");
    ASSERT_TRUE(WaitUntil([] { return Query("tavrine_agent_up{agent=\"vm\"} == 1") == 1; }, 60000))
        << prometheus.Log();

    const std::string array = "tavrine_array_state{adapter=\"RAID/MVP1\",agent=\"vm\",array=\"System\"}";
    simtest::Shell("zelsim set-rate 0; zelsim fail-disk 0 1");
    EXPECT_TRUE(WaitForMetric(array, 1, 20000)) << Metrics();
    EXPECT_TRUE(WaitUntil([&] { return Query(array + " == 1") == 1; }, 30000));
    EXPECT_TRUE(WaitUntil([&] { return hook.Saw("TavrineArrayCritical", "firing"); }, 60000))
        << alertmanager.Log();
    EXPECT_TRUE(hook.Saw("TavrineDiskFailed", "firing"));

    simtest::Shell("zelsim set-rate 25");
    EXPECT_TRUE(WaitForMetric(array, 0, 60000)) << Metrics();
    EXPECT_TRUE(WaitUntil([&] { return hook.Saw("TavrineArrayCritical", "resolved"); }, 90000))
        << alertmanager.Log();
}
} // namespace
