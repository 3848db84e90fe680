#include "CItemList.h"

#include <cctype>

CItemList::CItemList(Kind kind, dialogMenuItem* items, int count)
    : m_nKind(kind), m_pItems(items), m_nCount(count > 0 && items ? count : 0), m_nRows(m_nCount)
{
}

void CItemList::SetRows(int rows)
{
    m_nRows = rows < 1 ? 1 : rows;
    KeepVisible();
}

void CItemList::Move(int delta)
{
    if (m_nCount == 0)
        return;
    m_nCurrent += delta;
    if (m_nCurrent < 0)
        m_nCurrent = 0;
    if (m_nCurrent >= m_nCount)
        m_nCurrent = m_nCount - 1;
    KeepVisible();
}

void CItemList::KeepVisible()
{
    if (m_nCurrent < m_nTop)
        m_nTop = m_nCurrent;
    if (m_nCurrent >= m_nTop + m_nRows)
        m_nTop = m_nCurrent - m_nRows + 1;
    int lastTop = m_nCount - m_nRows;
    if (m_nTop > lastTop)
        m_nTop = lastTop < 0 ? 0 : lastTop;
}

bool CItemList::JumpTo(char c)
{
    int want = tolower(static_cast<unsigned char>(c));
    for (int step = 1; step <= m_nCount; step++)
    {
        int i = (m_nCurrent + step) % m_nCount;
        const char* p = m_pItems[i].prompt;
        while (p && *p == ' ')
            p++;
        if (p && tolower(static_cast<unsigned char>(*p)) == want)
        {
            m_nCurrent = i;
            KeepVisible();
            return true;
        }
    }
    return false;
}

bool CItemList::IsMarked(int i) const
{
    dialogMenuItem* item = &m_pItems[i];
    return item->checked ? item->checked(item) != 0 : item->on != 0;
}

bool CItemList::AnyMarked() const
{
    for (int i = 0; i < m_nCount; i++)
        if (IsMarked(i))
            return true;
    return false;
}

void CItemList::MarkText(int i, char text[4]) const
{
    // The check callback may set the mark character, so ask it first.
    bool marked = IsMarked(i);
    const dialogMenuItem& item = m_pItems[i];
    bool radio = m_nKind == kRadio;
    text[0] = item.lbra ? item.lbra : (radio ? '(' : '[');
    text[1] = marked ? (item.mark ? item.mark : (radio ? '*' : 'X')) : ' ';
    text[2] = item.rbra ? item.rbra : (radio ? ')' : ']');
    text[3] = '\0';
}

int CItemList::Toggle()
{
    if (m_nCount == 0)
        return DITEM_SUCCESS;
    dialogMenuItem* item = &m_pItems[m_nCurrent];
    if (m_nKind == kRadio)
    {
        for (int i = 0; i < m_nCount; i++)
            m_pItems[i].on = i == m_nCurrent;
    }
    else
        item->on = !item->on;
    return item->fire ? item->fire(item) : DITEM_SUCCESS;
}

int CItemList::Choose()
{
    if (m_nCount == 0)
        return DITEM_LEAVE_MENU;
    dialogMenuItem* item = &m_pItems[m_nCurrent];
    return item->fire ? item->fire(item) : DITEM_LEAVE_MENU;
}
