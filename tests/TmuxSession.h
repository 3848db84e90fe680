#pragma once

// A program on a terminal of its own: a private tmux server (its own
// socket name) runs it in one pane of a fixed size, keys go in through
// send-keys and the screen comes back through capture-pane.  The server
// is killed when the session object goes.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tmuxtest
{

// Quotes a word for /bin/sh.
inline std::string Quote(const std::string& word)
{
    std::string q = "'";
    for (char c : word)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class TmuxSession
{
public:
    // Runs `command` (a shell command line) in a pane of width x height.
    // When it ends the pane stays, showing "[exit N]" with its status.
    TmuxSession(const std::string& command, int width = 80, int height = 24)
    {
        static int counter = 0;
        m_socket = "tavrine-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        m_config = "/tmp/" + m_socket + ".conf";
        FILE* f = fopen(m_config.c_str(), "w");
        if (f)
        {
            // A terminal type every curses installation knows, no status
            // line to take a row, and keys passed on at once.
            fputs("set -g default-terminal screen\nset -g status off\nset -g escape-time 0\n", f);
            fclose(f);
        }
        std::string line = command + "; echo \"[exit $?]\"; sleep 100000";
        m_started = Tmux("-f " + Quote(m_config) + " new-session -d -x " + std::to_string(width) + " -y " +
                         std::to_string(height) + " " + Quote(line)) == 0;
    }

    ~TmuxSession()
    {
        Tmux("kill-server");
        unlink(m_config.c_str());
    }

    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    bool Started() const { return m_started; }

    // Key names as send-keys knows them: "Down", "Enter", "Escape", "Tab",
    // "BTab", "Space", "F1", "BSpace", "NPage"...
    void Keys(const std::vector<std::string>& keys)
    {
        std::string words;
        for (const std::string& k : keys)
            words += " " + Quote(k);
        Tmux("send-keys -t 0" + words);
    }

    // Text typed as it stands.
    void Type(const std::string& text) { Tmux("send-keys -t 0 -l " + Quote(text)); }

    void Resize(int width, int height)
    {
        Tmux("resize-window -t 0 -x " + std::to_string(width) + " -y " + std::to_string(height));
    }

    // The screen as text; with `escapes`, with its attributes and colours.
    std::string Screen(bool escapes = false)
    {
        return Output(std::string("capture-pane -p") + (escapes ? " -e" : "") + " -t 0");
    }

    // Waits until the screen passes `test`; false after the timeout, with
    // the last screen in *last.
    bool WaitUntil(const std::function<bool(const std::string&)>& test, std::string* last = nullptr,
                   int timeoutMs = 10000)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string screen;
        do
        {
            screen = Screen();
            if (test(screen))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < end);
        if (last)
            *last = screen;
        return false;
    }

    // Waits until the screen shows `text` (or, with `gone`, no longer
    // does).
    bool WaitFor(const std::string& text, bool gone = false, std::string* last = nullptr, int timeoutMs = 10000)
    {
        return WaitUntil([&](const std::string& screen) { return (screen.find(text) != std::string::npos) != gone; },
                         last, timeoutMs);
    }

    // The first screen line holding `text`, or "" when none does.
    std::string Line(const std::string& text)
    {
        std::string screen = Screen();
        size_t at = screen.find(text);
        if (at == std::string::npos)
            return "";
        size_t start = screen.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        size_t end = screen.find('\n', at);
        return screen.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }

private:
    int Tmux(const std::string& args)
    {
        int rc = system(("tmux -L " + Quote(m_socket) + " " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }

    std::string Output(const std::string& args)
    {
        std::string out;
        FILE* p = popen(("tmux -L " + Quote(m_socket) + " " + args + " 2>/dev/null").c_str(), "r");
        if (!p)
            return out;
        std::array<char, 4096> buf;
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        pclose(p);
        return out;
    }

    std::string m_socket;
    std::string m_config;
    bool m_started = false;
};

// Asserts that the screen comes to show text.
#define EXPECT_SCREEN(session, text)                                                                                  \
    do                                                                                                                \
    {                                                                                                                 \
        std::string last_;                                                                                            \
        EXPECT_TRUE((session).WaitFor((text), false, &last_)) << "waiting for: " << (text) << "\n" << last_;          \
    } while (0)

} // namespace tmuxtest
