#include "AgentChannel.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace halsend
{
namespace
{
// An answer larger than this is no answer of an agent's.
const size_t kMaxAnswerBytes = 8 * 1024 * 1024;

int Millis(Clock::duration d)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}
} // namespace

AgentChannel::AgentChannel(std::string address, int port, int timeoutMs, int keepAliveMs, Listener& listener)
    : m_address(std::move(address)), m_port(port), m_timeoutMs(timeoutMs), m_keepAliveMs(keepAliveMs),
      m_listener(listener)
{
}

AgentChannel::~AgentChannel() { Close(); }

void AgentChannel::Open(Clock::time_point now)
{
    Close();
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(m_port));
    inet_pton(AF_INET, m_address.c_str(), &to.sin_addr);
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return Lose(std::string("cannot make a socket: ") + strerror(errno));
    const int on = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_openedAt = now;
    m_lastSent = now;
    m_connecting = true;
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0)
        FinishConnect(now);
    else if (errno != EINPROGRESS)
        Lose(std::string("cannot connect: ") + strerror(errno));
}

void AgentChannel::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_connecting = false;
    m_reader = halsen::PacketReader();
    m_out.clear();
    m_stray = 0;
    std::deque<Task> lost;
    lost.swap(m_queue);
    if (m_running)
        lost.push_front(m_task);
    m_running = false;
    m_keys.clear();
    m_answers.clear();
    for (const Task& t : lost)
    {
        if (t.external && t.done)
            t.done({}, false);
    }
}

void AgentChannel::Lose(const std::string& reason)
{
    Close();
    m_listener.OnLost(reason);
}

bool AgentChannel::Queue(Task task, bool first)
{
    if (!task.key.empty() && !m_keys.insert(task.key).second)
        return false;
    if (m_queue.size() >= kMaxQueued)
    {
        Lose("more than " + std::to_string(kMaxQueued) + " tasks waiting: the agent floods changes");
        return false;
    }
    if (first)
        m_queue.push_front(std::move(task));
    else
        m_queue.push_back(std::move(task));
    StartNext(Clock::now());
    return true;
}

short AgentChannel::PollEvents() const
{
    if (m_fd < 0)
        return 0;
    return m_connecting || !m_out.empty() ? POLLOUT | POLLIN : POLLIN;
}

void AgentChannel::OnPoll(short revents, Clock::time_point now)
{
    if (m_fd < 0)
        return;
    if (m_connecting)
    {
        if (revents & (POLLOUT | POLLERR | POLLHUP))
            FinishConnect(now);
        return;
    }
    if (revents & POLLOUT)
        Flush();
    if (m_fd >= 0 && (revents & (POLLIN | POLLERR | POLLHUP)))
        ReadInput(now);
}

void AgentChannel::FinishConnect(Clock::time_point now)
{
    int error = 0;
    socklen_t n = sizeof error;
    getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &n);
    if (error != 0)
        return Lose(std::string("cannot connect: ") + strerror(error));
    m_connecting = false;
    m_lastSent = now;
    m_listener.OnConnected();
}

void AgentChannel::ReadInput(Clock::time_point now)
{
    char buf[65536];
    for (;;)
    {
        const ssize_t n = recv(m_fd, buf, sizeof buf, 0);
        if (n == 0)
            return Lose("the agent closed the connection");
        if (n < 0)
        {
            if (errno == EAGAIN || errno == EINTR)
                return;
            return Lose(std::string("the connection failed: ") + strerror(errno));
        }
        m_reader.Feed(buf, static_cast<size_t>(n));
        halsen::Packet p;
        halsen::PacketReader::Result r;
        while (m_fd >= 0 && (r = m_reader.Next(p)) == halsen::PacketReader::kPacket)
            TakePacket(p, now);
        if (m_fd < 0)
            return;
        if (r == halsen::PacketReader::kMalformed)
            return Lose("the agent sent bytes that are no packet");
    }
}

void AgentChannel::TakePacket(const halsen::Packet& packet, Clock::time_point now)
{
    if (packet.kind == halsen::kNotice)
    {
        if (packet.command == halsen::kPing)
            SendKeepAlive(now);
        m_listener.OnNotice(packet);
        return;
    }
    if (packet.kind != halsen::kData && packet.kind != halsen::kFinish)
        return Stray("a packet of kind " + std::to_string(packet.kind));
    if (!m_running || packet.command != m_steps[m_step].command || packet.stamp != m_steps[m_step].stamp)
        return Stray("a reply to no request of ours");
    TakeReply(packet, now);
}

