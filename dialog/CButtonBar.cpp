#include "CButtonBar.h"

#include "DialogKeys.h"

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

bool CButtonBar::MoveByKey(int key)
{
    switch (key)
    {
    case DK_TAB:
    case DK_RIGHT:
        Step(1);
        return true;
    case DK_BACKTAB:
    case DK_LEFT:
        Step(-1);
        return true;
    default:
        return false;
    }
}

int CButtonBar::GetWidth() const
{
    return GetOffset(GetCount() - 1) + static_cast<int>(strlen(m_pLabels[GetCount() - 1])) + kBrackets;
}

int CButtonBar::GetOffset(int i) const
{
    return i == 0 ? 0 : static_cast<int>(strlen(m_pLabels[0])) + kBrackets + kGap;
}
