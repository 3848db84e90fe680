#pragma once

// A method's argument text split at "@" into fields (double quotes keep a
// field whole), on a copy of its own.
class CCommandArgs
{
public:
    explicit CCommandArgs(const char* text);
    ~CCommandArgs();
    CCommandArgs(const CCommandArgs&) = delete;
    CCommandArgs& operator=(const CCommandArgs&) = delete;

    // Whole fields only: an unterminated quoted field is not counted.
    int GetCount() const { return m_nCount; }
    // The field at 0-based index, or null past the end.
    const char* Field(int index) const;
    // The field at index read as a decimal number; false when it is
    // missing or not a number.
    bool Number(int index, long& value) const;

private:
    char* m_pText;
    char** m_pFields = nullptr;
    int m_nCount = 0;
};
