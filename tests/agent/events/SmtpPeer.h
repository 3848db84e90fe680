#pragma once

#include "EventsTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

inline const char kMailFile[] = "/tmp/smtp-peer.txt";

inline std::vector<std::string> Split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos;
         start = end + separator.size())
        parts.push_back(text.substr(start, end - start));
    if (start < text.size())
        parts.push_back(text.substr(start));
    return parts;
}

// The real SMTP server of the tests, on port 25 of the sandbox.
class SmtpPeer
{
public:
    explicit SmtpPeer(const std::vector<std::string>& refused = {})
    {
        unlink(kMailFile);
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        m_pid = fork();
        if (m_pid == 0)
        {
            dup2(out[1], 1);
            close(out[0]);
            std::vector<std::string> args = {"/usr/bin/python3",
                                             TAVRINE_SOURCE_DIR "/tests/agent/events/smtp_peer.py",
                                             "--out", kMailFile};
            for (const std::string& r : refused)
            {
                args.push_back("--refuse");
                args.push_back(r);
            }
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        pollfd ready = {out[0], POLLIN, 0};
        char line[16] = {};
        EXPECT_EQ(poll(&ready, 1, 20000), 1) << "the SMTP peer did not start";
        EXPECT_GT(read(out[0], line, sizeof line - 1), 0);
        EXPECT_EQ(std::string(line).substr(0, 5), "ready");
        // Kept open: the peer must not lose its output while it runs.
        m_nOutput = out[0];
    }

    ~SmtpPeer()
    {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        close(m_nOutput);
    }

    SmtpPeer(const SmtpPeer&) = delete;
    SmtpPeer& operator=(const SmtpPeer&) = delete;

    // Every message received so far, as the peer recorded it.
    std::vector<std::string> Messages() const { return Split(ReadBytes(kMailFile), "END\n"); }

private:
    pid_t m_pid = -1;
    int m_nOutput = -1;
};
