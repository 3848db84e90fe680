#pragma once

// The terminal under the dialogs: start and end, colours (or plain
// attributes when the terminal has none), the backdrop, boxes, text and
// keys.  All drawing goes to the one full-screen window.
class CScreen
{
public:
    enum Style
    {
        kBackdrop,
        kDialog,
        kTitle,
        kItem,
        kItemCurrent,
        kButton,
        kButtonFocus,
        kField,
        kGauge,
        kHelpLine,
        kStyles
    };

    static bool Start();
    static void End();
    static bool IsStarted();

    static int GetLines();
    static int GetColumns();
    // Follows a size change that no key has reported yet.
    static void FollowResize();

    // The backdrop with the help line at the foot of the screen.
    static void Backdrop(const char* helpLine);
    // A filled box with a border and its title centred on the top line.
    static void Box(int y, int x, int height, int width, const char* title);
    // Text cut to `width` columns (and to the screen); unprintable
    // characters are shown as spaces.
    static void Text(int y, int x, const char* text, int length, int width, Style style);
    // A run of one character.
    static void Fill(int y, int x, int width, char c, Style style);
    static void ShowCursor(int y, int x);
    static void HideCursor();
    static void Update();

    // Waits for a key and gives it as a DialogKey.
    static int ReadKey();
};