void AgentChannel::TakeReply(const halsen::Packet& packet, Clock::time_point now)
{
    halsen::Answer& answer = m_answers.back();
    if (packet.kind == halsen::kData)
    {
        m_answerBytes += packet.body.size();
        if (answer.lines.size() >= kMaxLines || m_answerBytes > kMaxAnswerBytes)
            return Lose("an answer of more than " + std::to_string(kMaxLines) + " lines or " +
                        std::to_string(kMaxAnswerBytes) + " bytes to " + Describe(m_steps[m_step]));
        answer.lines.push_back(packet.body);
        return;
    }
    answer.finish = packet.body;
    answer.code = halsen::ReplyCode(packet);
    const int command = m_steps[m_step].command;
    if ((command == halsen::kCd || command == halsen::kAccess) && !answer.Ok())
        return EndTask(false, now);
    if (++m_step < m_steps.size())
        return SendStep(now);
    EndTask(true, now);
}

void AgentChannel::Stray(const std::string& what)
{
    if (++m_stray > kMaxStray)
        Lose("the agent sent more than " + std::to_string(kMaxStray) + " packets that answer nothing, last " + what);
}

void AgentChannel::StartNext(Clock::time_point now)
{
    if (m_running || m_queue.empty() || !IsConnected())
        return;
    m_task = std::move(m_queue.front());
    m_queue.pop_front();
    if (!m_task.key.empty())
        m_keys.erase(m_task.key);
    m_steps = m_task.build ? m_task.build() : std::vector<halsen::Packet>();
    m_step = 0;
    m_answers.clear();
    m_answerBytes = 0;
    m_running = true;
    if (m_steps.empty())
        return EndTask(true, now);
    SendStep(now);
}

void AgentChannel::SendStep(Clock::time_point now)
{
    halsen::Packet& p = m_steps[m_step];
    p.stamp = ++m_stamp & 0x7fffffff;
    p.kind = 0;
    m_answers.emplace_back();
    m_sentAt = now;
    Send(p, now);
}

void AgentChannel::EndTask(bool complete, Clock::time_point now)
{
    Task done = std::move(m_task);
    std::vector<halsen::Answer> answers;
    answers.swap(m_answers);
    m_running = false;
    if (done.done)
        done.done(answers, complete);
    StartNext(now);
}

void AgentChannel::Send(const halsen::Packet& packet, Clock::time_point now)
{
    if (m_fd < 0)
        return;
    m_out += halsen::Encode(packet);
    m_lastSent = now;
    Flush();
}

void AgentChannel::Flush()
{
    while (!m_out.empty())
    {
        const ssize_t n = send(m_fd, m_out.data(), m_out.size(), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n < 0)
            return Lose(std::string("cannot send: ") + strerror(errno));
        m_out.erase(0, static_cast<size_t>(n));
    }
}

void AgentChannel::OnTimer(Clock::time_point now)
{
    if (m_fd < 0)
        return;
    if (m_connecting && Millis(now - m_openedAt) >= m_timeoutMs)
        return Lose("no connection within " + std::to_string(m_timeoutMs / 1000) + " s");
    if (m_running && Millis(now - m_sentAt) >= m_timeoutMs)
        return Lose("no answer to " + Describe(m_steps[m_step]) + " within " + std::to_string(m_timeoutMs / 1000) +
                    " s");
    if (!m_connecting && Millis(now - m_lastSent) >= m_keepAliveMs)
        SendKeepAlive(now);
}

// A ping that already is a closing reply keeps the agent from logging us
// off for silence and wants no answer.
void AgentChannel::SendKeepAlive(Clock::time_point now)
{
    halsen::Packet ping = Request(halsen::kPing, "");
    ping.kind = halsen::kFinish;
    Send(ping, now);
}

Clock::time_point AgentChannel::NextDue() const
{
    Clock::time_point due = m_lastSent + std::chrono::milliseconds(m_keepAliveMs);
    if (m_connecting)
        due = std::min(due, m_openedAt + std::chrono::milliseconds(m_timeoutMs));
    if (m_running)
        due = std::min(due, m_sentAt + std::chrono::milliseconds(m_timeoutMs));
    return due;
}

std::string AgentChannel::Describe(const halsen::Packet& request) const
{
    // Only the command word: a logon's body carries the credential.
    if (request.command == halsen::kAccess)
        return "the logon";
    const std::string body = request.body.substr(0, request.body.find('@'));
    return halsen::CommandName(request.command) + (body.empty() ? "" : " " + body);
}
} // namespace halsend
