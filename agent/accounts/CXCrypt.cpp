#include "CXCrypt.h"

#include "CDESCrypt.h"
#include "CHashMD5.h"
#include "CProfile.h"
#include "CRandom.h"
#include "CScopedBuf.h"
#include "StatusWords.h"

#include <cstring>
#include <ctime>

unsigned char g_desiv[8] = {'v', 'a', 'r', 'd', 'e', 'l', 'k', ' '};

namespace
{
const unsigned long kCredentialHeader = 6;
const char kProfilePath[] = "/etc/tavrine/Dorvik.rc";

long RunDES(unsigned char* key, bool encrypt, tagSTREAMBUF data)
{
    CDESCrypt des;
    long status = des.init(key, g_desiv, encrypt);
    return status == S_OK ? des.update(data, data) : status;
}

// Holds when the bytes contain no zero byte, which a CString cannot carry.
bool IsText(const unsigned char* data, unsigned long length)
{
    return memchr(data, 0, length) == nullptr;
}
} // namespace

long CXCrypt::DES_encode(unsigned char* key, tagSTREAMBUF& in, tagSTREAMBUF& out, bool encrypt)
{
    if (!encrypt && (in.length == 0 || in.length % 8 != 0 || !in.data))
        return E_FAIL;
    uint32_t pad = encrypt ? 8 - in.length % 8 : 0;
    CScopedBuf work;
    work.Get().length = in.length + (encrypt ? pad : 1);
    if (work.Get().length < in.length || AllocStreamBuf(work) != 0)
        return E_OUTOFMEMORY;
    if (in.length)
        memcpy(work.Data(), in.data, in.length);
    if (encrypt)
        memset(work.Data() + in.length, int(pad), pad);
    long status = RunDES(key, encrypt, tagSTREAMBUF{in.length + pad, work.Data()});
    if (status != S_OK)
        return status;
    if (!encrypt)
    {
        pad = work.Data()[in.length - 1];
        if (pad < 1 || pad > 8)
            return E_FAIL;
        for (uint32_t i = in.length - pad; i < in.length; ++i)
            if (work.Data()[i] != pad)
                return E_FAIL;
        work.Data()[in.length - pad] = 0;
        work.Get().length = in.length - pad + 1;
    }
    FreeStreamBuf(out);
    out = work.Detach();
    return S_OK;
}

long CXCrypt::DeriveKey(tagSTREAMBUF password, tagSTREAMBUF salt, unsigned long count,
                        unsigned char* key)
{
    CHashMD5 md5;
    unsigned char digest[16];
    long status = md5.init();
    if (status == S_OK && password.length)
        status = md5.update(password);
    if (status == S_OK && salt.length)
        status = md5.update(salt);
    if (status == S_OK)
        status = md5.final(tagSTREAMBUF{16, digest});
    for (unsigned long i = 1; status == S_OK && i < count; ++i)
        status = CHashMD5::Digest(digest, 16, digest);
    if (status == S_OK)
        memcpy(key, digest, 8);
    return status;
}

bool CXCrypt::DecodeUserProfile(const char* text)
{
    unsigned long textLength = text ? strlen(text) : 0;
    if (textLength == 0)
        return false;
    CScopedBuf decoded;
    decoded.Get().length = uint32_t(3 * ((textLength + 3) / 4) + 1);
    if (AllocStreamBuf(decoded) != 0)
        return false;
    unsigned long length = decoded.Length() - 1;
    CRandom::R64ToBytes(decoded.Data(), length,
                        reinterpret_cast<unsigned char*>(const_cast<char*>(text)), textLength);
    decoded.Data()[length] = 0;
    unsigned char* at = static_cast<unsigned char*>(memchr(decoded.Data(), '@', length));
    if (!at)
        return false;
    unsigned long nameLength = at - decoded.Data();
    unsigned long rest = length - nameLength - 1;
    // The salt, count and reserved bytes must be there, and a user name with
    // a zero byte in it could not be the one that was encoded.
    if (rest < kCredentialHeader || !IsText(decoded.Data(), nameLength) ||
        nameLength > static_cast<unsigned long>(CString::kMaxLength))
        return false;
    unsigned char* salt = at + 1;
    unsigned long count = salt[4] ? salt[4] : 256;
    unsigned char key[8];
    if (DeriveKey(tagSTREAMBUF{uint32_t(nameLength), decoded.Data()}, tagSTREAMBUF{4, salt}, count,
                  key) != S_OK)
        return false;
    tagSTREAMBUF cipher{uint32_t(rest - kCredentialHeader), salt + kCredentialHeader};
    CScopedBuf plain;
    if (DES_encode(key, cipher, plain, false) != S_OK || !IsText(plain.Data(), plain.Length() - 1))
        return false;
    *at = 0;
    m_strUser = reinterpret_cast<char*>(decoded.Data());
    m_strPassword = reinterpret_cast<char*>(plain.Data());
    return true;
}

long CXCrypt::InitLocation(const char* hostName, unsigned long* value)
{
    time_t now = time(nullptr);
    char when[32];
    CString text;
    text.Format("%s;%s", hostName ? hostName : "", ctime_r(&now, when) ? when : "");
    uint32_t length = uint32_t(text.GetLength() + 1);
    CScopedBuf noise;
    noise.Get().length = length;
    if (AllocStreamBuf(noise) != 0)
        return E_OUTOFMEMORY;
    CRandom random;
    if (random.RandomBytes(noise.Data(), length) != 0)
        return E_FAIL;
    CHashMD5 md5;
    unsigned char digest[16];
    long status = md5.init();
    if (status == S_OK)
        status = md5.update(tagSTREAMBUF{length, reinterpret_cast<unsigned char*>(const_cast<char*>(text.GetBuffer()))});
    if (status == S_OK)
        status = md5.update(noise);
    if (status == S_OK)
        status = md5.final(tagSTREAMBUF{16, digest});
    if (status != S_OK)
        return status;
    uint32_t words[2];
    memcpy(words, digest, sizeof words);
    value[0] = words[0];
    value[1] = words[1];
    CProfile profile(kProfilePath);
    profile.WriteProfile("Location", "Value1", int32_t(words[0]));
    profile.WriteProfile("Location", "Value2", int32_t(words[1]));
    return S_OK;
}
