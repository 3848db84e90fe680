#include "CInputDialog.h"

#include "CScreen.h"

namespace
{
// The field is kept narrow enough to sit in the box with some margin.
const int kLeastField = 10;
} // namespace

CInputDialog::CInputDialog(const char* title, const char* prompt, int height, int width, char* result, int size)
    : CDialog(title, prompt), m_Control(result, size), m_nWantHeight(height), m_nWantWidth(width)
{
}

void CInputDialog::Draw()
{
    CLineEdit& edit = m_Control.GetEdit();
    int field = edit.GetMaxLength() + 1;
    int least = field < kLeastField ? kLeastField : field;
    int buttons = m_Control.GetButtons().GetWidth();
    PlaceWidth(GetPromptWidth() > least + 6 ? GetPromptWidth() : least + 6, buttons + 4, m_nWantWidth);
    int promptLines = GetPromptLines();
    // Border, prompt, blank, field, blank, buttons.
    PlaceHeight(promptLines + 6, m_nWantHeight);
    DrawFrame();
    int width = m_nWidth - 6 < field ? m_nWidth - 6 : field;
    int y = m_nY + m_nHeight - 4;
    int x = m_nX + 3;
    int scroll = edit.GetScroll(width);
    CScreen::Fill(y, x, width, ' ', CScreen::kField);
    CScreen::Text(y, x, edit.GetText() + scroll, edit.GetLength() - scroll, width, CScreen::kField);
    DrawButtons(m_nY + m_nHeight - 2, m_Control.GetButtons(), !m_Control.InField());
    if (m_Control.InField())
        CScreen::ShowCursor(y, x + edit.GetCursor() - scroll);
}

bool CInputDialog::HandleKey(int key, int* result)
{
    return m_Control.HandleKey(key, result);
}
