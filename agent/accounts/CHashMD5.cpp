#include "CHashMD5.h"

#include "StatusWords.h"

CHashMD5::CHashMD5() : m_pContext(EVP_MD_CTX_new()) {}

CHashMD5::~CHashMD5()
{
    EVP_MD_CTX_free(m_pContext);
}

long CHashMD5::init()
{
    return m_pContext && EVP_DigestInit_ex(m_pContext, EVP_md5(), nullptr) ? S_OK : E_FAIL;
}

long CHashMD5::update(tagSTREAMBUF data)
{
    return EVP_DigestUpdate(m_pContext, data.data, data.length) ? S_OK : E_FAIL;
}

long CHashMD5::final(tagSTREAMBUF digest)
{
    unsigned int length = 0;
    if (!digest.data || !EVP_DigestFinal_ex(m_pContext, digest.data, &length) || length != 16)
        return E_FAIL;
    return S_OK;
}

long CHashMD5::Digest(const void* data, uint32_t length, unsigned char* out)
{
    CHashMD5 md5;
    tagSTREAMBUF in{length, static_cast<unsigned char*>(const_cast<void*>(data))};
    long status = md5.init();
    if (status == S_OK)
        status = md5.update(in);
    if (status == S_OK)
        status = md5.final(tagSTREAMBUF{16, out});
    return status;
}
