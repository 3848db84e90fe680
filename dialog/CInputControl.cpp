#include "CInputControl.h"

#include "DialogKeys.h"

#include <cstring>

CInputControl::CInputControl(char* result, int size)
    : m_pResult(size > 0 ? result : nullptr), m_Edit(size), m_Buttons("OK", "Cancel")
{
    // The preset may fill the buffer without its terminator; read no
    // further than the bound.
    if (m_pResult)
        m_Edit.Set(m_pResult, size);
}

void CInputControl::MoveFocus(int step)
{
    // The focus goes round field, OK, Cancel.
    int at = m_bInField ? 0 : m_Buttons.GetFocus() + 1;
    at = ((at + step) % 3 + 3) % 3;
    m_bInField = at == 0;
    if (!m_bInField)
        m_Buttons.SetFocus(at - 1);
}

bool CInputControl::Answer(int answer, int* result)
{
    *result = answer;
    if (answer == 0 && m_pResult)
        memcpy(m_pResult, m_Edit.GetText(), m_Edit.GetLength() + 1);
    return true;
}

bool CInputControl::HandleKey(int key, int* result)
{
    switch (key)
    {
    case DK_TAB:
        MoveFocus(1);
        return false;
    case DK_BACKTAB:
        MoveFocus(-1);
        return false;
    case DK_ENTER:
        return Answer(m_bInField ? 0 : m_Buttons.GetFocus(), result);
    case DK_ESCAPE:
    case DK_HANGUP:
        return Answer(-1, result);
    default:
        break;
    }
    if (!m_bInField && (key == DK_LEFT || key == DK_RIGHT))
    {
        m_Buttons.Step(key == DK_LEFT ? -1 : 1);
        return false;
    }
    if (!m_bInField && IsPrintableKey(key))
        m_bInField = true;
    if (m_bInField)
        m_Edit.HandleKey(key);
    return false;
}
