#pragma once

#include <string>
#include <vector>

// The real dorvik binary of this build, run as a child with its standard
// output and error captured.
class AgentProcess
{
public:
    static const char* Binary();

    explicit AgentProcess(const std::vector<std::string>& args);
    ~AgentProcess();
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    // Reads output until `text` has appeared on that stream; false on
    // timeout or when the agent ended first.
    bool WaitForStdout(const std::string& text, int timeoutMs = 20000);
    bool WaitForStderr(const std::string& text, int timeoutMs = 20000);
    void Signal(int sig);
    // The exit status, 128 + the signal when one ended it, or -1 when it is
    // still running after `timeoutMs`.
    int WaitExit(int timeoutMs = 20000);
    bool IsRunning();
    // Reads what the agent wrote for up to `timeoutMs`, so that an agent
    // run long under load never blocks on a full pipe.
    void Drain(int timeoutMs);
    int Pid() const { return m_pid; }

    const std::string& Stdout() const { return m_out; }
    const std::string& Stderr() const { return m_err; }

private:
    bool WaitFor(const std::string& stream, const std::string& text, int timeoutMs);
    // Reads what is available, waiting at most `timeoutMs`; false at the end
    // of both streams.
    bool Pump(int timeoutMs);
    bool Reap(int options);

    int m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    int m_status = -1;
    std::string m_out;
    std::string m_err;
};

// Runs the agent to its end (for arguments that make it exit by itself).
struct AgentResult
{
    int status;
    std::string out;
    std::string err;
};
AgentResult RunAgent(const std::vector<std::string>& args);

// Runs the agent until it is up, then stops it with SIGTERM.
AgentResult StartAndStopAgent(const std::vector<std::string>& args);

extern const char kRunningText[];
extern const char kShutdownText[];
