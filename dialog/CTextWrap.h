#pragma once

// Cuts a text into screen lines of at most `width` columns: at each
// newline, and where a line is too long at its last space (or, with no
// space, right at the width).
class CTextWrap
{
public:
    CTextWrap(const char* text, int length, int width);

    // The next line as a start and a length; false after the last one.
    bool Next(const char** start, int* length);

    // How many lines, and the widest of them, a text takes.
    static int CountLines(const char* text, int width, int* widest = nullptr);

private:
    const char* m_pNext;
    const char* m_pEnd;
    int m_nWidth;
};
