#pragma once

#include "StreamBufRecord.h"

#include <openssl/evp.h>

// Single DES in CBC mode, without padding: callers pad themselves.
class CDESCrypt
{
public:
    CDESCrypt();
    virtual ~CDESCrypt();
    CDESCrypt(const CDESCrypt&) = delete;
    CDESCrypt& operator=(const CDESCrypt&) = delete;

    // key and iv are 8 bytes each. 0, or 0x80004005 when the cipher is
    // unavailable.
    long init(unsigned char* key, unsigned char* iv, bool encrypt);
    // in and out must have the same length, a multiple of 8 (else
    // 0x80070057); they may be the same memory.
    long update(tagSTREAMBUF in, tagSTREAMBUF out);
    // Starts the chaining again from the initialisation vector.
    long restart();

private:
    EVP_CIPHER_CTX* m_pContext;
    unsigned char m_IV[8];
};
