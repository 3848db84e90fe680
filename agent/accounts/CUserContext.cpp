#include "CUserContext.h"

#include <openssl/crypto.h>

namespace
{
void Wipe(tagSTREAMBUF& b)
{
    if (b.data)
        OPENSSL_cleanse(b.data, b.length);
    FreeStreamBuf(b);
}
} // namespace

void CUserContext::FreeBuffers()
{
    tagSTREAMBUF* all[] = {&m_Name,           &m_Password,        &m_DBKey,         &m_PublicKey,
                           &m_PrivateKey,     &m_AdminPublicKey,  &m_AdminPrivateKey, &m_AdminPassword,
                           &m_RightSign,      &m_Reserved,        &m_AdminKeyBlob};
    for (tagSTREAMBUF* b : all)
        Wipe(*b);
}

void CUserContext::FreeAdminSecrets()
{
    Wipe(m_AdminPrivateKey);
    Wipe(m_AdminPassword);
}
