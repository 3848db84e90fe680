#include "CButtonBar.h"

#include <cstring>

namespace
{
const int kGap = 2;
const int kBrackets = 2;
} // namespace

CButtonBar::CButtonBar(const char* first, const char* second) : m_pLabels{first ? first : "OK", second}
{
}

void CButtonBar::SetFocus(int i)
{
    if (i >= 0 && i < GetCount())
        m_nFocus = i;
}

void CButtonBar::Step(int step)
{
    int n = GetCount();
    m_nFocus = ((m_nFocus + step) % n + n) % n;
}

int CButtonBar::GetWidth() const
{
    return GetOffset(GetCount() - 1) + static_cast<int>(strlen(m_pLabels[GetCount() - 1])) + kBrackets;
}

int CButtonBar::GetOffset(int i) const
{
    return i == 0 ? 0 : static_cast<int>(strlen(m_pLabels[0])) + kBrackets + kGap;
}
