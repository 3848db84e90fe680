#include "StreamBufRecord.h"

#include <cstdlib>

uint32_t AllocStreamBuf(tagSTREAMBUF& b)
{
    // One byte at least, so a zero-length block is still a valid allocation.
    b.data = static_cast<unsigned char*>(malloc(b.length ? b.length : 1));
    return b.data ? 0 : 0x80000002u;
}

uint32_t FreeStreamBuf(tagSTREAMBUF& b)
{
    free(b.data);
    b.data = nullptr;
    b.length = 0;
    return 0;
}
