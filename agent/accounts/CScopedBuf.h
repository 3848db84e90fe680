#pragma once

#include "StreamBufRecord.h"

#include <cstring>

// A tagSTREAMBUF that frees itself at the end of its scope. Buffers handed
// on to a caller are taken out with Detach().
class CScopedBuf
{
public:
    CScopedBuf() = default;
    ~CScopedBuf() { FreeStreamBuf(m_Buf); }
    CScopedBuf(const CScopedBuf&) = delete;
    CScopedBuf& operator=(const CScopedBuf&) = delete;

    tagSTREAMBUF& Get() { return m_Buf; }
    operator tagSTREAMBUF&() { return m_Buf; }
    unsigned char* Data() const { return m_Buf.data; }
    uint32_t Length() const { return m_Buf.length; }
    tagSTREAMBUF Detach()
    {
        tagSTREAMBUF out = m_Buf;
        m_Buf = tagSTREAMBUF{0, nullptr};
        return out;
    }

private:
    tagSTREAMBUF m_Buf{0, nullptr};
};

// Makes `out` a fresh copy of `length` bytes at `data`; 0 or 0x80000002.
long CopyStreamBuf(tagSTREAMBUF& out, const void* data, uint32_t length);
// True when both buffers hold the same bytes.
bool SameStreamBuf(const tagSTREAMBUF& a, const tagSTREAMBUF& b);
