#pragma once

// One or two buttons with the focus on one of them.
class CButtonBar
{
public:
    CButtonBar(const char* first, const char* second);

    int GetCount() const { return m_pLabels[1] ? 2 : 1; }
    const char* GetLabel(int i) const { return m_pLabels[i]; }
    int GetFocus() const { return m_nFocus; }
    void SetFocus(int i);
    // Moves the focus on, wrapping round; a negative step goes back.
    void Step(int step);
    // The keys that move between the buttons: Tab and Right move on,
    // Shift-Tab and Left go back. True when key was one of them.
    bool MoveByKey(int key);
    // Columns the row of buttons takes: "<label>" each, two apart.
    int GetWidth() const;
    // Column of button i within that row.
    int GetOffset(int i) const;

private:
    const char* m_pLabels[2];
    int m_nFocus = 0;
};
