#pragma once

#include "CDialog.h"
#include "CInputControl.h"

// An input box: a prompt, a one-line field and OK and Cancel.
class CInputDialog : public CDialog
{
public:
    CInputDialog(const char* title, const char* prompt, int height, int width, char* result, int size);

protected:
    void Draw() override;
    bool HandleKey(int key, int* result) override;

private:
    CInputControl m_Control;
    int m_nWantHeight;
    int m_nWantWidth;
};
