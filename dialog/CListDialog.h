#pragma once

#include "CDialog.h"
#include "CListControl.h"

// A menu, radio list or check list on screen.
class CListDialog : public CDialog
{
public:
    CListDialog(CItemList::Kind kind, const char* title, const char* prompt, int height, int width,
                int listHeight, int count, dialogMenuItem* entries);

protected:
    void Draw() override;
    bool HandleKey(int key, int* result) override;

private:
    void Measure();
    void DrawItem(int i, int y);

    CListControl m_Control;
    int m_nWantHeight;
    int m_nWantWidth;
    int m_nListHeight;
    int m_nPromptWidth = 0;
    int m_nTitleWidth = 0;
    int m_nMarkWidth;
};
