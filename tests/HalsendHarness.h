#pragma once

// Tests of halsend run it as the real program in their sandbox: settings
// and a password file written here, its log in a file, and HTTP through
// the same library the server uses.

#include "SimHelpers.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace halsendtest
{
const int kHttpPort = 9710;
const char kConfig[] = "/etc/tavrine/halsend.conf";
const char kPasswordFile[] = "/etc/tavrine/halsend.pwd";
const char kLog[] = "/tmp/halsend.log";

inline void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0600)
{
    std::ofstream(path) << text;
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Settings for an agent account, discovery on this sandbox's loopback
// broadcast every second, and whatever `extra` adds (whole sections).
inline void WriteConfig(const std::string& password, const std::string& extra = "",
                        const std::string& discovery = "Networks=255.255.255.255")
{
    WriteFile(kPasswordFile, password + "\n");
    WriteFile(kConfig, "[Discovery]\n" + discovery + "\nIntervalSeconds=1\n[Account]\nUser=admin\nPasswordFile=" +
                           std::string(kPasswordFile) + "\n[Agents]\nRequestTimeoutSeconds=3\nReconnectMaxSeconds=2\n" +
                           "EventPollSeconds=2\n" + extra + "[Http]\nPort=" + std::to_string(kHttpPort) + "\n" +
                           "Address=127.0.0.1\n",
              0644);
}

// Polls `done` every 100 ms for at most `timeoutMs`.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// A program of the test's, its standard output and error in a log file.
class ChildProcess
{
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& log, const std::string& env = "")
        : m_log(log)
    {
        m_pid = fork();
        if (m_pid == 0)
        {
            const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, 2);
            dup2(fd, 1);
            if (!env.empty())
                putenv(const_cast<char*>(env.c_str()));
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~ChildProcess()
    {
        if (m_pid > 0 && !m_exited)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    std::string Log() const { return ReadFile(m_log); }
    bool WaitForLog(const std::string& text, int timeoutMs = 20000) const
    {
        return WaitUntil([&] { return Log().find(text) != std::string::npos; }, timeoutMs);
    }
    bool Running()
    {
        int status = 0;
        if (m_exited || waitpid(m_pid, &status, WNOHANG) == 0)
            return !m_exited;
        m_exited = true;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    // The exit status once it ended within timeoutMs, else -1.
    int WaitExit(int timeoutMs)
    {
        WaitUntil([&] { return !Running(); }, timeoutMs);
        return m_exited ? m_status : -1;
    }
    int Stop(int signal = SIGTERM)
    {
        kill(m_pid, signal);
        return WaitExit(10000);
    }
    // Resident memory in kB.
    long RssKb() const
    {
        std::istringstream status(ReadFile("/proc/" + std::to_string(m_pid) + "/status"));
        std::string line;
        while (std::getline(status, line))
        {
            if (line.compare(0, 6, "VmRSS:") == 0)
                return atol(line.c_str() + 6);
        }
        return -1;
    }

private:
    std::string m_log;
    pid_t m_pid = -1;
    bool m_exited = false;
    int m_status = -1;
};

class HalsendProcess : public ChildProcess
{
public:
    explicit HalsendProcess(const std::string& config = kConfig)
        : ChildProcess({std::string(TAVRINE_BUILD_DIR) + "/server/halsend", "--config", config}, kLog)
    {
    }
};

inline httplib::Result Get(const std::string& path, const httplib::Headers& headers = {})
{
    httplib::Client client("127.0.0.1", kHttpPort);
    client.set_read_timeout(40, 0);
    return client.Get(path.c_str(), headers);
}

inline httplib::Result Post(const std::string& path, const std::string& body)
{
    httplib::Client client("127.0.0.1", kHttpPort);
    client.set_read_timeout(40, 0);
    return client.Post(path.c_str(), body, "application/json");
}

// The value of the first metric line that starts with `series` (name and
// labels as far as given), or NaN.
inline double Metric(const std::string& page, const std::string& series)
{
    std::istringstream lines(page);
    std::string line;
    while (std::getline(lines, line))
    {
        if (line.compare(0, series.size(), series) == 0)
            return strtod(line.c_str() + line.rfind(' ') + 1, nullptr);
    }
    return std::nan("");
}

inline std::string Metrics()
{
    const httplib::Result r = Get("/metrics");
    return r && r->status == 200 ? r->body : "";
}

// Waits until the series has the value.
inline bool WaitForMetric(const std::string& series, double value, int timeoutMs)
{
    return WaitUntil([&] { return Metric(Metrics(), series) == value; }, timeoutMs);
}
} // namespace halsendtest
