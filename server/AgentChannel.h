#pragma once

// The one TCP connection halsend keeps to an agent, driven by the event
// loop: a non-blocking connect, whole packets out, packets cut from what
// comes in, and a queue of tasks run strictly one request at a time.
// Whatever the peer sends, memory stays bounded: an answer may hold at
// most kMaxLines lines, and a peer that sends no packets, too many that
// answer nothing, or stops answering is dropped.

#include "Task.h"

#include <chrono>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace halsend
{
using Clock = std::chrono::steady_clock;

class AgentChannel
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void OnConnected() = 0;
        virtual void OnNotice(const halsen::Packet& notice) = 0;
        virtual void OnLost(const std::string& reason) = 0;
    };

    static constexpr size_t kMaxLines = 20000;
    static constexpr size_t kMaxQueued = 20000;
    static constexpr int kMaxStray = 200;

    AgentChannel(std::string address, int port, int timeoutMs, int keepAliveMs, Listener& listener);
    ~AgentChannel();
    AgentChannel(const AgentChannel&) = delete;
    AgentChannel& operator=(const AgentChannel&) = delete;

    // Starts connecting; OnConnected or OnLost follows.
    void Open(Clock::time_point now);
    // Closes without a word and forgets all work; external tasks are told.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    bool IsConnected() const { return m_fd >= 0 && !m_connecting; }

    // Queues a task; false when one of the same key is already queued.
    // Sending starts at once when the connection is idle.
    bool Queue(Task task, bool first = false);
    bool Busy() const { return m_running || !m_queue.empty(); }
    size_t Queued() const { return m_queue.size(); }

    int Fd() const { return m_fd; }
    short PollEvents() const;
    void OnPoll(short revents, Clock::time_point now);
    // Time-outs and keep-alives; the next moment something is due.
    void OnTimer(Clock::time_point now);
    Clock::time_point NextDue() const;

    const std::string& Address() const { return m_address; }
    int Port() const { return m_port; }

private:
    void FinishConnect(Clock::time_point now);
    void ReadInput(Clock::time_point now);
    void Flush();
    void Send(const halsen::Packet& packet, Clock::time_point now);
    void SendKeepAlive(Clock::time_point now);
    void TakePacket(const halsen::Packet& packet, Clock::time_point now);
    void TakeReply(const halsen::Packet& packet, Clock::time_point now);
    void Stray(const std::string& what);
    void StartNext(Clock::time_point now);
    void SendStep(Clock::time_point now);
    void EndTask(bool complete, Clock::time_point now);
    void Lose(const std::string& reason);
    std::string Describe(const halsen::Packet& request) const;

    std::string m_address;
    int m_port;
    int m_timeoutMs;
    int m_keepAliveMs;
    Listener& m_listener;

    int m_fd = -1;
    bool m_connecting = false;
    Clock::time_point m_openedAt;
    Clock::time_point m_lastSent;
    halsen::PacketReader m_reader;
    std::string m_out;
    int m_stray = 0;
    int m_stamp = 0;

    std::deque<Task> m_queue;
    std::set<std::string> m_keys;
    bool m_running = false;
    Task m_task;
    std::vector<halsen::Packet> m_steps;
    size_t m_step = 0;
    std::vector<halsen::Answer> m_answers;
    size_t m_answerBytes = 0;
    Clock::time_point m_sentAt;
};
} // namespace halsend
