#pragma once

#include "CObject.h"
#include "CStreamBuf.h"

#include <cstdint>

// Bytes of a file read ahead in one system call, so that a walk over many
// small records pays one read per window instead of several per record.
// Each fill after the first reads twice as much as the one before, up to
// 64 KiB, so that a single look at a large file stays cheap. The window
// knows nothing of what the bytes mean; its owner says how far it may read
// and drops the window when bytes it holds may have changed on disk.
class CReadWindow : public CObject
{
public:
    static constexpr uint32_t kFirstFill = 4096;
    static constexpr uint32_t kLargestFill = CStreamBuf::kMaxLength;

    // `nReach`: how far past a point it jumps back to its owner reads on,
    // so that a backward walk finds the whole next record in the window.
    explicit CReadWindow(uint32_t nReach);
    ~CReadWindow();
    CReadWindow(const CReadWindow&) = delete;
    CReadWindow& operator=(const CReadWindow&) = delete;

    // Copies the n bytes at `offset` of the file `fd` into `dest`; false
    // unless all of them lie before `limit` and could be read. No byte at
    // or after `limit` is read.
    bool Fetch(int fd, uint32_t offset, uint32_t n, uint32_t limit, void* dest);
    // Forgets what was read; the next fill is a small one again.
    void Drop();

private:
    bool Holds(uint32_t offset, uint32_t n) const;
    // Where a fill of `size` bytes that must hold the n bytes at `offset`
    // begins.
    uint32_t FillStart(uint32_t offset, uint32_t n, uint32_t size, uint32_t limit) const;
    bool Fill(int fd, uint32_t offset, uint32_t n, uint32_t limit);

    CStreamBuf m_Buf;
    const uint32_t m_nReach;
    uint32_t m_nStart = 0;
    uint32_t m_nUsed = 0;
    uint32_t m_nFill = kFirstFill;
};
