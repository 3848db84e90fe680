#pragma once

#include "CStreamBuf.h"
#include "CString.h"

#include <cstdio>

// One INI-style settings file, opened for a few reads or writes and closed
// again; nothing is cached. A missing file is created (mode 0600) on open.
// Every rewrite replaces the whole file at once, never part of it.
class CProfile : public CObject
{
public:
    CProfile();
    explicit CProfile(const char* path);
    ~CProfile();
    CProfile(const CProfile&) = delete;
    CProfile& operator=(const CProfile&) = delete;

    void GetProfile(const char* section, const char* key, CString& value);
    void GetProfile(const char* section, const char* key, int* value);
    void WriteProfile(const char* section, const char* key, const char* value);
    void WriteProfile(const char* section, const char* key, int value);

private:
    void OpenFile(const char* path);
    void CloseFile();
    bool FindEntry(const char* section, const char* key);
    void InsertContent(const char* text, int n);
    void FollowReplacement();
    // Bytes from the current position to the end of its line (or file).
    long PhysicalLineLength();
    // Whether the current position starts a line.
    bool FollowsLineEnd();

    FILE* fp = nullptr;
    CStreamBuf m_Buf;
    bool m_bSectionExist = false;
    CString m_strPath;
};
