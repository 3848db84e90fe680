#pragma once

#include "CButtonBar.h"

// The keys of a message box (one button) or a yes/no question (two).
class CAnswerControl
{
public:
    CAnswerControl(const char* first, const char* second) : m_Buttons(first, second) {}

    CButtonBar& GetButtons() { return m_Buttons; }

    // True when answered, with the button's index in *result, or -1 for
    // Esc on a question (a message box takes Esc as its one answer).
    bool HandleKey(int key, int* result);

private:
    CButtonBar m_Buttons;
};
