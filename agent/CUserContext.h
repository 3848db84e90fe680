#pragma once

#include "StreamBufRecord.h"

#include <cstdint>

// One account in memory. A pointer to a logged-on context is the user handle
// that the rest of the agent passes around. Every buffer belongs to the
// context.
class CUserContext
{
public:
    int AddRef() { return ++m_nRef; }
    int Release() { return --m_nRef; }
    // Frees (and so wipes from memory) every buffer; the mask and count stay.
    void FreeBuffers();
    // Frees the administrator secrets unlocked by an administrator check.
    void FreeAdminSecrets();

    tagSTREAMBUF m_Name;
    tagSTREAMBUF m_Password;
    uint32_t m_nRight;
    tagSTREAMBUF m_DBKey;
    tagSTREAMBUF m_PublicKey;
    tagSTREAMBUF m_PrivateKey;
    tagSTREAMBUF m_AdminPublicKey;
    tagSTREAMBUF m_AdminPrivateKey;
    tagSTREAMBUF m_AdminPassword;
    tagSTREAMBUF m_RightSign;
    tagSTREAMBUF m_Reserved;
    tagSTREAMBUF m_AdminKeyBlob;
    int32_t m_nRef;
};
