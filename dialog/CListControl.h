#pragma once

#include "CButtonBar.h"
#include "CItemList.h"

// What the keys do in a menu, radio list or check list: the arrows move
// the highlight, Tab and Left/Right move between the buttons, space
// toggles a list item, Enter presses the button in focus, Esc cancels.
class CListControl
{
public:
    // `entries` holds the OK and Cancel entries followed by `count` items.
    CListControl(CItemList::Kind kind, dialogMenuItem* entries, int count);

    CItemList& GetList() { return m_List; }
    CButtonBar& GetButtons() { return m_Buttons; }

    // True when the dialog is over, with its answer in *result: 0 for OK
    // (or an item that left the menu), 1 for Cancel, -1 for Esc.
    bool HandleKey(int key, int* result);

private:
    bool Press(int* result);
    bool PressOk(int* result);

    dialogMenuItem* m_pEntries;
    CItemList m_List;
    CButtonBar m_Buttons;
};
