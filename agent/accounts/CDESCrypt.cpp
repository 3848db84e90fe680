#include "CDESCrypt.h"

#include "StatusWords.h"

#include <cstring>
#include <openssl/provider.h>

namespace
{
// Single DES lives in the library's legacy provider; the default provider
// must be loaded beside it, as loading any provider explicitly disables the
// implicit default. Both stay loaded for the life of the process.
const EVP_CIPHER* DesCbc()
{
    static EVP_CIPHER* cipher = []() -> EVP_CIPHER* {
        if (!OSSL_PROVIDER_load(nullptr, "legacy") || !OSSL_PROVIDER_load(nullptr, "default"))
            return nullptr;
        return EVP_CIPHER_fetch(nullptr, "DES-CBC", nullptr);
    }();
    return cipher;
}
} // namespace

CDESCrypt::CDESCrypt() : m_pContext(EVP_CIPHER_CTX_new())
{
    memset(m_IV, 0, sizeof m_IV);
}

CDESCrypt::~CDESCrypt()
{
    EVP_CIPHER_CTX_free(m_pContext);
}

long CDESCrypt::init(unsigned char* key, unsigned char* iv, bool encrypt)
{
    const EVP_CIPHER* cipher = DesCbc();
    if (!m_pContext || !cipher)
        return E_FAIL;
    memcpy(m_IV, iv, sizeof m_IV);
    if (!EVP_CipherInit_ex2(m_pContext, cipher, key, m_IV, encrypt ? 1 : 0, nullptr))
        return E_FAIL;
    EVP_CIPHER_CTX_set_padding(m_pContext, 0);
    return S_OK;
}

long CDESCrypt::update(tagSTREAMBUF in, tagSTREAMBUF out)
{
    if (in.length != out.length || in.length % 8 != 0)
        return E_INVALIDARG;
    if (in.length == 0)
        return S_OK;
    int written = 0;
    if (!EVP_CipherUpdate(m_pContext, out.data, &written, in.data, int(in.length)) ||
        uint32_t(written) != in.length)
        return E_FAIL;
    return S_OK;
}

long CDESCrypt::restart()
{
    return EVP_CipherInit_ex2(m_pContext, nullptr, nullptr, m_IV, -1, nullptr) ? S_OK : E_FAIL;
}
