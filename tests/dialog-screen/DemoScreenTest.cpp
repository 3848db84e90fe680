// The dialogs on a real terminal: the demonstration program runs in a
// private tmux server and is driven with keys as a person would.

#include "TmuxSession.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using tmuxtest::Quote;
using tmuxtest::TmuxSession;

namespace
{
const char kHelpPath[] = "/tmp/demo.hlp";
const char kHelp[] = "[*]\n"
                     "General help for the demo.\n"
                     "[/demo]\n"
                     "The demo menu lists one entry per dialog.\n"
                     "[/demo/menu]\n"
                     "A menu longer than its window scrolls.\n"
                     "[Select#(or more)disks:]\n"
                     "Mark disks with the space bar.\n";

std::string DemoCommand(const std::string& prefix = "")
{
    FILE* f = fopen(kHelpPath, "w");
    if (f)
    {
        fputs(kHelp, f);
        fclose(f);
    }
    return prefix + Quote(DIALOGDEMO) + " " + kHelpPath;
}

class DemoScreen : public ::testing::Test
{
protected:
    DemoScreen() : tmux(DemoCommand()) {}

    void SetUp() override
    {
        ASSERT_TRUE(tmux.Started());
        ASSERT_TRUE(tmux.WaitFor("a progress gauge")) << tmux.Screen();
    }

    // Opens an entry of the demo menu by its first letter.
    void Open(const char* letter, const char* shows)
    {
        tmux.Type(letter);
        tmux.Keys({"Enter"});
        EXPECT_SCREEN(tmux, shows);
    }

    // Closes the answer box and waits for the demo menu.
    void Answer(const std::string& text)
    {
        EXPECT_SCREEN(tmux, text);
        tmux.Keys({"Enter"});
        EXPECT_SCREEN(tmux, "a progress gauge");
    }

    TmuxSession tmux;
};
} // namespace

TEST_F(DemoScreen, MenuScrollsItsWindowAndReportsTheChoice)
{
    Open("M", "Item 5");
    EXPECT_EQ(tmux.Screen().find("Item 6"), std::string::npos);
    tmux.Keys({"Down", "Down", "Down", "Down", "Down", "Down"});
    EXPECT_SCREEN(tmux, "Item 7");
    EXPECT_EQ(tmux.Screen().find("Item 2 "), std::string::npos) << tmux.Screen();
    EXPECT_NE(tmux.Line("Item 7").find("even"), std::string::npos);
    tmux.Keys({"Enter"});
    Answer("menu answer 0, item 7");

    Open("M", "Item 1");
    tmux.Keys({"End"});
    EXPECT_SCREEN(tmux, "Item 12");
    tmux.Keys({"Tab", "Enter"});
    Answer("menu answer 1, item 0");

    Open("M", "Item 1");
    tmux.Keys({"Escape"});
    Answer("menu answer -1, item 0");
}

TEST_F(DemoScreen, RadioListKeepsOneMark)
{
    Open("R", "Please select array mode:");
    tmux.Keys({"Down", "Space"});
    EXPECT_SCREEN(tmux, "(*) RAID1");
    tmux.Keys({"Down", "Space"});
    EXPECT_SCREEN(tmux, "(*) RAID0");
    EXPECT_NE(tmux.Line("RAID1").find("( ) RAID1"), std::string::npos) << tmux.Screen();
    tmux.Keys({"Enter"});
    Answer("radio answer 0, mode 3");

    // Enter with nothing marked takes the highlighted mode.
    Open("R", "Please select array mode:");
    tmux.Keys({"Down", "Down", "Down", "Enter"});
    Answer("radio answer 0, mode 4");
}

TEST_F(DemoScreen, CheckListTogglesInTheOrderMarked)
{
    Open("C", "Select2(or more)disks:");
    tmux.Keys({"Down", "Down", "Space", "Up", "Up", "Space", "Down", "Space"});
    EXPECT_SCREEN(tmux, "[X] 2:3 DISK-B");
    tmux.Keys({"Space"});
    EXPECT_SCREEN(tmux, "[ ] 2:3 DISK-B");
    EXPECT_NE(tmux.Line("DISK-C").find("[X]"), std::string::npos);
    EXPECT_NE(tmux.Line("DISK-A").find("[X]"), std::string::npos);
    tmux.Keys({"Enter"});
    Answer("check answer 0, disks 3 1");
}

TEST_F(DemoScreen, InputBoxTakesNoMoreThanItsField)
{
    Open("I", "Enter array name to create:");
    EXPECT_SCREEN(tmux, "RAID01");
    tmux.Type("xyz");
    EXPECT_SCREEN(tmux, "RAID01x");
    EXPECT_EQ(tmux.Screen().find("RAID01xy"), std::string::npos);
    tmux.Keys({"Enter"});
    Answer("input answer 0, name [RAID01x], guard intact");

    Open("I", "Enter array name to create:");
    tmux.Keys({"BSpace", "BSpace", "Home", "DC"});
    tmux.Type("Q");
    EXPECT_SCREEN(tmux, "QAID");
    tmux.Keys({"Enter"});
    Answer("input answer 0, name [QAID], guard intact");

    Open("I", "Enter array name to create:");
    tmux.Type("zz");
    tmux.Keys({"Tab", "Tab", "Enter"});
    Answer("input answer 1, name [RAID01], guard intact");
}

