#include "CListControl.h"

#include "DialogKeys.h"

namespace
{
bool Leaves(int code)
{
    return (code & DITEM_LEAVE_MENU) == DITEM_LEAVE_MENU;
}
} // namespace

CListControl::CListControl(CItemList::Kind kind, dialogMenuItem* entries, int count)
    : m_pEntries(entries), m_List(kind, entries ? entries + 2 : nullptr, count),
      m_Buttons(entries ? entries[0].prompt : nullptr, entries && entries[1].prompt ? entries[1].prompt : "Cancel")
{
}

bool CListControl::HandleKey(int key, int* result)
{
    if (m_Buttons.MoveByKey(key))
        return false;
    switch (key)
    {
    case DK_UP:
        m_List.Move(-1);
        return false;
    case DK_DOWN:
        m_List.Move(1);
        return false;
    case DK_PAGEUP:
        m_List.PageUp();
        return false;
    case DK_PAGEDOWN:
        m_List.PageDown();
        return false;
    case DK_HOME:
        m_List.Home();
        return false;
    case DK_END:
        m_List.End();
        return false;
    case DK_ENTER:
        return Press(result);
    case DK_ESCAPE:
    case DK_HANGUP:
        *result = -1;
        return true;
    case ' ':
        if (m_List.GetKind() != CItemList::kMenu)
        {
            m_List.Toggle();
            return false;
        }
        return Press(result);
    default:
        if (IsPrintableKey(key))
            m_List.JumpTo(static_cast<char>(key));
        return false;
    }
}

bool CListControl::Press(int* result)
{
    int focus = m_Buttons.GetFocus();
    dialogMenuItem* button = m_pEntries ? &m_pEntries[focus] : nullptr;
    if (button && button->fire)
    {
        int code = button->fire(button);
        *result = focus;
        return Leaves(code);
    }
    if (focus == 0)
        return PressOk(result);
    *result = 1;
    return true;
}

bool CListControl::PressOk(int* result)
{
    *result = 0;
    if (m_List.GetKind() == CItemList::kMenu)
        return Leaves(m_List.Choose());
    // Enter on a radio list where nothing is marked yet takes the
    // highlighted item, as a person pressing Enter on it means.
    if (m_List.GetKind() == CItemList::kRadio && !m_List.AnyMarked())
        m_List.Toggle();
    return true;
}
