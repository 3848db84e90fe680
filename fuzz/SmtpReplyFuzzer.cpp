// Plays a hostile mail server to the agent's mailer: the input holds the
// subject, the body and then the server's replies, separated by NUL bytes.
// A server thread on the loopback's port 25 answers each command the
// mailer sends with the next reply (or with the next piece of one, when
// the mailer waits for more) and records what it receives.
//
// Whatever the replies, the dialogue must end, its result must agree with
// its error text, and the mail must not end early: after "DATA" the first
// line holding a lone "." is followed by nothing but "QUIT".

#include "CEmail.h"
#include "CSocket.h"

#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
// How long the server waits for the mailer's next command before it takes
// the mailer to be waiting for the rest of a reply.
const int kCommandWaitMs = 10;
// Longest wait for the mailer to close at the end.
const int kCloseWaitMs = 2000;
const char kReceivers[][40] = {"\"One\" <one@example.test>", "\"Two\" <two@example.test>"};

// The mail server's port, bound on every address of the sandbox's own
// network, which has the loopback only.
int OpenListener()
{
    static CSocket listener;
    listener.Socket(SOCK_STREAM);
    if (listener.Bind(CEmail::kSmtpPort) != 0)
    {
        perror("smtp fuzz: port 25 (run it in tools/sandbox)");
        abort();
    }
    listener.Listen(4);
    return listener.GetSd();
}

int g_nListener = -1;

enum Read
{
    kClosed,
    kQuiet,
    kData
};

// Takes what the mailer sent within waitMs.
Read ReadSome(int fd, std::string& received, int waitMs)
{
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0)
        return kQuiet;
    char buf[4096];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0)
        return kClosed;
    received.append(buf, static_cast<size_t>(n));
    // The mailer writes a command and its line end apart; acknowledging at
    // once keeps the second write from waiting for a delayed one.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    return kData;
}

void Serve(const std::vector<std::string>& replies, std::string& received)
{
    const int fd = accept(g_nListener, nullptr, nullptr);
    if (fd < 0)
        return;
    Read last = kQuiet;
    for (size_t i = 0; i < replies.size() && last != kClosed; ++i)
    {
        send(fd, replies[i].data(), replies[i].size(), MSG_NOSIGNAL);
        // The next reply goes once the mailer has ended a line, or when it
        // stays quiet because it waits for more of this one.
        do
            last = ReadSome(fd, received, kCommandWaitMs);
        while (last == kData && received.back() != '\n');
    }
    shutdown(fd, SHUT_WR);
    while (last != kClosed && (last = ReadSome(fd, received, kCloseWaitMs)) == kData)
    {
    }
    close(fd);
}

std::vector<std::string> Split(const unsigned char* data, size_t size)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i)
    {
        if (data[i] == '\0')
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    return parts;
}

void Fail(const char* what, const std::string& received)
{
    fprintf(stderr, "smtp fuzz: %s; the mailer sent:\n%s\n", what, received.c_str());
    abort();
}

void CheckMessageEnd(const std::string& received)
{
    const size_t data = received.find("\r\nDATA\r\n");
    if (data == std::string::npos)
        return;
    const size_t end = received.find("\r\n.\r\n", data + 6);
    if (end == std::string::npos)
        return;
    const std::string after = received.substr(end + 5);
    if (!after.empty() && after != "QUIT\r\n")
        Fail("text after the end of the message", received);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    // Keeps the settings loaded, as the machine folder's object does, until
    // the process ends.
    static CEmail settings;
    static const bool ready = [] {
        CEmail::SetHostName("fuzzhost");
        CEmail::m_SMTPServer = "127.0.0.1";
        CEmail::m_EmailID = "\"Agent\" <agent@example.test>";
        for (const char* receiver : kReceivers)
            settings.AddReceiver(receiver);
        g_nListener = OpenListener();
        return true;
    }();
    (void)ready;

    std::vector<std::string> parts = Split(data, size);
    const std::string subject = parts[0];
    const std::string body = parts.size() > 1 ? parts[1] : "";
    // An empty reply sends nothing; it would only make the server wait.
    std::vector<std::string> replies;
    for (size_t i = 2; i < parts.size(); ++i)
    {
        if (!parts[i].empty())
            replies.push_back(parts[i]);
    }

    std::string received;
    std::thread server(Serve, std::cref(replies), std::ref(received));
    CEmail mailer;
    mailer.m_strSender = "dorvik";
    CString error;
    const bool sent = mailer.SendMessage(subject.c_str(), body.c_str(), error);
    server.join();
    if (sent != error.IsEmpty())
        Fail(sent ? "sent, with an error text" : "not sent, without an error text", received);
    CheckMessageEnd(received);
    return 0;
}
