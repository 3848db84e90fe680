#pragma once

#include "CAnswerControl.h"
#include "CDialog.h"

// A message box (one button) or a yes/no question.
class CMessageDialog : public CDialog
{
public:
    CMessageDialog(const char* title, const char* prompt, int height, int width, bool question);

    void Draw() override;

protected:
    bool HandleKey(int key, int* result) override;

private:
    CAnswerControl m_Control;
    int m_nWantHeight;
    int m_nWantWidth;
};
