// Editing in a bounded field and the answers of input boxes and
// questions.

#include "CAnswerControl.h"
#include "CInputControl.h"
#include "CLineEdit.h"
#include "DialogKeys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
void Type(CLineEdit& edit, const std::string& text)
{
    for (char c : text)
        edit.HandleKey(static_cast<unsigned char>(c));
}

void Type(CInputControl& input, const std::string& text)
{
    int result = 0;
    for (char c : text)
        ASSERT_FALSE(input.HandleKey(static_cast<unsigned char>(c), &result));
}
} // namespace

TEST(LineEdit, NeverHoldsMoreThanTheFieldTakes)
{
    struct Case
    {
        int size;
        const char* preset;
        const char* typed;
        const char* text;
    } cases[] = {
        {8, "", "abcdefghijkl", "abcdefg"},
        {8, "RAID01", "xyz", "RAID01x"},
        {8, "far too long a name", "", "far too"},
        {1, "", "abc", ""},
        {0, "abc", "abc", ""},
        {16, "tab\there", "", "tab"},   // a preset is cut at an unprintable character
        {16, "", "a\tb\x01" "c\xc3", "abc"}, // typed control and 8-bit bytes are refused
    };
    for (const Case& c : cases)
    {
        CLineEdit edit(c.size);
        edit.Set(c.preset, static_cast<int>(strlen(c.preset)));
        Type(edit, c.typed);
        EXPECT_STREQ(edit.GetText(), c.text) << c.size << " " << c.preset << " " << c.typed;
        EXPECT_LE(edit.GetLength(), c.size > 0 ? c.size - 1 : 0);
    }
}

TEST(LineEdit, CursorKeysEditInsideTheText)
{
    CLineEdit edit(10);
    Type(edit, "array");
    struct Step
    {
        int key;
        const char* text;
        int cursor;
    } steps[] = {
        {DK_HOME, "array", 0},      {'X', "Xarray", 1},     {DK_RIGHT, "Xarray", 2},
        {DK_DELETE, "Xaray", 2},    {DK_BACKSPACE, "Xray", 1}, {DK_BACKSPACE, "ray", 0},
        {DK_BACKSPACE, "ray", 0},   {DK_LEFT, "ray", 0},    {DK_END, "ray", 3},
        {DK_DELETE, "ray", 3},      {DK_RIGHT, "ray", 3},
    };
    for (const Step& s : steps)
    {
        EXPECT_TRUE(edit.HandleKey(s.key));
        EXPECT_STREQ(edit.GetText(), s.text);
        EXPECT_EQ(edit.GetCursor(), s.cursor);
    }
    EXPECT_FALSE(edit.HandleKey(DK_UP));
    EXPECT_FALSE(edit.HandleKey(DK_ENTER));
}

