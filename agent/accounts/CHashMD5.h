#pragma once

#include "StreamBufRecord.h"

#include <openssl/evp.h>

// MD5 over data fed in pieces.
class CHashMD5
{
public:
    CHashMD5();
    virtual ~CHashMD5();
    CHashMD5(const CHashMD5&) = delete;
    CHashMD5& operator=(const CHashMD5&) = delete;

    // Each returns 0, or 0x80004005 when the digest cannot be computed.
    long init();
    long update(tagSTREAMBUF data);
    // Writes the 16-byte digest to digest.data.
    long final(tagSTREAMBUF digest);

    // One-shot digest of data into out[16].
    static long Digest(const void* data, uint32_t length, unsigned char* out);

private:
    EVP_MD_CTX* m_pContext;
};
