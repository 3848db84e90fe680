#pragma once

#include "CString.h"
#include "StreamBufRecord.h"

// The agent's fixed DES initialisation vector, "vardelk ".
extern unsigned char g_desiv[8];

// DES with the fixed initialisation vector, the logon credential decoder and
// the agent identity maker.
class CXCrypt
{
public:
    // Encrypting pads with PKCS #5 and gives the ciphertext. Decrypting
    // checks the padding (0x80004005 when wrong, out left empty) and gives
    // the plaintext followed by one zero byte, counted in its length.
    static long DES_encode(unsigned char* key, tagSTREAMBUF& in, tagSTREAMBUF& out, bool encrypt);

    // The 8-byte DES key of a password and salt: MD5(password, salt), then
    // count - 1 further rounds of MD5 over the digest.
    static long DeriveKey(tagSTREAMBUF password, tagSTREAMBUF salt, unsigned long count,
                          unsigned char* key);

    // Decodes a logon credential into m_strUser and m_strPassword.
    bool DecodeUserProfile(const char* text);

    // Makes the agent identity: value[0] and value[1] receive the two
    // 32-bit numbers, which also go to the profile's "Location" section.
    // 0, or the failing step's status.
    static long InitLocation(const char* hostName, unsigned long* value);

    CString m_strUser;
    CString m_strPassword;
};
