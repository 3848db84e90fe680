#pragma once

// The help file and help line in force, and the copy of them that each
// dialog takes when it opens, so that a callback that shows other dialogs
// with other help cannot leave the first one without its own.
class CHelpState
{
public:
    static void SetFile(const char* path);
    static void SetLine(const char* line);

    // Takes a copy of the values in force.
    CHelpState();
    ~CHelpState();
    CHelpState(const CHelpState&) = delete;
    CHelpState& operator=(const CHelpState&) = delete;

    // Puts this copy in force again.
    void Restore() const;
    const char* GetFile() const { return m_pFile; }
    const char* GetLine() const { return m_pLine; }

private:
    static void Replace(char** slot, const char* text);

    char* m_pFile = nullptr;
    char* m_pLine = nullptr;
};
