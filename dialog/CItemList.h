#pragma once

#include "dialog.h"

// The items of a menu, radio list or check list and the highlighted one,
// with the window of rows that is on screen.  No drawing happens here.
class CItemList
{
public:
    enum Kind
    {
        kMenu,
        kRadio,
        kCheck
    };

    CItemList(Kind kind, dialogMenuItem* items, int count);

    Kind GetKind() const { return m_nKind; }
    int GetCount() const { return m_nCount; }
    int GetCurrent() const { return m_nCurrent; }
    int GetTop() const { return m_nTop; }
    int GetRows() const { return m_nRows; }
    dialogMenuItem* GetItem(int i) const { return &m_pItems[i]; }

    // How many rows are on screen; the highlighted item stays among them.
    void SetRows(int rows);
    void Move(int delta);
    void Home() { Move(-m_nCount); }
    void End() { Move(m_nCount); }
    void PageUp() { Move(-m_nRows); }
    void PageDown() { Move(m_nRows); }
    // Moves to the next item whose prompt begins with c (either case).
    bool JumpTo(char c);

    bool IsMarked(int i) const;
    bool AnyMarked() const;
    // The three characters drawn before the prompt in lists.
    void MarkText(int i, char text[4]) const;

    // Toggles the highlighted item of a list: a radio list keeps one mark,
    // a check list flips it.  Returns the fire callback's code.
    int Toggle();
    // Chooses the highlighted menu item: its fire callback's code, or
    // DITEM_LEAVE_MENU when it has none.
    int Choose();

private:
    void KeepVisible();

    Kind m_nKind;
    dialogMenuItem* m_pItems;
    int m_nCount;
    int m_nCurrent = 0;
    int m_nTop = 0;
    int m_nRows;
};
