// Item handling of menus and lists: the highlight and its window, marks
// kept by the library or by callbacks, and the item codes.

#include "CItemList.h"
#include "CListControl.h"
#include "DialogKeys.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// Entries as a caller lays them out: OK, Cancel, then the items.
struct Entries
{
    explicit Entries(int n, const char* ok = "Select", const char* cancel = "Quit")
    {
        items.resize(n + 2);
        items[0].prompt = ok;
        items[1].prompt = cancel;
        for (int i = 0; i < n; i++)
        {
            names.push_back(std::string(1, static_cast<char>('a' + i)) + "item");
            items[i + 2].data = i + 1;
        }
        for (int i = 0; i < n; i++)
            items[i + 2].prompt = names[i].c_str();
    }
    dialogMenuItem* first() { return &items[2]; }
    dialogMenuItem& item(int i) { return items[i + 2]; }
    std::vector<dialogMenuItem> items;
    std::vector<std::string> names;
};

// The way the console's mode list works: the check callback marks the
// item whose data equals a shared value, the fire callback sets it.
long g_nSpending;
int g_nFires;
int CheckSpending(dialogMenuItem* self)
{
    return self->data == g_nSpending;
}
int Spend(dialogMenuItem* self)
{
    g_nSpending = self->data;
    g_nFires++;
    return DITEM_REDRAW;
}
int MarkWithX(dialogMenuItem* self)
{
    self->mark = 'X';
    return self->data == 2;
}
int Leave(dialogMenuItem*)
{
    g_nFires++;
    return DITEM_LEAVE_MENU;
}
int Redraw(dialogMenuItem*)
{
    g_nFires++;
    return DITEM_REDRAW;
}
} // namespace

TEST(ItemList, MovementStaysInsideAndKeepsTheHighlightInSight)
{
    Entries e(10);
    CItemList list(CItemList::kMenu, e.first(), 10);
    list.SetRows(4);
    struct Step
    {
        void (*move)(CItemList&);
        int current;
        int top;
    } steps[] = {
        {[](CItemList& l) { l.Move(-1); }, 0, 0},  {[](CItemList& l) { l.Move(3); }, 3, 0},
        {[](CItemList& l) { l.Move(1); }, 4, 1},   {[](CItemList& l) { l.PageDown(); }, 8, 5},
        {[](CItemList& l) { l.PageDown(); }, 9, 6}, {[](CItemList& l) { l.Move(1); }, 9, 6},
        {[](CItemList& l) { l.PageUp(); }, 5, 5},  {[](CItemList& l) { l.Home(); }, 0, 0},
        {[](CItemList& l) { l.End(); }, 9, 6},
    };
    for (size_t i = 0; i < std::size(steps); i++)
    {
        steps[i].move(list);
        EXPECT_EQ(list.GetCurrent(), steps[i].current) << "step " << i;
        EXPECT_EQ(list.GetTop(), steps[i].top) << "step " << i;
    }
    // A screen that grows shows more rows from the same top, never past
    // the end.
    list.SetRows(20);
    EXPECT_EQ(list.GetTop(), 0);
}

TEST(ItemList, EmptyListIgnoresEveryKey)
{
    CItemList list(CItemList::kCheck, nullptr, 0);
    list.Move(1);
    list.End();
    EXPECT_EQ(list.GetCurrent(), 0);
    EXPECT_EQ(list.Toggle(), DITEM_SUCCESS);
    EXPECT_FALSE(list.AnyMarked());
    EXPECT_FALSE(list.JumpTo('a'));
}

