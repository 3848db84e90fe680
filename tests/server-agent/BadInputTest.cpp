#include "FakeAgent.h"
#include "ServerAgentSupport.h"

#include <nlohmann/json.hpp>

namespace
{
using namespace halsendtest;

const int kFakePort = 7111;

std::string Raw(const std::string& bytes)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(kHttpPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    timeval wait = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
    {
        (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        char buf[4096];
        ssize_t n;
        while ((n = recv(fd, buf, sizeof buf, 0)) > 0)
            answer.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return answer;
}

// Settings that watch only a static list, with no broadcast.
void StaticOnly(const std::string& password, const std::string& agents, const std::string& http = "")
{
    WriteConfig(password, "Static=" + agents + "\n" + http, "Networks=");
}

struct RawCase
{
    const char* what;
    std::string request;
    // The answer's start; empty for a 4xx answer or none.
    const char* status;
};

TEST(BadHttp, MalformedAndOversizedRequestsGetClearErrors)
{
    StaticOnly("x", "");
    HalsendProcess server;
    ASSERT_TRUE(server.WaitForLog("serving HTTP")) << server.Log();
    const long rssBefore = server.RssKb();
    const RawCase cases[] = {
        {"no request line", "\r\n\r\n", ""},
        {"garbage", "\x01\x02\x03 nonsense\r\n\r\n", ""},
        {"a body over the limit", "POST /api/agents/x/invoke HTTP/1.1\r\nHost: a\r\nConnection: close\r\nContent-Length: 100000\r\n\r\n" +
                                      std::string(100000, 'a'),
         "HTTP/1.1 413"},
        {"a header over the limit", "GET /api/agents HTTP/1.1\r\nHost: a\r\nX-Big: " + std::string(20000, 'h') +
                                        "\r\n\r\n",
         ""},
        {"a request line over the limit", "GET /" + std::string(20000, 'u') + " HTTP/1.1\r\nHost: a\r\n\r\n", ""},
        {"an unknown path", "GET /nothing HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", "HTTP/1.1 404"},
        {"a wrong method", "DELETE /api/agents HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", "HTTP/1.1 40"},
    };
    for (int round = 0; round < 3; ++round)
    {
        for (const RawCase& c : cases)
        {
            const std::string answer = Raw(c.request);
            // The HTTP library hangs up on what is no HTTP at all.
            const std::string expected = *c.status ? c.status : answer.empty() ? "" : "HTTP/1.1 4";
            ASSERT_EQ(answer.compare(0, expected.size(), expected), 0) << c.what << ": " << answer.substr(0, 200);
            const bool hasBody = answer.find("\r\n\r\n") + 4 < answer.size();
            EXPECT_TRUE(round > 0 || !hasBody || answer.find("{\"error\":") != std::string::npos)
                << c.what << ": " << answer;
        }
    }
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(Raw(cases[2].request).compare(0, 12, "HTTP/1.1 413"), 0);
    EXPECT_TRUE(server.Running());
    EXPECT_LT(server.RssKb() - rssBefore, 8 * 1024) << "kB grown over 221 bad requests";
    EXPECT_EQ(Get("/api/agents")->status, 200);
}

TEST(BadHttp, ATokenIsRequiredWhenConfigured)
{
    WriteFile("/etc/tavrine/halsend.token", "s3cret-token\n");
    StaticOnly("x", "", "[Http]\nTokenFile=/etc/tavrine/halsend.token\n");
    HalsendProcess server;
    ASSERT_TRUE(server.WaitForLog("serving HTTP")) << server.Log();
    struct
    {
        const char* header;
        int status;
    } cases[] = {{"", 401}, {"Bearer wrong", 401}, {"Bearer s3cret-token-and-more", 401}, {"Bearer s3cret-token", 200}};
    for (const auto& c : cases)
    {
        httplib::Headers headers;
        if (*c.header)
            headers.emplace("Authorization", c.header);
        for (const char* path : {"/api/agents", "/metrics"})
        {
            const httplib::Result r = Get(path, headers);
            ASSERT_TRUE(r) << path;
            EXPECT_EQ(r->status, c.status) << c.header << " " << path;
            EXPECT_EQ(r->body.find("s3cret"), std::string::npos);
        }
    }
    EXPECT_EQ(server.Log().find("s3cret"), std::string::npos) << server.Log();
}

TEST(Https, IsServedWhenACertificateIsConfigured)
{
    int status = -1;
    simtest::Shell("openssl req -x509 -newkey rsa:2048 -nodes -keyout /etc/tavrine/halsend.key -out "
                   "/etc/tavrine/halsend.crt -days 1 -subj /CN=localhost >/dev/null 2>&1 && chmod 600 "
                   "/etc/tavrine/halsend.key",
                   &status);
    ASSERT_EQ(status, 0);
    StaticOnly("x", "", "[Http]\nTlsCertificate=/etc/tavrine/halsend.crt\nTlsKey=/etc/tavrine/halsend.key\n");
    HalsendProcess server;
    ASSERT_TRUE(server.WaitForLog("serving HTTPS")) << server.Log();
    httplib::SSLClient tls("127.0.0.1", kHttpPort);
    tls.enable_server_certificate_verification(false);
    const httplib::Result r = tls.Get("/api/agents");
    ASSERT_TRUE(r) << httplib::to_string(r.error());
    EXPECT_EQ(r->status, 200);
    EXPECT_FALSE(Get("/api/agents")) << "plain HTTP on the TLS port";
}

TEST(BadSettings, AKeyOthersCanReadIsRefused)
{
    StaticOnly("x", "", "[Http]\nTlsCertificate=/etc/tavrine/halsend.conf\nTlsKey=/etc/tavrine/halsend.conf\n");
    HalsendProcess server;
    EXPECT_EQ(server.WaitExit(10000), 1);
    EXPECT_NE(server.Log().find("halsend.conf must be a plain file that only its owner may read"), std::string::npos)
        << server.Log();
}

TEST(BadSettings, APasswordFileOthersCanReadIsRefused)
{
    StaticOnly("x", "");
    ASSERT_EQ(chmod(kPasswordFile, 0644), 0);
    HalsendProcess server;
    EXPECT_EQ(server.WaitExit(10000), 1);
    EXPECT_NE(server.Log().find("must be a plain file that only its owner may read (mode 0600), not mode 0644"),
              std::string::npos)
        << server.Log();
}

TEST(BadAgent, AWrongPasswordIsToldAndTheAgentStaysDown)
{
    PrepareAgent();
    auto agent = StartAgent();
    WriteConfig("not-the-password");
    HalsendProcess server;
    ASSERT_TRUE(server.WaitForLog("the agent refused the logon of admin: 802 Access Denied")) << server.Log();
    EXPECT_EQ(Metric(Metrics(), "tavrine_agent_up{agent=\"vm\"}"), 0);
    const httplib::Result agents = Get("/api/agents");
    EXPECT_NE(agents->body.find("refused the logon"), std::string::npos) << agents->body;
    EXPECT_EQ(Post("/api/agents/vm/invoke", R"({"path":"/","method":"x"})")->status, 503);
    for (const std::string& seen : {server.Log(), agents->body, Metrics()})
        EXPECT_EQ(seen.find("not-the-password"), std::string::npos) << seen;
}

struct PeerCase
{
    const char* what;
    FakeAgent::Script script;
    const char* logged;
};

// Each misbehaving peer costs a log line and a reconnect, never the server.
TEST(BadAgent, PeersThatMisbehaveCostALogLine)
{
    const PeerCase cases[] = {
        {"bytes that are no packet",
         [](int fd, const halsen::Packet&) {
             const std::string junk(64, '\xff');
             (void)!send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
             return true;
         },
         "sent bytes that are no packet"},
        {"replies to nothing",
         [](int fd, const halsen::Packet& r) {
             for (int i = 0; i < 300; ++i)
                 FakeAgent::Reply(fd, halsen::Packet{r.command, r.stamp + 1000, halsen::kFinish, ""}, 3, "800@x");
             return true;
         },
         "packets that answer nothing"},
        {"silence", [](int, const halsen::Packet&) { return true; }, "no answer to cd \\ within 3 s"},
        {"vanishing mid-walk", [](int, const halsen::Packet&) { return false; }, "the agent closed the connection"},
        {"an endless answer",
         [](int fd, const halsen::Packet& r) {
             for (int i = 0; i < 21000; ++i)
                 FakeAgent::Reply(fd, r, halsen::kData, "x@o--@21");
             return true;
         },
         "an answer of more than 20000 lines"},
        {"a flood of notices",
         [](int fd, const halsen::Packet& r) {
             halsen::Packet n{8194, 0, halsen::kNotice, "\\nowhere@"};
             for (int i = 0; i < 5000; ++i)
                 FakeAgent::Reply(fd, n, halsen::kNotice, "\\nowhere" + std::to_string(i) + "@");
             FakeAgent::Reply(fd, r, halsen::kFinish, "801@Error");
             return false;
         },
         "more than 1000 notices in a second"},
    };
    for (const PeerCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        FakeAgent peer(kFakePort, c.script);
        StaticOnly("x", "127.0.0.1:" + std::to_string(kFakePort));
        HalsendProcess server;
        EXPECT_TRUE(server.WaitForLog(c.logged, 15000)) << server.Log();
        EXPECT_TRUE(server.WaitForLog("down, trying again", 15000)) << server.Log();
        EXPECT_TRUE(server.Running());
        EXPECT_LT(server.RssKb(), 64 * 1024);
        EXPECT_EQ(Metric(Metrics(), "tavrine_agent_up{agent=\"127.0.0.1:" + std::to_string(kFakePort) + "\"}"), 0);
        EXPECT_EQ(server.Stop(), 0);
    }
}
} // namespace
