#pragma once

// Keys as the dialogs see them: printable characters stand for themselves,
// everything else has a code above the character range, so that the dialog
// logic runs the same from the terminal and from a test.
enum DialogKey
{
    DK_NONE = 0,
    DK_UP = 0x100,
    DK_DOWN,
    DK_PAGEUP,
    DK_PAGEDOWN,
    DK_HOME,
    DK_END,
    DK_LEFT,
    DK_RIGHT,
    DK_TAB,
    DK_BACKTAB,
    DK_ENTER,
    DK_ESCAPE,
    DK_BACKSPACE,
    DK_DELETE,
    DK_HELP,
    DK_RESIZE,
    DK_HANGUP // the terminal is gone: every dialog gives up as on Esc
};

inline bool IsPrintableKey(int key)
{
    return key >= 0x20 && key < 0x7F;
}