TEST(LineEdit, ScrollKeepsTheCursorInANarrowField)
{
    CLineEdit edit(40);
    Type(edit, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(edit.GetScroll(10), 17); // the cursor after "z" has a column of its own
    edit.HandleKey(DK_HOME);
    EXPECT_EQ(edit.GetScroll(10), 0);
    for (int i = 0; i < 12; i++)
        edit.HandleKey(DK_RIGHT);
    EXPECT_EQ(edit.GetScroll(10), 3);
    EXPECT_EQ(edit.GetScroll(0), 12);
}

TEST(InputControl, OkCopiesTheBoundedAnswerCancelLeavesThePreset)
{
    struct Case
    {
        std::vector<int> keys;
        int result;
        const char* answer;
    } cases[] = {
        {{DK_ENTER}, 0, "RAID5"},
        {{DK_BACKSPACE, 'x', 'y', 'z', 'w', DK_ENTER}, 0, "RAIDxyz"},
        {{'1', DK_TAB, DK_ENTER}, 0, "RAID51"},
        {{'1', DK_TAB, DK_TAB, DK_ENTER}, 1, "RAID5"},
        {{'1', DK_TAB, DK_RIGHT, DK_ENTER}, 1, "RAID5"},
        {{'1', DK_BACKTAB, DK_ENTER}, 1, "RAID5"},
        {{'1', DK_ESCAPE}, -1, "RAID5"},
        {{'1', DK_HANGUP}, -1, "RAID5"},
        // Typing with a button in focus goes back to the field.
        {{DK_TAB, 'q', DK_ENTER}, 0, "RAID5q"},
    };
    for (const Case& c : cases)
    {
        char buffer[8 + 4];
        memset(buffer, '#', sizeof(buffer));
        strcpy(buffer, "RAID5");
        CInputControl input(buffer, 8);
        int result = 99;
        bool done = false;
        for (int key : c.keys)
            done = input.HandleKey(key, &result);
        EXPECT_TRUE(done);
        EXPECT_EQ(result, c.result);
        EXPECT_STREQ(buffer, c.answer);
        for (size_t i = 8; i < sizeof(buffer); i++)
            EXPECT_EQ(buffer[i], '#') << "written past the field at " << i;
    }
}

TEST(InputControl, PresetWithoutTerminatorIsReadWithinTheBound)
{
    char buffer[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    CInputControl input(buffer, sizeof(buffer));
    EXPECT_STREQ(input.GetEdit().GetText(), "abcde");
    Type(input, "gh");
    int result = 99;
    EXPECT_TRUE(input.HandleKey(DK_ENTER, &result));
    EXPECT_STREQ(buffer, "abcde");
}

TEST(AnswerControl, QuestionsTakeButtonsLettersAndEscape)
{
    struct Case
    {
        std::vector<int> keys;
        int result;
    } cases[] = {
        {{DK_ENTER}, 0},          {{DK_TAB, DK_ENTER}, 1}, {{DK_RIGHT, DK_RIGHT, ' '}, 0},
        {{DK_LEFT, DK_ENTER}, 1}, {{'n'}, 1},              {{'Y'}, 0},
        {{DK_ESCAPE}, -1},        {{DK_HANGUP}, -1},       {{'x', DK_BACKTAB, DK_ENTER}, 1},
    };
    for (const Case& c : cases)
    {
        CAnswerControl yesno("Yes", "No");
        int result = 99;
        bool done = false;
        for (int key : c.keys)
            done = yesno.HandleKey(key, &result);
        EXPECT_TRUE(done);
        EXPECT_EQ(result, c.result);
    }
    CAnswerControl box("OK", nullptr);
    int result = 99;
    EXPECT_FALSE(box.HandleKey('n', &result));
    EXPECT_FALSE(box.HandleKey(DK_TAB, &result));
    EXPECT_TRUE(box.HandleKey(DK_ESCAPE, &result));
    EXPECT_EQ(result, 0);
}

// The one routine both answer boxes and lists move between their buttons
// with: only Tab, Shift-Tab and the side arrows move, wrapping round.
TEST(ButtonBar, TabAndSideArrowsMoveBetweenTheButtons)
{
    const struct
    {
        const char* second;
        int key;
        bool moved;
        int focus;
    } cases[] = {
        {"No", DK_TAB, true, 1},  {"No", DK_RIGHT, true, 1},    {"No", DK_BACKTAB, true, 1},
        {"No", DK_LEFT, true, 1}, {"No", DK_ENTER, false, 0},   {"No", DK_UP, false, 0},
        {"No", 'y', false, 0},    {nullptr, DK_TAB, true, 0},   {nullptr, DK_LEFT, true, 0},
        {nullptr, ' ', false, 0}, {"No", DK_ESCAPE, false, 0},
    };
    for (const auto& c : cases)
    {
        CButtonBar buttons("Yes", c.second);
        EXPECT_EQ(buttons.MoveByKey(c.key), c.moved) << c.key;
        EXPECT_EQ(buttons.GetFocus(), c.focus) << c.key;
    }
    CButtonBar buttons("Yes", "No");
    EXPECT_TRUE(buttons.MoveByKey(DK_TAB));
    EXPECT_TRUE(buttons.MoveByKey(DK_RIGHT));
    EXPECT_EQ(buttons.GetFocus(), 0) << "wraps round";
}
