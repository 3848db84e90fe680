#include "CHelpViewer.h"

#include "CScreen.h"
#include "CTextWrap.h"
#include "DialogKeys.h"

namespace
{
const char kMissing[] = "No help is available: the help file cannot be read.";
const char kEmpty[] = "No help is available for this screen.";
} // namespace

CHelpViewer::CHelpViewer(const char* path, const char* prompt) : CDialog("Help", ""), m_Close("Close", nullptr)
{
    if (m_File.Load(path))
        m_File.Find(prompt, &m_pText, &m_nLength);
    else
    {
        m_pText = kMissing;
        m_nLength = sizeof(kMissing) - 1;
    }
    if (m_nLength == 0)
    {
        m_pText = kEmpty;
        m_nLength = sizeof(kEmpty) - 1;
    }
}

void CHelpViewer::Draw()
{
    PlaceWidth(CScreen::GetColumns() - 4, 0, 0);
    PlaceHeight(CScreen::GetLines() - 2, 0);
    DrawFrame();
    int width = m_nWidth - 4;
    m_nRows = m_nHeight - 4 > 1 ? m_nHeight - 4 : 1;
    CTextWrap wrap(m_pText, m_nLength, width);
    const char* start;
    int length;
    m_nLines = 0;
    for (; wrap.Next(&start, &length); m_nLines++)
        if (m_nLines >= m_nTop && m_nLines < m_nTop + m_nRows)
            CScreen::Text(m_nY + 1 + m_nLines - m_nTop, m_nX + 2, start, length, width, CScreen::kDialog);
    if (m_nTop > 0)
        CScreen::Text(m_nY + 1, m_nX + m_nWidth - 2, "^", 1, 1, CScreen::kTitle);
    if (m_nTop + m_nRows < m_nLines)
        CScreen::Text(m_nY + m_nRows, m_nX + m_nWidth - 2, "v", 1, 1, CScreen::kTitle);
    DrawButtons(m_nY + m_nHeight - 2, m_Close, true);
}

bool CHelpViewer::HandleKey(int key, int* result)
{
    int last = m_nLines - m_nRows > 0 ? m_nLines - m_nRows : 0;
    switch (key)
    {
    case DK_UP:
        m_nTop--;
        break;
    case DK_DOWN:
        m_nTop++;
        break;
    case DK_PAGEUP:
        m_nTop -= m_nRows;
        break;
    case DK_PAGEDOWN:
    case ' ':
        m_nTop += m_nRows;
        break;
    case DK_HOME:
        m_nTop = 0;
        break;
    case DK_END:
        m_nTop = last;
        break;
    case DK_ENTER:
    case DK_ESCAPE:
    case DK_HANGUP:
    case 'q':
        *result = 0;
        return true;
    default:
        break;
    }
    m_nTop = m_nTop < 0 ? 0 : (m_nTop > last ? last : m_nTop);
    return false;
}
