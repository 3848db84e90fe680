#pragma once

#include "CObject.h"

#include <cstdio>
#include <sys/stat.h>

// A thin stdio stream with numbered open modes and seek origins.
class CFile : public CObject
{
public:
    static const char endl;

    CFile();
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // mode (bit 15 ignored, low three bits): 0 "r", 1 "w", 2 "w+", 4 "a+", else "r"
    bool Open(const char* path, int mode);
    bool IsValid() const { return m_fp != nullptr; }
    long GetPosition() const;
    // origin 2: from the current position; 4: from the end; else from the start
    long Seek(long offset, int origin);
    long GetLength();
    const struct stat& GetStatus();
    int Read(void* buf, int len);
    void Write(const void* data, int len);
    void Flush();
    void Close();

    static bool IsExistent(const char* path);
    static bool Rename(const char* from, const char* to);
    static bool Remove(const char* path);
    static bool XCreateDirectory(const char* path);

private:
    FILE* m_fp = nullptr;
    struct stat m_statbuf;
};
