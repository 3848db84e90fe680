#include "Screens.h"

#include "Velcon.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CScreenRows::CScreenRows(const char* ok, const char* cancel)
{
    memset(m_items, 0, sizeof(m_items));
    m_items[0].prompt = ok;
    m_items[1].prompt = cancel;
}

dialogMenuItem* CScreenRows::Add(const char* left, int (*fire)(dialogMenuItem*), long data, const char* format, ...)
{
    char right[kTextSize];
    va_list args;
    va_start(args, format);
    vsnprintf(right, sizeof(right), format, args);
    va_end(args);
    return AddNamed(fire, data, left, right);
}

dialogMenuItem* CScreenRows::AddNamed(int (*fire)(dialogMenuItem*), long data, const char* left, const char* right)
{
    if (m_nRows >= kMaxRows)
        return nullptr;
    snprintf(m_szLeft[m_nRows], kTextSize, "%s", left);
    snprintf(m_szRight[m_nRows], kTextSize, "%s", right);
    dialogMenuItem* item = &m_items[2 + m_nRows];
    item->prompt = m_szLeft[m_nRows];
    item->title = m_szRight[m_nRows];
    item->fire = fire;
    item->data = data;
    m_nRows++;
    return item;
}

int CScreenRows::Show(const char* prompt, const char* line)
{
    UseScreenHelp();
    if (line)
        use_helpline(line);
    return dialog_menu(szTitle, prompt, -1, -1, -1, m_nRows, m_items);
}

int CScreenRows::ShowAdapterScreen(const char* rest, const char* line)
{
    char prompt[64];
    AdapterPrompt(prompt, sizeof(prompt), rest);
    Show(prompt, line);
    return DITEM_REDRAW;
}

void AdapterPrompt(char* text, size_t size, const char* rest)
{
    snprintf(text, size, "/adapter%d%s", cardnum + 1, rest);
}

void UseScreenHelp()
{
    use_helpfile(szHelpFile);
    use_helpline(helpline);
}

int Message(const char* title, const char* text)
{
    use_helpfile(nullptr);
    use_helpline(nullptr);
    return dialog_msgbox(title, text, -1, -1, 1);
}

int Ask(const char* title, const char* text, int height)
{
    use_helpfile(nullptr);
    use_helpline(nullptr);
    return dialog_yesno(title, text, height, -1);
}
