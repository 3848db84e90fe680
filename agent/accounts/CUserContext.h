#pragma once

#include "StreamBufRecord.h"

#include <cstdint>

// One account in memory. A pointer to a logged-on context is the user handle
// that the rest of the agent passes around. Every buffer belongs to the
// context; a new context is all empty.
class CUserContext
{
public:
    int AddRef() { return ++m_nRef; }
    int Release() { return --m_nRef; }
    // Frees (and so wipes from memory) every buffer; the mask and count stay.
    void FreeBuffers();
    // Frees the administrator secrets unlocked by an administrator check.
    void FreeAdminSecrets();

    tagSTREAMBUF m_Name{0, nullptr};
    tagSTREAMBUF m_Password{0, nullptr};
    uint32_t m_nRight = 0;
    tagSTREAMBUF m_DBKey{0, nullptr};
    tagSTREAMBUF m_PublicKey{0, nullptr};
    tagSTREAMBUF m_PrivateKey{0, nullptr};
    tagSTREAMBUF m_AdminPublicKey{0, nullptr};
    tagSTREAMBUF m_AdminPrivateKey{0, nullptr};
    tagSTREAMBUF m_AdminPassword{0, nullptr};
    tagSTREAMBUF m_RightSign{0, nullptr};
    tagSTREAMBUF m_Reserved{0, nullptr};
    tagSTREAMBUF m_AdminKeyBlob{0, nullptr};
    int32_t m_nRef = 0;
};
