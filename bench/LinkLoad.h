#pragma once

// What the benchmarks of the management link share: servers started as
// child processes, pinned to a CPU, with their CPU time and memory; TCP and
// UDP clients on loopback; and a closed-loop load that keeps exactly one
// request in flight on each client and counts a round trip only once the
// whole answer to it has come.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace linkload
{
using Clock = std::chrono::steady_clock;

inline bool InSandbox()
{
    struct stat st;
    return stat("/run/tavrine-sandbox", &st) == 0;
}

// The exit status a benchmark stops with before it starts anything: 2 when
// its arguments were wrong (its usage is printed) or it runs outside the
// sandbox, where it would bind the machine's real ports; 0 to go on.
inline int RefuseToStart(bool argsOk, const char* name, const char* usage)
{
    if (!argsOk)
        fprintf(stderr, "usage: %s %s\n", name, usage);
    else if (!InSandbox())
        fprintf(stderr, "%s: run me inside tools/sandbox; I start servers on the real ports\n",
                name);
    return argsOk && InSandbox() ? 0 : 2;
}

// Pins the calling process, and what it starts afterwards, to one CPU (as
// taskset -c does); false when there is no such CPU.
inline bool PinTo(int cpu)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

// Starts argv[0] with argv, its output in `log`, pinned to `cpu` (-1: where
// the caller runs).
inline pid_t Start(const std::vector<std::string>& argv, const char* log, int cpu = -1)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int fd = open(log, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    if (cpu >= 0 && !PinTo(cpu))
        _exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

inline void Stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// Seconds of CPU the process has used, user and system; -1 when unknown.
inline double CpuSeconds(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* f = fopen(path.c_str(), "r");
    if (!f)
        return -1;
    char text[1024] = {};
    const size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = '\0';
    // Fields after the command name, which is in parentheses: utime and
    // stime are the 12th and 13th of them.
    const char* p = strrchr(text, ')');
    unsigned long utime = 0, stime = 0;
    if (!p ||
        sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return -1;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

inline long PeakRssKb(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    FILE* f = fopen(path.c_str(), "r");
    long kb = -1;
    char line[256];
    while (f && fgets(line, sizeof line, f))
    {
        if (sscanf(line, "VmHWM: %ld kB", &kb) == 1)
            break;
    }
    if (f)
        fclose(f);
    return kb;
}

// A stream socket sends each request at once, as a management server's
// should, whatever is still unacknowledged.
inline void SendWithoutDelay(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// A socket of `type` connected to 127.0.0.1:port, or -1.
inline int ConnectLoopback(int type, int port)
{
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0)
    {
        if (type == SOCK_STREAM)
            SendWithoutDelay(fd);
        return fd;
    }
    if (fd >= 0)
        close(fd);
    return -1;
}

// Waits up to `ms` for a listener on the TCP port.
inline bool WaitForTcp(int port, int ms)
{
    for (int waited = 0; waited < ms; waited += 50)
    {
        const int fd = ConnectLoopback(SOCK_STREAM, port);
        if (fd >= 0)
        {
            close(fd);
            return true;
        }
        usleep(50000);
    }
    return false;
}

// Where the answer to one request ends in what a client has received: the
// number of bytes up to and with its last part, or 0 while it is not all
// there. A datagram client is given each datagram alone.
using AnswerEnd = std::function<size_t(const std::string& received)>;

struct Client
{
    int fd = -1;
    // The request, encoded once; it is sent again each time its answer came.
    std::string request;
    std::string received;
    Clock::time_point sent;
};

struct LoadResult
{
    long trips = 0;
    double seconds = 0;
    // Datagram requests sent again after their answer did not come.
    long resent = 0;
    bool failed = false;
    double Rate() const { return seconds > 0 ? trips / seconds : 0; }
};

inline bool SendAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads what has come for one client; the round trips it completed (0 or
// 1, since only one request is in flight), or -1 when the peer is gone.
// The completed answer's bytes go to `answer` when one is given.
inline int TakeAnswer(Client& c, const AnswerEnd& end, bool datagrams,
                      std::string* answer = nullptr)
{
    char buf[65536];
    const ssize_t n = recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    if (n == 0 && !datagrams)
        return -1;
    if (datagrams)
        c.received.clear();
    c.received.append(buf, static_cast<size_t>(n));
    const size_t used = end(c.received);
    if (used == 0)
    {
        if (datagrams)
            c.received.clear();
        return 0;
    }
    if (answer)
        *answer = c.received.substr(0, used);
    c.received.erase(0, used);
    return 1;
}

// Waits up to two seconds for the whole answer in flight on a client.
inline bool Await(Client& c, const AnswerEnd& end, bool datagrams, std::string* answer = nullptr)
{
    pollfd one = {c.fd, POLLIN, 0};
    int done = 0;
    while (done == 0 && poll(&one, 1, 2000) > 0)
        done = TakeAnswer(c, end, datagrams, answer);
    return done > 0;
}

// Reads away the answer still in flight, so that the next load on the same
// client starts with nothing pending; a datagram client also drops what a
// resend doubled.
inline void Settle(Client& c, const AnswerEnd& end, bool datagrams)
{
    Await(c, end, datagrams);
    pollfd one = {c.fd, POLLIN, 0};
    while (datagrams && poll(&one, 1, 0) > 0 &&
           recv(c.fd, nullptr, 0, MSG_DONTWAIT | MSG_TRUNC) >= 0)
        continue;
    c.received.clear();
}

// One request and its whole answer; false when no answer came.
inline bool Exchange(Client& c, const AnswerEnd& end, bool datagrams, std::string& answer)
{
    c.received.clear();
    const bool answered = SendAll(c.fd, c.request) && Await(c, end, datagrams, &answer);
    c.received.clear();
    return answered;
}

// Keeps exactly one request in flight on every client for `seconds`: a
// client sends its next request only when the whole answer to the last one
// has come. A datagram whose answer does not come within a second is sent
// again (and counted); a stream that breaks fails the load.
inline LoadResult RunLoad(std::vector<Client>& clients, const AnswerEnd& end, double seconds,
                          bool datagrams)
{
    LoadResult result;
    std::vector<pollfd> fds;
    const Clock::time_point start = Clock::now();
    for (Client& c : clients)
    {
        fds.push_back({c.fd, POLLIN, 0});
        c.received.clear();
        c.sent = start;
        result.failed |= !SendAll(c.fd, c.request);
    }
    const Clock::time_point stop =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (!result.failed && Clock::now() < stop)
    {
        const int ready = poll(fds.data(), fds.size(), 100);
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < fds.size() && !result.failed; ++i)
        {
            Client& c = clients[i];
            const int done =
                ready > 0 && (fds[i].revents & POLLIN) ? TakeAnswer(c, end, datagrams) : 0;
            const bool lost = datagrams && done == 0 && now - c.sent > std::chrono::seconds(1);
            result.failed = done < 0;
            result.trips += done > 0 ? 1 : 0;
            result.resent += lost ? 1 : 0;
            if (done > 0 || lost)
            {
                c.sent = now;
                result.failed = !SendAll(c.fd, c.request);
            }
        }
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (Client& c : clients)
        Settle(c, end, datagrams);
    return result;
}

// The agent's packets: three words, a length byte (or 255 and two length
// bytes) and the body. An answer ends with its closing reply (kind 3);
// notices that come meanwhile are part of it.
inline size_t AgentAnswerEnd(const std::string& received)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(received[i]); };
    size_t pos = 0;
    while (pos + 13 <= received.size())
    {
        size_t header = 13;
        size_t length = byte(pos + 12);
        if (length == 0xFF)
        {
            if (pos + 15 > received.size())
                return 0;
            header = 15;
            length = byte(pos + 13) | byte(pos + 14) << 8;
        }
        const uint32_t kind = uint32_t(byte(pos + 8)) | uint32_t(byte(pos + 9)) << 8 |
                              uint32_t(byte(pos + 10)) << 16 | uint32_t(byte(pos + 11)) << 24;
        pos += header + length;
        if (pos > received.size())
            return 0;
        if (kind == 3)
            return pos;
    }
    return 0;
}
} // namespace linkload
