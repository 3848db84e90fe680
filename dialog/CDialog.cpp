#include "CDialog.h"

#include "CButtonBar.h"
#include "CHelpViewer.h"
#include "CScreen.h"
#include "CTextWrap.h"
#include "DialogKeys.h"

#include <cstring>

namespace
{
// Border and one column of margin on each side.
const int kFrame = 4;

int Larger(int a, int b)
{
    return a > b ? a : b;
}

int Smaller(int a, int b)
{
    return a < b ? a : b;
}
} // namespace

CDialog::CDialog(const char* title, const char* prompt) : m_pTitle(title ? title : ""), m_pPrompt(prompt ? prompt : "")
{
}

int CDialog::Run()
{
    if (!CScreen::IsStarted())
        return -1;
    for (;;)
    {
        m_Help.Restore();
        CScreen::HideCursor();
        CScreen::Backdrop(m_Help.GetLine());
        Draw();
        CScreen::Update();
        int key = CScreen::ReadKey();
        if (key == DK_HELP)
            ShowHelp();
        int result = 0;
        if (key != DK_HELP && key != DK_RESIZE && HandleKey(key, &result))
        {
            CScreen::HideCursor();
            return result;
        }
    }
}

void CDialog::ShowHelp()
{
    if (!m_Help.GetFile())
        return;
    CHelpViewer viewer(m_Help.GetFile(), m_pPrompt);
    viewer.Run();
}

void CDialog::PlaceWidth(int needWidth, int least, int wantWidth)
{
    int title = static_cast<int>(strlen(m_pTitle)) + kFrame + 2;
    least = Larger(least, title);
    int w = wantWidth > 0 ? Larger(wantWidth, least) : Larger(needWidth, least);
    m_nWidth = Larger(Smaller(w, CScreen::GetColumns()), Smaller(kFrame + 1, CScreen::GetColumns()));
}

void CDialog::PlaceHeight(int needHeight, int wantHeight)
{
    bool helpLine = m_Help.GetLine() && *m_Help.GetLine();
    int lines = CScreen::GetLines() - (helpLine ? 1 : 0);
    m_nHeight = Smaller(Larger(needHeight, wantHeight), lines);
    m_nY = Larger((lines - m_nHeight) / 2, 0);
    m_nX = Larger((CScreen::GetColumns() - m_nWidth) / 2, 0);
}

int CDialog::GetPromptWidth() const
{
    int widest = 0;
    CTextWrap::CountLines(m_pPrompt, CScreen::GetColumns() - kFrame - 2, &widest);
    return widest + kFrame;
}

int CDialog::GetPromptLines() const
{
    return CTextWrap::CountLines(m_pPrompt, m_nWidth - kFrame);
}

void CDialog::DrawFrame()
{
    CScreen::Box(m_nY, m_nX, m_nHeight, m_nWidth, m_pTitle);
    CTextWrap wrap(m_pPrompt, static_cast<int>(strlen(m_pPrompt)), m_nWidth - kFrame);
    const char* start;
    int length;
    for (int row = 1; row < m_nHeight - 1 && wrap.Next(&start, &length); row++)
        CScreen::Text(m_nY + row, m_nX + 2, start, length, m_nWidth - kFrame, CScreen::kDialog);
}

void CDialog::DrawButtons(int y, const CButtonBar& bar, bool focused)
{
    int left = m_nX + Larger((m_nWidth - bar.GetWidth()) / 2, 1);
    for (int i = 0; i < bar.GetCount(); i++)
    {
        const char* label = bar.GetLabel(i);
        int n = static_cast<int>(strlen(label));
        CScreen::Style style = focused && bar.GetFocus() == i ? CScreen::kButtonFocus : CScreen::kButton;
        int x = left + bar.GetOffset(i);
        CScreen::Text(y, x, "<", 1, 1, style);
        CScreen::Text(y, x + 1, label, n, n, style);
        CScreen::Text(y, x + n + 1, ">", 1, 1, style);
    }
}