TEST_F(DemoScreen, QuestionAnswersByButtonLetterAndEscape)
{
    struct Case
    {
        std::vector<std::string> keys;
        const char* answer;
    } cases[] = {
        {{"Enter"}, "yes/no answer 0"},
        {{"Tab", "Enter"}, "yes/no answer 1"},
        {{"n"}, "yes/no answer 1"},
        {{"Escape"}, "yes/no answer -1"},
    };
    for (const Case& c : cases)
    {
        Open("Y", "Do you really want to delete this array: \"RAID1\"?");
        EXPECT_SCREEN(tmux, "<Yes>");
        tmux.Keys(c.keys);
        Answer(c.answer);
    }
}

TEST_F(DemoScreen, GaugeFollowsTheFigureToTheEnd)
{
    Open("G", "Percent done:(press any key to go on)");
    const char* figures[] = {"0%", "25%", "50%", "75%", "100%"};
    for (const char* figure : figures)
    {
        EXPECT_SCREEN(tmux, figure);
        EXPECT_NE(tmux.Line("Rebuilding").find("Rebuilding"), std::string::npos);
        tmux.Type("k");
    }
    Answer("gauge finished");
}

TEST_F(DemoScreen, HelpKeyShowsTheSectionOfTheScreen)
{
    EXPECT_SCREEN(tmux, "Press F1 for help");
    tmux.Keys({"F1"});
    EXPECT_SCREEN(tmux, "The demo menu lists one entry per dialog.");
    tmux.Keys({"Escape"});
    EXPECT_TRUE(tmux.WaitFor("The demo menu lists", true));

    Open("M", "Item 1");
    tmux.Keys({"F1"});
    EXPECT_SCREEN(tmux, "A menu longer than its window scrolls.");
    tmux.Keys({"Enter"});
    EXPECT_SCREEN(tmux, "Item 1");
    tmux.Keys({"Enter"});
    // The answer box has no help line and no help.
    EXPECT_SCREEN(tmux, "menu answer 0, item 1");
    EXPECT_EQ(tmux.Screen().find("Press F1 for help"), std::string::npos);
    tmux.Keys({"F1"});
    EXPECT_EQ(tmux.Screen().find("General help"), std::string::npos);
    tmux.Keys({"Enter"});

    Open("C", "Select2(or more)disks:");
    tmux.Keys({"F1"});
    EXPECT_SCREEN(tmux, "Mark disks with the space bar.");
    tmux.Keys({"Escape", "Escape"});
    Answer("check answer -1");
}

TEST_F(DemoScreen, ResizeRedrawsTheDialog)
{
    Open("R", "Please select array mode:");
    tmux.Resize(50, 14);
    EXPECT_SCREEN(tmux, "Parity Distributed");
    std::string screen = tmux.Screen();
    EXPECT_NE(screen.find("<Cancel>"), std::string::npos) << screen;
    for (size_t start = 0, end; (end = screen.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 50u * 3) << screen; // box characters take up to three bytes
    tmux.Resize(100, 30);
    // Centred again on the wider screen.
    std::string last;
    EXPECT_TRUE(tmux.WaitUntil(
        [](const std::string& s) {
            size_t at = s.find("Please select");
            size_t line = s.rfind('\n', at);
            return at != std::string::npos && at - line > 30;
        },
        &last))
        << last;
    tmux.Keys({"Escape"});
    Answer("radio answer -1");
}

TEST_F(DemoScreen, ScreenTooSmallForTheMenuScrollsIt)
{
    tmux.Resize(40, 10);
    EXPECT_TRUE(tmux.WaitFor("Yes/No", true));
    EXPECT_SCREEN(tmux, "<Select>");
    EXPECT_EQ(tmux.Screen().find("Notice"), std::string::npos);
    tmux.Keys({"End"});
    EXPECT_SCREEN(tmux, "Notice");
    EXPECT_EQ(tmux.Screen().find("Menu "), std::string::npos);
    tmux.Keys({"Enter"});
    EXPECT_SCREEN(tmux, "Attention:");
}

TEST(DemoHelp, MissingHelpFileIsSaidSo)
{
    TmuxSession tmux(Quote(DIALOGDEMO) + " /tmp/no-such.hlp");
    ASSERT_TRUE(tmux.WaitFor("a progress gauge"));
    tmux.Keys({"F1"});
    EXPECT_SCREEN(tmux, "No help is available: the help file cannot be read.");
    tmux.Keys({"Enter"});
    EXPECT_SCREEN(tmux, "a progress gauge");
}

TEST(DemoColours, ColourTerminalsGetColoursOthersPlainAttributes)
{
    TmuxSession colour(DemoCommand());
    TmuxSession plain(DemoCommand("NO_COLOR=1 "));
    ASSERT_TRUE(colour.WaitFor("a progress gauge"));
    ASSERT_TRUE(plain.WaitFor("a progress gauge"));
    std::string c = colour.Screen(true);
    std::string p = plain.Screen(true);
    EXPECT_NE(c.find("44m"), std::string::npos) << "blue backdrop expected";
    EXPECT_EQ(p.find("44m"), std::string::npos) << p;
    EXPECT_EQ(p.find("47m"), std::string::npos) << p;
    EXPECT_NE(p.find("7m"), std::string::npos) << "the highlight is shown in reverse";
}

TEST(DemoEnd, QuitAndALostTerminalBothEndTheProgram)
{
    TmuxSession quit(DemoCommand());
    ASSERT_TRUE(quit.WaitFor("a progress gauge"));
    quit.Keys({"Tab", "Enter"});
    EXPECT_SCREEN(quit, "dialogdemo: left with 1");
    EXPECT_SCREEN(quit, "[exit 0]");

    // Input at its end: the dialog answers as on Esc instead of waiting.
    TmuxSession gone(DemoCommand() + " </dev/null");
    EXPECT_SCREEN(gone, "dialogdemo: left with -1");
    EXPECT_SCREEN(gone, "[exit 0]");
}
