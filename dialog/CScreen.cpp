#include "CScreen.h"

#include "DialogKeys.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{
SCREEN* g_pScreen = nullptr;
bool g_bColour = false;

// Both colours of every pair are set, so the dialogs read the same on dark
// and light terminals.
struct StyleLook
{
    short fg;
    short bg;
    attr_t colourAttr;
    attr_t plainAttr;
};

const StyleLook kLooks[CScreen::kStyles] = {
    {COLOR_WHITE, COLOR_BLUE, 0, A_NORMAL},            // backdrop
    {COLOR_BLACK, COLOR_WHITE, 0, A_NORMAL},           // dialog
    {COLOR_BLUE, COLOR_WHITE, A_BOLD, A_BOLD},         // title
    {COLOR_BLACK, COLOR_WHITE, 0, A_NORMAL},           // item
    {COLOR_WHITE, COLOR_BLUE, A_BOLD, A_REVERSE},      // current item
    {COLOR_BLACK, COLOR_WHITE, 0, A_NORMAL},           // button
    {COLOR_WHITE, COLOR_BLUE, A_BOLD, A_REVERSE},      // button in focus
    {COLOR_WHITE, COLOR_BLACK, A_BOLD, A_UNDERLINE},   // input field
    {COLOR_WHITE, COLOR_BLUE, A_BOLD, A_REVERSE},      // gauge bar
    {COLOR_YELLOW, COLOR_BLUE, A_BOLD, A_BOLD},        // help line
};

attr_t Look(CScreen::Style style)
{
    const StyleLook& l = kLooks[style];
    return g_bColour ? COLOR_PAIR(style + 1) | l.colourAttr : l.plainAttr;
}

void StartColours()
{
    g_bColour = has_colors() && !getenv("NO_COLOR") && start_color() == OK && COLOR_PAIRS > CScreen::kStyles;
    for (int i = 0; g_bColour && i < CScreen::kStyles; i++)
        init_pair(static_cast<short>(i + 1), kLooks[i].fg, kLooks[i].bg);
}

int KeyOf(int c)
{
    switch (c)
    {
    case KEY_UP:
        return DK_UP;
    case KEY_DOWN:
        return DK_DOWN;
    case KEY_PPAGE:
        return DK_PAGEUP;
    case KEY_NPAGE:
        return DK_PAGEDOWN;
    case KEY_HOME:
        return DK_HOME;
    case KEY_END:
        return DK_END;
    case KEY_LEFT:
        return DK_LEFT;
    case KEY_RIGHT:
        return DK_RIGHT;
    case '\t':
        return DK_TAB;
    case KEY_BTAB:
        return DK_BACKTAB;
    case '\r':
    case '\n':
    case KEY_ENTER:
        return DK_ENTER;
    case 27:
        return DK_ESCAPE;
    case KEY_BACKSPACE:
    case 127:
    case 8:
        return DK_BACKSPACE;
    case KEY_DC:
        return DK_DELETE;
    case KEY_F(1):
        return DK_HELP;
    case KEY_RESIZE:
        return DK_RESIZE;
    default:
        return IsPrintableKey(c) ? c : DK_NONE;
    }
}

// A read that fails while standard input still polls readable (or hung
// up) has met the end of the terminal.
bool TerminalGone()
{
    struct pollfd p = {STDIN_FILENO, POLLIN, 0};
    int n = poll(&p, 1, 0);
    return n < 0 ? errno != EINTR : (n > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL | POLLIN)));
}
} // namespace

bool CScreen::Start()
{
    if (g_pScreen)
        return true;
    g_pScreen = newterm(nullptr, stdout, stdin);
    if (!g_pScreen)
        return false;
    set_term(g_pScreen);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(50);
    curs_set(0);
    StartColours();
    return true;
}

void CScreen::End()
{
    if (!g_pScreen)
        return;
    endwin();
    delscreen(g_pScreen);
    g_pScreen = nullptr;
}

bool CScreen::IsStarted()
{
    return g_pScreen != nullptr;
}

int CScreen::GetLines()
{
    return LINES;
}

int CScreen::GetColumns()
{
    return COLS;
}

void CScreen::FollowResize()
{
    struct winsize ws;
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0 &&
        (ws.ws_row != LINES || ws.ws_col != COLS))
        resizeterm(ws.ws_row, ws.ws_col);
}

void CScreen::Backdrop(const char* helpLine)
{
    bkgdset(Look(kBackdrop) | ' ');
    erase();
    if (helpLine && *helpLine)
    {
        int n = static_cast<int>(strlen(helpLine));
        int x = (COLS - n) / 2;
        Text(LINES - 1, x < 0 ? 0 : x, helpLine, n, COLS, kHelpLine);
    }
}

void CScreen::Box(int y, int x, int height, int width, const char* title)
{
    for (int row = 0; row < height; row++)
        Fill(y + row, x, width, ' ', kDialog);
    attr_t a = Look(kDialog);
    mvaddch(y, x, ACS_ULCORNER | a);
    mvaddch(y, x + width - 1, ACS_URCORNER | a);
    mvaddch(y + height - 1, x, ACS_LLCORNER | a);
    mvaddch(y + height - 1, x + width - 1, ACS_LRCORNER | a);
    mvhline(y, x + 1, ACS_HLINE | a, width - 2);
    mvhline(y + height - 1, x + 1, ACS_HLINE | a, width - 2);
    mvvline(y + 1, x, ACS_VLINE | a, height - 2);
    mvvline(y + 1, x + width - 1, ACS_VLINE | a, height - 2);
    if (title && *title)
    {
        int n = static_cast<int>(strlen(title));
        int room = width - 4;
        n = n > room ? room : n;
        int at = x + (width - n - 2) / 2;
        Fill(y, at, 1, ' ', kTitle);
        Text(y, at + 1, title, n, n, kTitle);
        Fill(y, at + n + 1, 1, ' ', kTitle);
    }
}

void CScreen::Text(int y, int x, const char* text, int length, int width, Style style)
{
    if (y < 0 || y >= LINES || x < 0)
        return;
    attr_t a = Look(style);
    for (int i = 0; i < length && i < width && x + i < COLS; i++)
    {
        unsigned char c = static_cast<unsigned char>(text[i]);
        mvaddch(y, x + i, (IsPrintableKey(c) ? c : ' ') | a);
    }
}

void CScreen::Fill(int y, int x, int width, char c, Style style)
{
    if (y < 0 || y >= LINES)
        return;
    attr_t a = Look(style);
    for (int i = 0; i < width; i++)
        if (x + i >= 0 && x + i < COLS)
            mvaddch(y, x + i, static_cast<unsigned char>(c) | a);
}

void CScreen::ShowCursor(int y, int x)
{
    move(y, x);
    curs_set(1);
}

void CScreen::HideCursor()
{
    curs_set(0);
}

void CScreen::Update()
{
    refresh();
}

int CScreen::ReadKey()
{
    if (!g_pScreen)
        return DK_HANGUP;
    for (int failures = 0;;)
    {
        int c = getch();
        if (c != ERR)
        {
            int key = KeyOf(c);
            if (key != DK_NONE)
                return key;
            continue;
        }
        // A signal may interrupt a read now and then; a terminal that is
        // gone keeps failing.
        if (TerminalGone() || ++failures > 100)
            return DK_HANGUP;
    }
}
