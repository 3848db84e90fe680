#pragma once

#include "CStreamBuf.h"
#include "CString.h"

#include <cstdio>

// One INI-style settings file, opened for a few reads or writes and closed
// again; nothing is cached. A missing file is created (mode 0600) on open.
// Every rewrite replaces the whole file at once, never part of it.
//
// Lines are read and written whole, up to kMaxLine bytes. A longer line
// stays one line: it is kept as it stands by every write, and the value of
// an entry it holds is never handed out, so no caller can write it back
// cut.
class CProfile : public CObject
{
public:
    enum
    {
        // The longest line, its line end included, that is read and
        // written whole: just under 64 KiB, so that a line and the line end
        // that may go before it fit a CString.
        kMaxLine = 0xFF00
    };
    // What a read found.
    enum EntryState
    {
        // No such entry: the value is empty (or 0).
        kMissing,
        // The entry's whole value.
        kWhole,
        // The entry is there, but longer than kMaxLine or holding a NUL
        // byte: the value is empty (or 0), for the whole of it cannot be
        // given.
        kCut
    };

    CProfile();
    explicit CProfile(const char* path);
    ~CProfile();
    CProfile(const CProfile&) = delete;
    CProfile& operator=(const CProfile&) = delete;

    EntryState GetProfile(const char* section, const char* key, CString& value);
    EntryState GetProfile(const char* section, const char* key, int* value);
    // False when nothing was written: the entry cannot be stored (see
    // CanStore) or the file could not be rewritten.
    bool WriteProfile(const char* section, const char* key, const char* value);
    bool WriteProfile(const char* section, const char* key, int value);

    // Whether the entry would be written, and read back as itself.
    static bool CanStore(const char* section, const char* key, const char* value);
    // Removes the temporary files that rewrites of the file at `path` left
    // behind when they were killed.
    static void RemoveLeftovers(const char* path);

private:
    void OpenFile(const char* path);
    void CloseFile();
    bool FindEntry(const char* section, const char* key);
    // Reads the line that starts at `start`, the current position: the
    // buffer holds it, or the part of it that fits; false at the end of
    // the file.
    bool ReadLine(long start);
    // Reads past the rest of a line that did not fit; false when nothing
    // more belonged to it.
    bool SkipRestOfLine();
    // Replaces the `n` bytes at the current position by `head` and `text`.
    bool InsertContent(const char* head, const char* text, long n);
    void FollowReplacement();
    // Whether the current position starts a line.
    bool FollowsLineEnd();

    FILE* fp = nullptr;
    CStreamBuf m_Buf;
    bool m_bSectionExist = false;
    CString m_strPath;
    // The last line read: its length in the file, the bytes of it that the
    // buffer holds, and whether those are the whole line.
    long m_nLineLength = 0;
    int m_nHeld = 0;
    bool m_bLineWhole = false;
};
