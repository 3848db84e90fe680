#include "CAgentDoc.h"
#include "CLog.h"
#include "CSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

std::vector<Clock::time_point> g_ticks;

// Stands in for a plug-in's timer entry, which the tick calls first.
STATUS CountTick()
{
    g_ticks.push_back(Clock::now());
    fputs("tick\n", stderr);
    return S_OK;
}

double SecondsBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// A discovery socket with two datagrams waiting, so that the loop still has
// a readable descriptor after one pass has served one.
CSocket* ReadableDatagramSocket()
{
    CSocket* socket = new CSocket;
    socket->Socket(SOCK_DGRAM);
    EXPECT_EQ(socket->Bind(0), 0);
    sockaddr_in address = {};
    socklen_t length = sizeof address;
    getsockname(socket->GetSd(), reinterpret_cast<sockaddr*>(&address), &length);
    CSocket sender;
    sender.Socket(SOCK_DGRAM);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(sender.SendTo("TAVRINE_HALSEN#", 15, "127.0.0.1", ntohs(address.sin_port), 0), 15);
    return socket;
}

// The document's loop as the agent runs it: handlers installed, the plug-in
// timer entry counting ticks.
class LoopTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_ticks.clear();
        g_AgentDoc.ProcessSignal();
        ASSERT_NE(CAgentDoc::Signal(SIGALRM, OnTimer), SIG_ERR);
        g_AgentDoc.m_pfnTimerProc = CountTick;
    }

    void TearDown() override
    {
        itimerval off = {};
        setitimer(ITIMER_REAL, &off, nullptr);
        g_AgentDoc.m_pfnTimerProc = nullptr;
    }
};

TEST_F(LoopTest, AlarmDuringAPassTicksOnlyWhenTheLoopWaitsAgain)
{
    g_AgentDoc.m_pSvrBCRetSocket = ReadableDatagramSocket();
    EXPECT_EQ(g_AgentDoc.SelectOnce(), 1);

    // The pass: alarms arrive while it works, and none of them ticks yet.
    CaptureStderr();
    raise(SIGALRM);
    raise(SIGALRM);
    g_AgentDoc.ReceiveData(1);
    EXPECT_TRUE(g_ticks.empty());
    EXPECT_EQ(GetCapturedStderr(), "");

    // The next wait runs both ticks before serving the socket again.
    EXPECT_EQ(g_AgentDoc.SelectOnce(), 0);
    EXPECT_EQ(g_ticks.size(), 2u);
    EXPECT_EQ(g_AgentDoc.Select(), 1);
    EXPECT_TRUE(g_AgentDoc.m_FdSet.IsSet(g_AgentDoc.m_pSvrBCRetSocket->GetSd()));
    EXPECT_EQ(g_ticks.size(), 2u);
}

TEST_F(LoopTest, SignalsAreServedBetweenPassesInArrivalOrder)
{
    CaptureStderr();
    raise(SIGUSR2);
    raise(SIGALRM);
    raise(SIGUSR2);
    EXPECT_EQ(GetCapturedStderr(), "");
    CaptureStderr();
    EXPECT_EQ(g_AgentDoc.SelectOnce(), 0);
    EXPECT_EQ(GetCapturedStderr(), "no halsen is connected\ntick\nno halsen is connected\n");
}

TEST_F(LoopTest, AlarmHandlerCalledForAnotherSignalOnlyReports)
{
    OnTimer(SIGUSR1);
    CaptureStdout();
    EXPECT_EQ(g_AgentDoc.SelectOnce(), 0);
    EXPECT_EQ(GetCapturedStdout(), "catch signal SIGALRM error!\n");
    EXPECT_TRUE(g_ticks.empty());
}

