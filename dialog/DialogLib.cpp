// The library's entry points.

#include "CHelpState.h"
#include "CInputDialog.h"
#include "CListDialog.h"
#include "CMessageDialog.h"
#include "CScreen.h"
#include "CTextWrap.h"
#include "dialog.h"

#include <cstdio>
#include <cstring>

namespace
{
int RunList(CItemList::Kind kind, const char* title, const char* prompt, int height, int width, int listHeight,
            int count, dialogMenuItem* items)
{
    CListDialog dialog(kind, title, prompt, height, width, listHeight, count, items);
    return dialog.Run();
}

int Clamp(int v, int low, int high)
{
    return v < low ? low : (v > high ? high : v);
}
} // namespace

int init_dialog(void)
{
    return CScreen::Start() ? 0 : -1;
}

void end_dialog(void)
{
    CScreen::End();
}

void dialog_clear(void)
{
    if (!CScreen::IsStarted())
        return;
    CScreen::HideCursor();
    CScreen::Backdrop(nullptr);
    CScreen::Update();
}

void use_helpfile(const char* path)
{
    CHelpState::SetFile(path);
}

void use_helpline(const char* line)
{
    CHelpState::SetLine(line);
}

int dialog_menu(const char* title, const char* prompt, int height, int width, int list_height, int item_no,
                dialogMenuItem* items)
{
    return RunList(CItemList::kMenu, title, prompt, height, width, list_height, item_no, items);
}

int dialog_radiolist(const char* title, const char* prompt, int height, int width, int list_height, int item_no,
                     dialogMenuItem* items)
{
    return RunList(CItemList::kRadio, title, prompt, height, width, list_height, item_no, items);
}

int dialog_checklist(const char* title, const char* prompt, int height, int width, int list_height, int item_no,
                     dialogMenuItem* items)
{
    return RunList(CItemList::kCheck, title, prompt, height, width, list_height, item_no, items);
}

int dialog_msgbox(const char* title, const char* prompt, int height, int width, int pause)
{
    CMessageDialog dialog(title, prompt, height, width, false);
    if (pause)
        return dialog.Run();
    if (!CScreen::IsStarted())
        return -1;
    CScreen::Backdrop(CHelpState().GetLine());
    dialog.Draw();
    CScreen::Update();
    return 0;
}

int dialog_yesno(const char* title, const char* prompt, int height, int width)
{
    CMessageDialog dialog(title, prompt, height, width, true);
    return dialog.Run();
}

int dialog_inputbox(const char* title, const char* prompt, int height, int width, char* result, int size)
{
    if (!result || size < 1)
        return -1;
    CInputDialog dialog(title, prompt, height, width, result, size);
    return dialog.Run();
}

void dialog_gauge(const char* title, const char* prompt, int y, int x, int height, int width, int percent)
{
    if (!CScreen::IsStarted())
        return;
    CScreen::FollowResize();
    int lines = CScreen::GetLines();
    int cols = CScreen::GetColumns();
    width = Clamp(width, 10, cols);
    height = Clamp(height, 5, lines);
    y = Clamp(y, 0, lines - height);
    x = Clamp(x, 0, cols - width);
    percent = Clamp(percent, 0, 100);
    CScreen::HideCursor();
    CScreen::Backdrop(CHelpState().GetLine());
    CScreen::Box(y, x, height, width, title);
    CTextWrap wrap(prompt, prompt ? static_cast<int>(strlen(prompt)) : 0, width - 4);
    const char* start;
    int length;
    for (int row = 1; row < height - 3 && wrap.Next(&start, &length); row++)
        CScreen::Text(y + row, x + 2, start, length, width - 4, CScreen::kDialog);
    // The bar, with the figure in its middle.
    int bar = width - 4;
    int filled = bar * percent / 100;
    char figure[8];
    int n = snprintf(figure, sizeof(figure), "%d%%", percent);
    int at = (bar - n) / 2;
    for (int i = 0; i < bar; i++)
    {
        char c = i >= at && i < at + n ? figure[i - at] : ' ';
        CScreen::Fill(y + height - 3, x + 2 + i, 1, c, i < filled ? CScreen::kGauge : CScreen::kField);
    }
    CScreen::Update();
}
