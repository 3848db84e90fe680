#pragma once

// The conventions every screen follows: the utility's title, a path-like
// prompt naming the screen, automatic size, F1 help for menus and
// information screens, none for message boxes and questions.

#include "dialog.h"

#include <cstddef>

// An information screen or a menu built row by row: the two button
// entries come first, the rows after them.
class CScreenRows
{
public:
    static constexpr int kMaxRows = 24;
    static constexpr int kTextSize = 96;

    CScreenRows(const char* ok, const char* cancel);
    // Adds a row; the right-hand text is formatted into the row's own
    // buffer.  Rows past kMaxRows are dropped.
    dialogMenuItem* Add(const char* left, int (*fire)(dialogMenuItem*), long data, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    // Adds a row whose left text is formatted too.
    dialogMenuItem* AddNamed(int (*fire)(dialogMenuItem*), long data, const char* left, const char* right);
    // Adds an information row with a plain right-hand text.
    void Text(const char* left, const char* right) { AddNamed(nullptr, 0, left, right); }
    int Count() const { return m_nRows; }
    // Shows the rows once under the prompt, with the help line given or
    // the usual one; the dialog's answer.
    int Show(const char* prompt, const char* line = nullptr);
    // Shows an information screen of the current adapter, its prompt
    // "/adapter%d" followed by `rest`; the code that redraws the caller.
    int ShowAdapterScreen(const char* rest, const char* line = nullptr);

private:
    dialogMenuItem m_items[2 + kMaxRows];
    char m_szLeft[kMaxRows][kTextSize];
    char m_szRight[kMaxRows][kTextSize];
    int m_nRows = 0;
};

// "/adapter%d" followed by `rest`, for the adapter being worked on.
void AdapterPrompt(char* text, size_t size, const char* rest);
int Message(const char* title, const char* text);
// 0 for yes.
int Ask(const char* title, const char* text, int height);
void UseScreenHelp();
