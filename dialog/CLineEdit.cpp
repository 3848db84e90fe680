#include "CLineEdit.h"

#include "DialogKeys.h"

#include <cstring>

CLineEdit::CLineEdit(int size) : m_nMax(size > 1 ? size - 1 : 0)
{
    m_pText = new char[m_nMax + 1];
    m_pText[0] = '\0';
}

CLineEdit::~CLineEdit()
{
    delete[] m_pText;
}

void CLineEdit::Set(const char* text, int available)
{
    m_nLength = 0;
    int limit = available < m_nMax ? available : m_nMax;
    while (text && m_nLength < limit && IsPrintableKey(static_cast<unsigned char>(text[m_nLength])))
    {
        m_pText[m_nLength] = text[m_nLength];
        m_nLength++;
    }
    m_pText[m_nLength] = '\0';
    m_nCursor = m_nLength;
}

bool CLineEdit::Insert(char c)
{
    if (m_nLength >= m_nMax)
        return false;
    memmove(m_pText + m_nCursor + 1, m_pText + m_nCursor, m_nLength - m_nCursor + 1);
    m_pText[m_nCursor++] = c;
    m_nLength++;
    return true;
}

void CLineEdit::Erase(int at)
{
    if (at < 0 || at >= m_nLength)
        return;
    memmove(m_pText + at, m_pText + at + 1, m_nLength - at);
    m_nLength--;
    if (m_nCursor > at)
        m_nCursor--;
}

bool CLineEdit::HandleKey(int key)
{
    if (IsPrintableKey(key))
    {
        Insert(static_cast<char>(key));
        return true;
    }
    switch (key)
    {
    case DK_BACKSPACE:
        Erase(m_nCursor - 1);
        return true;
    case DK_DELETE:
        Erase(m_nCursor);
        return true;
    case DK_LEFT:
        m_nCursor -= m_nCursor > 0;
        return true;
    case DK_RIGHT:
        m_nCursor += m_nCursor < m_nLength;
        return true;
    case DK_HOME:
        m_nCursor = 0;
        return true;
    case DK_END:
        m_nCursor = m_nLength;
        return true;
    default:
        return false;
    }
}

int CLineEdit::GetScroll(int width)
{
    // The cursor may sit just after the last character, so it needs one
    // column of its own.
    if (width < 1)
        width = 1;
    if (m_nCursor < m_nScroll)
        m_nScroll = m_nCursor;
    if (m_nCursor >= m_nScroll + width)
        m_nScroll = m_nCursor - width + 1;
    return m_nScroll;
}
