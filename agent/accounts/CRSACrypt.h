#pragma once

#include "StreamBufRecord.h"

// RSA key pairs and block-wise PKCS #1 v1.5 encryption over the stored key
// records: public keys of 260 bytes, private keys of 708 bytes (a 4-byte
// little-endian bit count, then big-endian numbers right-aligned in fields
// sized for a 1024-bit modulus).
class CRSACrypt
{
public:
    enum
    {
        kPublicKeyLength = 260,
        kPrivateKeyLength = 708,
        kKeyBits = 512
    };

    CRSACrypt();
    virtual ~CRSACrypt();

    // pub must be empty on entry. 0, 0x80000002 without memory, 0x80004005
    // when generation fails (both buffers freed).
    long GenRSAKeySet(tagSTREAMBUF& pub, tagSTREAMBUF& priv);

    // Encryption cuts the input into pieces of k - 11 bytes (k the modulus
    // length) and gives k bytes for each; decryption takes whole k-byte
    // blocks. Failures: 0x80004005, with no output.
    long PublicEncrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key);
    long PublicDecrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key);
    long PrivateEncrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key);
    long PrivateDecrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key);
};
