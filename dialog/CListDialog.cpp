#include "CListDialog.h"

#include "CScreen.h"

#include <cstring>

namespace
{
int Length(const char* text)
{
    return text ? static_cast<int>(strlen(text)) : 0;
}
} // namespace

CListDialog::CListDialog(CItemList::Kind kind, const char* title, const char* prompt, int height, int width,
                         int listHeight, int count, dialogMenuItem* entries)
    : CDialog(title, prompt), m_Control(kind, entries, count), m_nWantHeight(height), m_nWantWidth(width),
      m_nListHeight(listHeight), m_nMarkWidth(kind == CItemList::kMenu ? 0 : 4)
{
}

void CListDialog::Measure()
{
    // Callbacks may have changed the texts since the last drawing.
    CItemList& list = m_Control.GetList();
    m_nPromptWidth = 0;
    m_nTitleWidth = 0;
    for (int i = 0; i < list.GetCount(); i++)
    {
        int p = Length(list.GetItem(i)->prompt);
        int t = Length(list.GetItem(i)->title);
        m_nPromptWidth = p > m_nPromptWidth ? p : m_nPromptWidth;
        m_nTitleWidth = t > m_nTitleWidth ? t : m_nTitleWidth;
    }
}

void CListDialog::Draw()
{
    Measure();
    CItemList& list = m_Control.GetList();
    int rowWidth = 2 + m_nMarkWidth + m_nPromptWidth + (m_nTitleWidth ? 2 + m_nTitleWidth : 0);
    int least = rowWidth > m_Control.GetButtons().GetWidth() ? rowWidth : m_Control.GetButtons().GetWidth();
    PlaceWidth(GetPromptWidth(), least + 4, m_nWantWidth);
    int promptLines = GetPromptLines();
    // Border, prompt and a blank line, the list, a blank line, buttons.
    int fixed = promptLines + (promptLines ? 1 : 0) + 4;
    int rows = m_nListHeight > 0 ? m_nListHeight : list.GetCount();
    rows = rows < list.GetCount() ? rows : list.GetCount();
    PlaceHeight(fixed + (rows > 0 ? rows : 1), m_nWantHeight);
    list.SetRows(m_nHeight - fixed);
    DrawFrame();
    int top = m_nY + 1 + promptLines + (promptLines ? 1 : 0);
    for (int r = 0; r < list.GetRows() && list.GetTop() + r < list.GetCount(); r++)
        DrawItem(list.GetTop() + r, top + r);
    int edge = m_nX + m_nWidth - 2;
    if (list.GetTop() > 0)
        CScreen::Text(top, edge, "^", 1, 1, CScreen::kTitle);
    if (list.GetTop() + list.GetRows() < list.GetCount())
        CScreen::Text(top + list.GetRows() - 1, edge, "v", 1, 1, CScreen::kTitle);
    DrawButtons(m_nY + m_nHeight - 2, m_Control.GetButtons(), true);
}

void CListDialog::DrawItem(int i, int y)
{
    CItemList& list = m_Control.GetList();
    const dialogMenuItem* item = list.GetItem(i);
    CScreen::Style style = i == list.GetCurrent() ? CScreen::kItemCurrent : CScreen::kItem;
    int room = m_nWidth - 5;
    int x = m_nX + 2;
    CScreen::Fill(y, x, room, ' ', style);
    if (m_nMarkWidth)
    {
        char mark[4];
        list.MarkText(i, mark);
        CScreen::Text(y, x + 1, mark, 3, room - 1, style);
    }
    int at = 1 + m_nMarkWidth;
    CScreen::Text(y, x + at, item->prompt, Length(item->prompt), room - at, style);
    at += m_nPromptWidth + 2;
    if (at < room)
        CScreen::Text(y, x + at, item->title, Length(item->title), room - at, style);
}

bool CListDialog::HandleKey(int key, int* result)
{
    return m_Control.HandleKey(key, result);
}
