#include "CTextWrap.h"

#include <cstring>

CTextWrap::CTextWrap(const char* text, int length, int width)
    : m_pNext(text ? text : ""), m_pEnd(m_pNext + (text ? length : 0)), m_nWidth(width < 1 ? 1 : width)
{
}

bool CTextWrap::Next(const char** start, int* length)
{
    if (m_pNext >= m_pEnd)
        return false;
    const char* p = m_pNext;
    const char* newline = static_cast<const char*>(memchr(p, '\n', m_pEnd - p));
    const char* lineEnd = newline ? newline : m_pEnd;
    *start = p;
    if (lineEnd - p <= m_nWidth)
    {
        *length = static_cast<int>(lineEnd - p);
        m_pNext = lineEnd + 1;
        return true;
    }
    const char* cut = p + m_nWidth;
    const char* space = cut;
    while (space > p && *space != ' ')
        space--;
    if (space > p)
        cut = space;
    *length = static_cast<int>(cut - p);
    m_pNext = *cut == ' ' ? cut + 1 : cut;
    return true;
}

int CTextWrap::CountLines(const char* text, int width, int* widest)
{
    CTextWrap wrap(text, text ? static_cast<int>(strlen(text)) : 0, width);
    const char* start;
    int length;
    int lines = 0;
    int most = 0;
    while (wrap.Next(&start, &length))
    {
        lines++;
        most = length > most ? length : most;
    }
    if (widest)
        *widest = most;
    return lines;
}
