#pragma once

// The console utility on a terminal of its own, on the simulated
// controller of the test's sandbox.

#include "SimHelpers.h"
#include "TmuxSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class VelconScreen : public ::testing::Test
{
protected:
    // Sets the simulator up from `preset` (after `prepare`, zelsim
    // commands run before the start) and starts the utility.
    void Start(const std::string& preset = "one-adapter", const std::string& prepare = "")
    {
        Zelsim("init " + preset);
        Zelsim("printk 7 4 1 7");
        if (!prepare.empty())
        {
            ASSERT_EQ(system(prepare.c_str()), 0) << prepare;
        }
        ASSERT_EQ(system("cp " VELCON_HELP " /etc/tavrine/velcon.hlp"), 0);
        tmux = std::make_unique<tmuxtest::TmuxSession>(tmuxtest::Quote(VELCON), 80, 30);
        ASSERT_TRUE(tmux->Started());
    }

    static std::string Zelsim(const std::string& args)
    {
        int status = -1;
        std::string out = simtest::Shell("zelsim " + args + " 2>&1", &status);
        EXPECT_EQ(status, 0) << "zelsim " << args << ": " << out;
        return out;
    }

    // Waits for `text`, failing the test with the screen when it does not
    // come.
    void See(const std::string& text)
    {
        std::string last;
        ASSERT_TRUE(tmux->WaitFor(text, false, &last)) << "waiting for: " << text << "\n" << last;
    }

    // Jumps to the menu entry starting with `letter`, waits for the screen
    // it opens.
    void Open(const char* letter, const std::string& shows)
    {
        tmux->Type(letter);
        tmux->Keys({"Enter"});
        See(shows);
    }

    void Keys(const std::vector<std::string>& keys) { tmux->Keys(keys); }

    // The screen line showing `text`, with its box borders and the spaces
    // around it cut.
    std::string Row(const std::string& text)
    {
        std::string line = tmux->Line(text);
        size_t from = line.find_first_not_of(" xq|");
        size_t to = line.find_last_not_of(" xq|");
        return from == std::string::npos ? "" : line.substr(from, to - from + 1);
    }

    // Every row of `expected` (one per line, "left|right" with the right
    // text after any run of spaces) shows on the screen.
    void SeeRows(const std::string& expected)
    {
        size_t at = 0;
        while (at < expected.size())
        {
            size_t end = expected.find('\n', at);
            std::string want = expected.substr(at, end - at);
            at = end == std::string::npos ? expected.size() : end + 1;
            size_t bar = want.find('|');
            std::string left = want.substr(0, bar);
            std::string right = bar == std::string::npos ? "" : want.substr(bar + 1);
            ASSERT_NO_FATAL_FAILURE(See(left));
            std::string row = Row(left);
            std::string shown = left.substr(left.find_first_not_of(' '));
            EXPECT_NE(row.find(right, row.find(shown) + shown.size()), std::string::npos)
                << "row [" << row << "] wants [" << right << "]\n" << tmux->Screen();
        }
    }

    // The kernel message level writes the simulator recorded.
    static std::string PrintkWrites()
    {
        std::string out = simtest::Shell("zelsim printk");
        return out.substr(out.find('\n') + 1);
    }

    void QuitAndExpectRestored()
    {
        tmux->WaitFor("[exit", false, nullptr, 5000);
        EXPECT_EQ(PrintkWrites(), "write \"0\\n\"\nwrite \"7\\n\"\n");
    }

    std::unique_ptr<tmuxtest::TmuxSession> tmux;
};
