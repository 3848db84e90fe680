#pragma once

// halsend's HTTP side: the JSON API and /metrics. The HTTP library serves
// connections on threads of its own; every handler reads the fleet under
// its lock, and requests for an agent are handed to the event loop, whose
// answer the handler waits for with a bound.

#include "Config.h"
#include "Fleet.h"

#include <memory>
#include <string>
#include <thread>

namespace httplib
{
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace halsend
{
class ApiServer
{
public:
    static constexpr size_t kMaxBody = 16 * 1024;

    ApiServer(Fleet& fleet, const Config& config);
    ~ApiServer();
    ApiServer(const ApiServer&) = delete;
    ApiServer& operator=(const ApiServer&) = delete;

    // Binds and starts serving; false with the reason when it cannot.
    bool Start(std::string& error);
    void Stop();

private:
    void Route();
    bool Authorised(const httplib::Request& request) const;
    void Agents(httplib::Response& response);
    void Tree(const httplib::Request& request, httplib::Response& response);
    void Events(const httplib::Request& request, httplib::Response& response);
    void Invoke(const httplib::Request& request, httplib::Response& response);
    void Metrics(httplib::Response& response);
    // Hands a request to the agent's connection and waits for its answer;
    // false with the response filled in when there is none.
    bool AskAgent(const std::string& host, const std::string& path, int command, const std::string& body,
                  AgentMonitor::Result& result, httplib::Response& response);

    Fleet& m_fleet;
    const Config& m_config;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::string m_basicHeader;
};
} // namespace halsend
