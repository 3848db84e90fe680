#pragma once

#include "CHelpState.h"

// One dialog on screen: it draws itself over the backdrop, answers F1
// with the help for its prompt, redraws after a resize and after every
// key, and ends when its keys give an answer.
class CDialog
{
public:
    CDialog(const char* title, const char* prompt);
    virtual ~CDialog() = default;

    // The answer, or -1 when the library is not started.
    int Run();

protected:
    virtual void Draw() = 0;
    virtual bool HandleKey(int key, int* result) = 0;

    // Sizes the box in two steps, width first so that the prompt can be
    // wrapped to it.  A wanted size above zero is kept where the content
    // fits it; `least` is the narrowest box that shows everything but the
    // prompt; everything is held to the screen.
    void PlaceWidth(int needWidth, int least, int wantWidth);
    void PlaceHeight(int needHeight, int wantHeight);
    // The box width that fits the prompt unwrapped as far as the screen
    // allows, and the prompt's line count in the placed box.
    int GetPromptWidth() const;
    int GetPromptLines() const;
    // Draws the box and the prompt.
    void DrawFrame();
    // The buttons centred on row y of the box; the one in focus stands
    // out while `focused`.
    void DrawButtons(int y, const class CButtonBar& bar, bool focused);

    const char* m_pTitle;
    const char* m_pPrompt;
    CHelpState m_Help;
    int m_nY = 0;
    int m_nX = 0;
    int m_nHeight = 0;
    int m_nWidth = 0;

private:
    void ShowHelp();
};