TEST_F(LoopTest, TicksComeEveryTwoSeconds)
{
    const Clock::time_point start = Clock::now();
    g_AgentDoc.SetTimer();
    itimerval timer;
    ASSERT_EQ(getitimer(ITIMER_REAL, &timer), 0);
    EXPECT_EQ(timer.it_interval.tv_sec, 2);
    EXPECT_EQ(timer.it_interval.tv_usec, 0);

    CaptureStderr();
    while (g_ticks.size() < 3 && SecondsBetween(start, Clock::now()) < 20)
        g_AgentDoc.SelectOnce();
    GetCapturedStderr();

    ASSERT_EQ(g_ticks.size(), 3u);
    EXPECT_GE(SecondsBetween(start, g_ticks[0]), 1.5);
    EXPECT_GE(SecondsBetween(g_ticks[0], g_ticks[1]), 1.0);
    EXPECT_GE(SecondsBetween(g_ticks[1], g_ticks[2]), 1.0);
    EXPECT_GE(SecondsBetween(start, g_ticks[2]), 5.5);
    EXPECT_LE(SecondsBetween(start, g_ticks[2]), 12.0);
}

TEST_F(LoopTest, ShutdownWorkRunsOnceAndClosesTheSockets)
{
    g_AgentDoc.m_pSvrBCRetSocket = ReadableDatagramSocket();
    g_AgentDoc.m_pSvrLstnSocket = new CSocket;
    g_AgentDoc.m_pSvrLstnSocket->Socket(SOCK_STREAM);
    CaptureStdout();
    g_AgentDoc.DeleteContents();
    g_AgentDoc.DeleteContents();
    EXPECT_EQ(GetCapturedStdout(), "Close socket connection!\n");
    EXPECT_EQ(g_AgentDoc.m_pSvrBCRetSocket, nullptr);
    EXPECT_EQ(g_AgentDoc.m_pSvrLstnSocket, nullptr);
    EXPECT_EQ(g_AgentDoc.m_pfnTimerProc, nullptr);
}

void JoinOutputs()
{
    dup2(STDERR_FILENO, STDOUT_FILENO);
}

TEST(LoopDeathTest, TerminationDuringAPassWaitsForItsEndAndExitsCleanly)
{
    EXPECT_EXIT(
        {
            JoinOutputs();
            g_AgentDoc.ProcessSignal();
            raise(SIGTERM);
            ShowInfo("the pass goes on\n");
            g_AgentDoc.SelectOnce();
            ShowInfo("not reached\n");
            _exit(3);
        },
        testing::ExitedWithCode(0), "the pass goes on\nExitInstance\nClose socket connection!\n$");
}

void HandlerOne(int) {}
void HandlerTwo(int) {}

TEST(SignalTest, InstallsWithRestartAndEmptyMaskAndReturnsThePrevious)
{
    EXPECT_EQ(CAgentDoc::Signal(SIGUSR1, HandlerOne), SIG_DFL);
    EXPECT_EQ(CAgentDoc::Signal(SIGUSR1, HandlerTwo), HandlerOne);
    struct sigaction now;
    ASSERT_EQ(sigaction(SIGUSR1, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, HandlerTwo);
    EXPECT_TRUE(now.sa_flags & SA_RESTART);
    EXPECT_FALSE(now.sa_flags & (SA_SIGINFO | SA_RESETHAND | SA_NODEFER));
    EXPECT_TRUE(sigisemptyset(&now.sa_mask));
    EXPECT_EQ(CAgentDoc::Signal(SIGKILL, HandlerOne), SIG_ERR);
}

TEST(SignalTest, ProcessSignalInstallsTheAgentsHandlers)
{
    g_AgentDoc.ProcessSignal();
    const struct
    {
        int sig;
        CAgentDoc::PFNSIGNAL handler;
    } expected[] = {{SIGTERM, SignalProcessor}, {SIGPIPE, SIG_IGN}, {SIGUSR2, SignalProcessor}};
    for (const auto& e : expected)
    {
        struct sigaction now;
        ASSERT_EQ(sigaction(e.sig, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, e.handler) << strsignal(e.sig);
    }
}
} // namespace
