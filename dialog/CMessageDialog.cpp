#include "CMessageDialog.h"

CMessageDialog::CMessageDialog(const char* title, const char* prompt, int height, int width, bool question)
    : CDialog(title, prompt), m_Control(question ? "Yes" : "OK", question ? "No" : nullptr), m_nWantHeight(height),
      m_nWantWidth(width)
{
}

void CMessageDialog::Draw()
{
    PlaceWidth(GetPromptWidth(), m_Control.GetButtons().GetWidth() + 4, m_nWantWidth);
    // Border, prompt, a blank line, buttons.
    PlaceHeight(GetPromptLines() + 4, m_nWantHeight);
    DrawFrame();
    DrawButtons(m_nY + m_nHeight - 2, m_Control.GetButtons(), true);
}

bool CMessageDialog::HandleKey(int key, int* result)
{
    return m_Control.HandleKey(key, result);
}
