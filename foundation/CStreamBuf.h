#pragma once

#include "CObject.h"

// An owned byte buffer of at most kMaxLength bytes. The length is the
// buffer's capacity; the contents are whatever the owner put there.
class CStreamBuf : public CObject
{
public:
    enum
    {
        kMaxLength = 0x10000
    };

    CStreamBuf() = default;
    ~CStreamBuf();
    CStreamBuf(const CStreamBuf&) = delete;
    CStreamBuf& operator=(const CStreamBuf&) = delete;

    // n < 1 frees the buffer; n > kMaxLength throws and changes nothing;
    // otherwise replaces the buffer by a new, uninitialised one of n bytes.
    void AllocateBuf(int n);
    int GetLength() const { return m_nLength; }
    char* GetBuf() const { return m_Buf; }
    void Zero(int from);
    void DeleteBuf();
    void SetLength(int n) { m_nLength = n; }
    // Hands the buffer to the caller (who frees it with delete[]).
    char* Release();
    void Swap(CStreamBuf& other);

private:
    int m_nLength = 0;
    char* m_Buf = nullptr;
};
