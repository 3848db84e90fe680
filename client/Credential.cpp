#include "HalsenClient.h"

#include <cstdio>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

namespace halsen
{
namespace
{
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+_";
const unsigned char kIv[8] = {'v', 'a', 'r', 'd', 'e', 'l', 'k', ' '};

int R64Value(char c)
{
    for (int i = 0; i < 64; ++i)
    {
        if (kAlphabet[i] == c)
            return i;
    }
    return 0;
}

// Single DES sits in the legacy provider, next to which the default one
// must be loaded again.
const EVP_CIPHER* DesCbc()
{
    static EVP_CIPHER* cipher = []() -> EVP_CIPHER* {
        if (!OSSL_PROVIDER_load(nullptr, "legacy") || !OSSL_PROVIDER_load(nullptr, "default"))
            return nullptr;
        return EVP_CIPHER_fetch(nullptr, "DES-CBC", nullptr);
    }();
    return cipher;
}

// MD5 of the name and the salt, then count - 1 more rounds over the
// digest; the key is its first 8 bytes.
bool DeriveKey(const std::string& name, const std::string& salt, int count, unsigned char* key)
{
    unsigned char digest[16];
    unsigned int length = 0;
    const std::string first = name + salt;
    if (!EVP_Digest(first.data(), first.size(), digest, &length, EVP_md5(), nullptr))
        return false;
    for (int i = 1; i < count; ++i)
    {
        if (!EVP_Digest(digest, sizeof digest, digest, &length, EVP_md5(), nullptr))
            return false;
    }
    for (int i = 0; i < 8; ++i)
        key[i] = digest[i];
    return true;
}

// DES-CBC with PKCS #5 padding, which the cipher context adds itself.
bool Encrypt(const unsigned char* key, const std::string& plain, std::string& out)
{
    const EVP_CIPHER* cipher = DesCbc();
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!cipher || !context)
    {
        EVP_CIPHER_CTX_free(context);
        return false;
    }
    out.assign(plain.size() + 8, '\0');
    unsigned char* to = reinterpret_cast<unsigned char*>(&out[0]);
    int n = 0, last = 0;
    const bool done = EVP_EncryptInit_ex2(context, cipher, key, kIv, nullptr) &&
                      EVP_EncryptUpdate(context, to, &n, reinterpret_cast<const unsigned char*>(plain.data()),
                                        static_cast<int>(plain.size())) &&
                      EVP_EncryptFinal_ex(context, to + n, &last);
    EVP_CIPHER_CTX_free(context);
    out.resize(done ? static_cast<size_t>(n + last) : 0);
    return done;
}
} // namespace

std::string ToR64(const std::string& bytes)
{
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3)
    {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        unsigned long group = 0;
        for (size_t j = 0; j < 3; ++j)
            group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0);
        for (size_t j = 0; j <= n; ++j)
            out += kAlphabet[group >> (18 - 6 * j) & 63];
    }
    return out;
}

std::string FromR64(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i += 4)
    {
        const size_t n = text.size() - i < 4 ? text.size() - i : 4;
        unsigned long group = 0;
        for (size_t j = 0; j < 4; ++j)
            group = group << 6 | (j < n ? static_cast<unsigned long>(R64Value(text[i + j])) : 0);
        for (size_t j = 0; j + 1 < n; ++j)
            out += static_cast<char>(group >> (16 - 8 * j) & 255);
    }
    return out;
}

std::string EncodeCredential(const std::string& user, const std::string& password, const std::string& salt,
                             unsigned char count)
{
    unsigned char key[8];
    std::string cipher;
    if (salt.size() != 4 || !DeriveKey(user, salt, count ? count : 256, key) || !Encrypt(key, password, cipher))
        return std::string();
    return ToR64(user + "@" + salt + static_cast<char>(count) + '\0' + cipher);
}

std::string EncodeCredential(const std::string& user, const std::string& password)
{
    unsigned char fresh[5];
    if (RAND_bytes(fresh, sizeof fresh) != 1)
        return std::string();
    return EncodeCredential(user, password, std::string(reinterpret_cast<char*>(fresh), 4), fresh[4]);
}

std::string LogonBody(const unsigned long location[2], const std::string& credential)
{
    char words[40];
    snprintf(words, sizeof words, "logon %lx %lx@", location ? location[0] : 0UL, location ? location[1] : 0UL);
    return words + credential;
}
} // namespace halsen
