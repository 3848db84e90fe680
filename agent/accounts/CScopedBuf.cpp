#include "CScopedBuf.h"

#include "StatusWords.h"

long CopyStreamBuf(tagSTREAMBUF& out, const void* data, uint32_t length)
{
    tagSTREAMBUF copy{length, nullptr};
    if (AllocStreamBuf(copy) != 0)
        return E_OUTOFMEMORY;
    if (length)
        memcpy(copy.data, data, length);
    FreeStreamBuf(out);
    out = copy;
    return S_OK;
}

bool SameStreamBuf(const tagSTREAMBUF& a, const tagSTREAMBUF& b)
{
    if (a.length != b.length)
        return false;
    return a.length == 0 || memcmp(a.data, b.data, a.length) == 0;
}
