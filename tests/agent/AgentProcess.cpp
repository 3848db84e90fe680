#include "AgentProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

// The line break ends the wait for the listening port, also when the first
// bind succeeds.
const char kRunningText[] = "\ndorvik daemon is running well...\n";
const char kShutdownText[] = "ExitInstance\nClose socket connection!\n";

namespace
{
using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
} // namespace

const char* AgentProcess::Binary()
{
    return TAVRINE_BUILD_DIR "/agent/dorvik";
}

AgentProcess::AgentProcess(const std::vector<std::string>& args)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(Binary()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0)
    {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        close(out[1]);
        close(err[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    m_outFd = out[0];
    m_errFd = err[0];
}

AgentProcess::~AgentProcess()
{
    if (IsRunning())
    {
        kill(m_pid, SIGKILL);
        Reap(0);
    }
    if (m_outFd >= 0)
        close(m_outFd);
    if (m_errFd >= 0)
        close(m_errFd);
}

bool AgentProcess::Pump(int timeoutMs)
{
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    std::string* sinks[2] = {&m_out, &m_err};
    int* owners[2] = {&m_outFd, &m_errFd};
    if (m_outFd < 0 && m_errFd < 0)
        return false;
    if (poll(fds, 2, timeoutMs) < 0)
        return errno == EINTR;
    for (int i = 0; i < 2; ++i)
    {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buf[4096];
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0)
        {
            sinks[i]->append(buf, static_cast<size_t>(n));
            continue;
        }
        close(fds[i].fd);
        *owners[i] = -1;
    }
    return true;
}

bool AgentProcess::WaitFor(const std::string& stream, const std::string& text, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string& sink = stream == "out" ? m_out : m_err;
    while (sink.find(text) == std::string::npos)
    {
        if (MillisecondsLeft(deadline) == 0 || !Pump(MillisecondsLeft(deadline)))
            return false;
    }
    return true;
}

bool AgentProcess::WaitForStdout(const std::string& text, int timeoutMs)
{
    return WaitFor("out", text, timeoutMs);
}

bool AgentProcess::WaitForStderr(const std::string& text, int timeoutMs)
{
    return WaitFor("err", text, timeoutMs);
}

void AgentProcess::Signal(int sig)
{
    if (IsRunning())
        kill(m_pid, sig);
}

bool AgentProcess::Reap(int options)
{
    int status = 0;
    if (waitpid(m_pid, &status, options) != m_pid)
        return false;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    m_pid = -1;
    return true;
}

bool AgentProcess::IsRunning()
{
    return m_pid > 0 && !Reap(WNOHANG);
}

void AgentProcess::Drain(int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (MillisecondsLeft(deadline) > 0 && Pump(MillisecondsLeft(deadline)))
    {
    }
}

int AgentProcess::WaitExit(int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Draining the output first lets an agent blocked on a full pipe end.
    while (Pump(MillisecondsLeft(deadline)) && MillisecondsLeft(deadline) > 0)
    {
    }
    while (IsRunning() && MillisecondsLeft(deadline) > 0)
        usleep(10000);
    return IsRunning() ? -1 : m_status;
}

AgentResult RunAgent(const std::vector<std::string>& args)
{
    AgentProcess agent(args);
    int status = agent.WaitExit();
    return {status, agent.Stdout(), agent.Stderr()};
}

AgentResult StartAndStopAgent(const std::vector<std::string>& args)
{
    AgentProcess agent(args);
    if (agent.WaitForStdout(kRunningText))
        agent.Signal(SIGTERM);
    int status = agent.WaitExit();
    return {status, agent.Stdout(), agent.Stderr()};
}
