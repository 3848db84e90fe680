#pragma once

// A one-line text being edited in a field of bounded size: it never holds
// more than size - 1 characters, and takes printable characters only.
class CLineEdit
{
public:
    explicit CLineEdit(int size);
    ~CLineEdit();
    CLineEdit(const CLineEdit&) = delete;
    CLineEdit& operator=(const CLineEdit&) = delete;

    // Takes text, reading at most `available` bytes of it and stopping at
    // the bound and at the first unprintable character, and puts the
    // cursor at its end.
    void Set(const char* text, int available);
    const char* GetText() const { return m_pText; }
    int GetLength() const { return m_nLength; }
    int GetCursor() const { return m_nCursor; }
    int GetMaxLength() const { return m_nMax; }

    // Editing keys (printable characters, Backspace, Delete, Left, Right,
    // Home, End); false for any other key.
    bool HandleKey(int key);
    // First character to show in a field of `width` columns so that the
    // cursor stays in sight.
    int GetScroll(int width);

private:
    bool Insert(char c);
    void Erase(int at);

    char* m_pText;
    int m_nMax;
    int m_nLength = 0;
    int m_nCursor = 0;
    int m_nScroll = 0;
};