TEST(ItemList, LetterJumpsToTheNextItemBeginningWithIt)
{
    Entries e(3);
    e.names = {"Disk", "  Array", "delete"};
    for (int i = 0; i < 3; i++)
        e.item(i).prompt = e.names[i].c_str();
    CItemList list(CItemList::kMenu, e.first(), 3);
    EXPECT_TRUE(list.JumpTo('D'));
    EXPECT_EQ(list.GetCurrent(), 2);
    EXPECT_TRUE(list.JumpTo('d'));
    EXPECT_EQ(list.GetCurrent(), 0);
    EXPECT_TRUE(list.JumpTo('a')); // leading blanks do not count
    EXPECT_EQ(list.GetCurrent(), 1);
    EXPECT_FALSE(list.JumpTo('z'));
    EXPECT_EQ(list.GetCurrent(), 1);
}

TEST(ItemList, RadioListKeepsOneMarkCheckListFlips)
{
    Entries e(3);
    CItemList radio(CItemList::kRadio, e.first(), 3);
    radio.Toggle();
    radio.Move(2);
    radio.Toggle();
    radio.Toggle(); // a radio item cannot be unmarked by itself
    EXPECT_FALSE(radio.IsMarked(0));
    EXPECT_FALSE(radio.IsMarked(1));
    EXPECT_TRUE(radio.IsMarked(2));

    Entries c(3);
    CItemList check(CItemList::kCheck, c.first(), 3);
    check.Toggle();
    check.Move(2);
    check.Toggle();
    EXPECT_TRUE(check.IsMarked(0));
    EXPECT_TRUE(check.IsMarked(2));
    check.Toggle();
    EXPECT_FALSE(check.IsMarked(2));
    EXPECT_TRUE(check.IsMarked(0));
}

TEST(ItemList, CallbacksDecideTheMarksAndTheirLook)
{
    Entries e(3);
    for (int i = 0; i < 3; i++)
    {
        e.item(i).checked = CheckSpending;
        e.item(i).fire = Spend;
    }
    g_nSpending = 0;
    g_nFires = 0;
    CItemList radio(CItemList::kRadio, e.first(), 3);
    EXPECT_FALSE(radio.AnyMarked());
    radio.Move(1);
    EXPECT_EQ(radio.Toggle(), DITEM_REDRAW);
    EXPECT_EQ(g_nSpending, 2);
    EXPECT_EQ(g_nFires, 1);
    char mark[4];
    radio.MarkText(1, mark);
    EXPECT_STREQ(mark, "(*)");
    radio.MarkText(0, mark);
    EXPECT_STREQ(mark, "( )");

    Entries c(2);
    for (int i = 0; i < 2; i++)
        c.item(i).checked = MarkWithX;
    c.item(0).lbra = '<';
    c.item(0).rbra = '>';
    CItemList check(CItemList::kCheck, c.first(), 2);
    check.MarkText(1, mark);
    EXPECT_STREQ(mark, "[X]");
    check.MarkText(0, mark);
    EXPECT_STREQ(mark, "< >");
}

TEST(ListControl, MenuItemCodesDecideWhetherTheMenuStays)
{
    Entries e(3);
    e.item(0).fire = Redraw;
    e.item(1).fire = Leave;
    g_nFires = 0;
    CListControl menu(CItemList::kMenu, e.items.data(), 3);
    EXPECT_STREQ(menu.GetButtons().GetLabel(0), "Select");
    EXPECT_STREQ(menu.GetButtons().GetLabel(1), "Quit");
    int result = 99;
    EXPECT_FALSE(menu.HandleKey(DK_ENTER, &result)); // 0x20000: redraw and stay
    EXPECT_EQ(g_nFires, 1);
    menu.HandleKey(DK_DOWN, &result);
    EXPECT_TRUE(menu.HandleKey(DK_ENTER, &result)); // 0x30000: leave
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_nFires, 2);
    menu.HandleKey(DK_DOWN, &result);
    EXPECT_TRUE(menu.HandleKey(' ', &result)); // no fire callback: leave
    EXPECT_EQ(result, 0);
}

