#include "ApiServer.h"

#include "ApiRequest.h"
#include "ApiViews.h"
#include "Log.h"
#include "MetricsPage.h"

#include <httplib.h>

#include <future>

namespace halsend
{
namespace
{
const char kJson[] = "application/json";

void Answer(httplib::Response& response, int status, const nlohmann::json& body)
{
    response.status = status;
    response.set_content(body.dump(), kJson);
}

void Refuse(httplib::Response& response, int status, const std::string& why)
{
    Answer(response, status, ErrorView(why));
}

// Takes as long whatever the first difference, so a token cannot be
// guessed byte by byte from the time of the refusals.
bool SameSecret(const std::string& given, const std::string& secret)
{
    unsigned char differ = given.size() == secret.size() ? 0 : 1;
    for (size_t i = 0; i < given.size(); ++i)
        differ |= static_cast<unsigned char>(given[i] ^ secret[i % (secret.empty() ? 1 : secret.size())]);
    return differ == 0;
}

// What the HTTP library refuses by itself, in a sentence.
std::string StatusText(int status)
{
    switch (status)
    {
    case 400:
        return "the request is malformed";
    case 404:
        return "there is nothing at this path";
    case 405:
        return "this path does not take that method";
    case 413:
        return "the body is larger than " + std::to_string(ApiServer::kMaxBody) + " bytes";
    case 414:
        return "the request line is too long";
    case 431:
        return "the headers are too large";
    default:
        return "the request was refused (HTTP " + std::to_string(status) + ")";
    }
}

std::unique_ptr<httplib::Server> MakeServer(const Config& config)
{
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
    if (!config.tlsCertificate.empty())
        return std::make_unique<httplib::SSLServer>(config.tlsCertificate.c_str(), config.tlsKey.c_str());
#endif
    return std::make_unique<httplib::Server>();
}
} // namespace

ApiServer::ApiServer(Fleet& fleet, const Config& config) : m_fleet(fleet), m_config(config)
{
    if (!config.basicUser.empty())
        m_basicHeader = httplib::make_basic_authentication_header(config.basicUser, config.basicPassword).second;
}

ApiServer::~ApiServer() { Stop(); }

bool ApiServer::Start(std::string& error)
{
    m_server = MakeServer(m_config);
    if (!m_server->is_valid())
    {
        error = "cannot set up TLS with " + m_config.tlsCertificate + " and its key";
        return false;
    }
    m_server->set_payload_max_length(kMaxBody);
    m_server->set_read_timeout(5, 0);
    m_server->set_write_timeout(5, 0);
    m_server->set_keep_alive_max_count(100);
    m_server->new_task_queue = [] { return new httplib::ThreadPool(4); };
    Route();
    if (!m_server->bind_to_port(m_config.httpAddress.c_str(), m_config.httpPort))
    {
        error = "cannot listen for HTTP on " + m_config.httpAddress + " port " + std::to_string(m_config.httpPort);
        return false;
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    LogLine("serving HTTP" + std::string(m_config.tlsCertificate.empty() ? "" : "S") + " on " + m_config.httpAddress +
            " port " + std::to_string(m_config.httpPort));
    return true;
}

void ApiServer::Stop()
{
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

void ApiServer::Route()
{
    using Req = const httplib::Request&;
    using Res = httplib::Response&;
    m_server->set_pre_routing_handler([this](Req request, Res response) {
        if (Authorised(request))
            return httplib::Server::HandlerResponse::Unhandled;
        if (!m_basicHeader.empty())
            response.set_header("WWW-Authenticate", "Basic realm=\"halsend\"");
        Refuse(response, 401, "this needs the API token or the user and password");
        return httplib::Server::HandlerResponse::Handled;
    });
    m_server->set_error_handler([](Req, Res response) {
        if (response.body.empty())
            Refuse(response, response.status, StatusText(response.status));
    });
    m_server->set_exception_handler([](Req, Res response, std::exception_ptr) {
        Refuse(response, 500, "the request could not be served");
    });
    m_server->Get("/api/agents", [this](Req, Res response) { Agents(response); });
    m_server->Get(R"(/api/agents/([^/]+)/tree)", [this](Req request, Res response) { Tree(request, response); });
    m_server->Get(R"(/api/agents/([^/]+)/events)", [this](Req request, Res response) { Events(request, response); });
    m_server->Post(R"(/api/agents/([^/]+)/invoke)", [this](Req request, Res response) { Invoke(request, response); });
    m_server->Get("/metrics", [this](Req, Res response) { Metrics(response); });
}

bool ApiServer::Authorised(const httplib::Request& request) const
{
    if (m_config.token.empty() && m_basicHeader.empty())
        return true;
    const std::string given = request.get_header_value("Authorization");
    return (!m_config.token.empty() && SameSecret(given, "Bearer " + m_config.token)) ||
           (!m_basicHeader.empty() && SameSecret(given, m_basicHeader));
}

void ApiServer::Agents(httplib::Response& response)
{
    nlohmann::json agents = nlohmann::json::array();
    std::lock_guard<std::mutex> hold(m_fleet.Lock());
    for (const auto& a : m_fleet.Agents())
        agents.push_back(AgentSummary(*a.second));
    Answer(response, 200, {{"agents", agents}});
}

void ApiServer::Tree(const httplib::Request& request, httplib::Response& response)
{
    std::string path, problem;
    if (!ParseFolderPath(request.get_param_value("path"), path, problem))
        return Refuse(response, 400, problem);
    std::lock_guard<std::mutex> hold(m_fleet.Lock());
    const AgentMonitor* agent = m_fleet.Find(request.matches[1]);
    if (!agent)
        return Refuse(response, 404, "no agent " + std::string(request.matches[1]));
    const nlohmann::json tree = TreeView(*agent, path);
    if (tree.is_null())
        return Refuse(response, 404, "the agent's tree has no folder " + path);
    Answer(response, 200, tree);
}

void ApiServer::Events(const httplib::Request& request, httplib::Response& response)
{
    std::string path, problem;
    halsen::EventQuery query;
    if (!ParseEventsQuery(request.get_param_value("folder"), request.get_param_value("limit"),
                          request.get_param_value("from"), request.get_param_value("order"), path, query, problem))
        return Refuse(response, 400, problem);
    AgentMonitor::Result result;
    if (!AskAgent(request.matches[1], path, halsen::kInvoke, halsen::ReadEventBody(query), result, response))
        return;
    nlohmann::json events = EventsView(result.lines);
    events["folder"] = path;
    Answer(response, 200, events);
}

void ApiServer::Invoke(const httplib::Request& request, httplib::Response& response)
{
    InvokeRequest invoke;
    std::string problem;
    if (!ParseInvokeBody(request.body, invoke, problem))
        return Refuse(response, 400, problem);
    AgentMonitor::Result result;
    if (!AskAgent(request.matches[1], invoke.path, halsen::kInvoke, invoke.method + "@" + invoke.arguments, result,
                  response))
        return;
    // The data line repeats the request, whose arguments may carry a
    // password (CreateUser); only the code and its text go back.
    Answer(response, 200, {{"code", result.code}, {"text", result.text}});
}

bool ApiServer::AskAgent(const std::string& host, const std::string& path, int command, const std::string& body,
                         AgentMonitor::Result& result, httplib::Response& response)
{
    auto promise = std::make_shared<std::promise<AgentMonitor::Result>>();
    std::future<AgentMonitor::Result> answer = promise->get_future();
    {
        std::lock_guard<std::mutex> hold(m_fleet.Lock());
        AgentMonitor* agent = m_fleet.Find(host);
        if (!agent)
            return Refuse(response, 404, "no agent " + host), false;
        if (!agent->Up())
            return Refuse(response, 503, "agent " + host + " is " + StateName(agent->GetState())), false;
        agent->Ask(path, command, body, [promise](const AgentMonitor::Result& r) { promise->set_value(r); });
    }
    m_fleet.Wake();
    const int waitSeconds = m_config.requestTimeoutSeconds * 3;
    if (answer.wait_for(std::chrono::seconds(waitSeconds)) != std::future_status::ready)
        return Refuse(response, 504, "agent " + host + " did not answer within " + std::to_string(waitSeconds) + " s"),
               false;
    result = answer.get();
    if (result.code == 803 && !result.problem.empty())
        return Answer(response, 404, ErrorView("the agent has no folder " + path, 803)), false;
    if (result.code < 0)
        return Refuse(response, 502, "agent " + host + ": " + result.problem), false;
    return true;
}

void ApiServer::Metrics(httplib::Response& response)
{
    const Clock::time_point started = Clock::now();
    MetricsPage page;
    std::string text;
    {
        std::lock_guard<std::mutex> hold(m_fleet.Lock());
        for (const auto& a : m_fleet.Agents())
            page.Add(*a.second, started);
        page.SetAgents(m_fleet.Agents().size());
        text = page.Render(started);
    }
    response.set_content(text, "text/plain; version=0.0.4; charset=utf-8");
}
} // namespace halsend
