#pragma once

#include "CButtonBar.h"
#include "CLineEdit.h"

// The keys of an input box: typing edits the field, Tab moves between the
// field and the OK and Cancel buttons, Enter answers with the button in
// focus (OK while in the field), Esc cancels.
class CInputControl
{
public:
    // The answer goes to `result`, which has room for `size` bytes.
    CInputControl(char* result, int size);

    CLineEdit& GetEdit() { return m_Edit; }
    CButtonBar& GetButtons() { return m_Buttons; }
    bool InField() const { return m_bInField; }

    // True when answered: 0 for OK (the text is copied to the result),
    // 1 for Cancel, -1 for Esc; the result is untouched unless OK.
    bool HandleKey(int key, int* result);

private:
    void MoveFocus(int step);
    bool Answer(int answer, int* result);

    char* m_pResult;
    CLineEdit m_Edit;
    CButtonBar m_Buttons;
    bool m_bInField = true;
};
