#include "CAnswerControl.h"

#include "DialogKeys.h"

#include <cctype>

bool CAnswerControl::HandleKey(int key, int* result)
{
    if (m_Buttons.MoveByKey(key))
        return false;
    bool question = m_Buttons.GetCount() == 2;
    switch (key)
    {
    case DK_ENTER:
    case ' ':
        *result = m_Buttons.GetFocus();
        return true;
    case DK_ESCAPE:
    case DK_HANGUP:
        *result = question ? -1 : 0;
        return true;
    default:
        break;
    }
    // A question also takes the first letter of either answer.
    for (int i = 0; question && i < 2 && IsPrintableKey(key); i++)
        if (tolower(key) == tolower(static_cast<unsigned char>(m_Buttons.GetLabel(i)[0])))
        {
            *result = i;
            return true;
        }
    return false;
}