TEST(ListControl, CancelEscapeAndALostTerminalEndTheDialog)
{
    struct Case
    {
        std::vector<int> keys;
        int result;
    } cases[] = {
        {{DK_TAB, DK_ENTER}, 1},
        {{DK_RIGHT, DK_ENTER}, 1},
        {{DK_TAB, DK_TAB, DK_ENTER}, 0},
        {{DK_LEFT, DK_ENTER}, 1},
        {{DK_BACKTAB, DK_BACKTAB, DK_ENTER}, 0},
        {{DK_ESCAPE}, -1},
        {{DK_DOWN, DK_HANGUP}, -1},
    };
    for (const Case& c : cases)
    {
        Entries e(2);
        g_nFires = 0;
        e.item(0).fire = Leave;
        CListControl menu(CItemList::kMenu, e.items.data(), 2);
        int result = 99;
        bool done = false;
        for (int key : c.keys)
            done = menu.HandleKey(key, &result);
        EXPECT_TRUE(done);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(g_nFires, c.result == 0 ? 1 : 0);
    }
}

TEST(ListControl, ButtonWithAFireCallbackRunsIt)
{
    Entries e(1);
    e.items[1].fire = Redraw;
    g_nFires = 0;
    CListControl menu(CItemList::kMenu, e.items.data(), 1);
    int result = 99;
    menu.HandleKey(DK_TAB, &result);
    EXPECT_FALSE(menu.HandleKey(DK_ENTER, &result));
    EXPECT_EQ(g_nFires, 1);
    e.items[1].fire = Leave;
    EXPECT_TRUE(menu.HandleKey(DK_ENTER, &result));
    EXPECT_EQ(result, 1);
}

TEST(ListControl, ButtonsWithoutLabelsReadOkAndCancel)
{
    Entries e(1, nullptr, nullptr);
    CListControl menu(CItemList::kMenu, e.items.data(), 1);
    EXPECT_STREQ(menu.GetButtons().GetLabel(0), "OK");
    EXPECT_STREQ(menu.GetButtons().GetLabel(1), "Cancel");
}

TEST(ListControl, SpaceTogglesListsAndEnterAnswers)
{
    Entries e(3);
    CListControl check(CItemList::kCheck, e.items.data(), 3);
    int result = 99;
    EXPECT_FALSE(check.HandleKey(' ', &result));
    check.HandleKey(DK_DOWN, &result);
    check.HandleKey(DK_DOWN, &result);
    check.HandleKey(' ', &result);
    EXPECT_TRUE(check.HandleKey(DK_ENTER, &result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(e.item(0).on, 1);
    EXPECT_EQ(e.item(1).on, 0);
    EXPECT_EQ(e.item(2).on, 1);
}

TEST(ListControl, EnterOnAnUnmarkedRadioListTakesTheHighlightedItem)
{
    Entries e(3);
    for (int i = 0; i < 3; i++)
    {
        e.item(i).checked = CheckSpending;
        e.item(i).fire = Spend;
    }
    g_nSpending = 0;
    CListControl radio(CItemList::kRadio, e.items.data(), 3);
    int result = 99;
    radio.HandleKey(DK_DOWN, &result);
    EXPECT_TRUE(radio.HandleKey(DK_ENTER, &result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_nSpending, 2);

    // An earlier choice made with space stands.
    g_nSpending = 0;
    CListControl again(CItemList::kRadio, e.items.data(), 3);
    again.HandleKey(' ', &result);
    again.HandleKey(DK_DOWN, &result);
    again.HandleKey(DK_DOWN, &result);
    EXPECT_TRUE(again.HandleKey(DK_ENTER, &result));
    EXPECT_EQ(g_nSpending, 1);

    // Cancel leaves the choice unmade.
    g_nSpending = 0;
    CListControl cancelled(CItemList::kRadio, e.items.data(), 3);
    cancelled.HandleKey(DK_TAB, &result);
    EXPECT_TRUE(cancelled.HandleKey(DK_ENTER, &result));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(g_nSpending, 0);
}
