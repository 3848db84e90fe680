#include "HalsenClient.h"

#include "CRandom.h"
#include "CXCrypt.h"

#include <cstdio>

namespace halsen
{
// The agent's own primitives do the work, so client and agent cannot
// drift apart on the encoding.
namespace
{
typedef void (*Codec)(unsigned char* out, unsigned long& outLength, unsigned char* in, unsigned long inLength);

std::string Convert(Codec codec, const std::string& from, size_t room)
{
    std::string out(room, '\0');
    unsigned long length = out.size();
    std::string in = from;
    codec(reinterpret_cast<unsigned char*>(&out[0]), length, reinterpret_cast<unsigned char*>(&in[0]), in.size());
    out.resize(length);
    return out;
}
} // namespace

std::string ToR64(const std::string& bytes) { return Convert(CRandom::ByteToR64, bytes, bytes.size() / 3 * 4 + 4); }

std::string FromR64(const std::string& text) { return Convert(CRandom::R64ToBytes, text, text.size() / 4 * 3 + 3); }

std::string EncodeCredential(const std::string& user, const std::string& password, const std::string& salt,
                             unsigned char count)
{
    unsigned char key[8];
    std::string name = user, seed = salt, plain = password;
    auto buf = [](std::string& s) {
        return tagSTREAMBUF{static_cast<uint32_t>(s.size()), reinterpret_cast<unsigned char*>(&s[0])};
    };
    tagSTREAMBUF in = buf(plain);
    tagSTREAMBUF cipher{0, nullptr};
    if (salt.size() != 4 || CXCrypt::DeriveKey(buf(name), buf(seed), count ? count : 256, key) != 0 ||
        CXCrypt::DES_encode(key, in, cipher, true) != 0)
        return std::string();
    const std::string encrypted(reinterpret_cast<char*>(cipher.data), cipher.length);
    FreeStreamBuf(cipher);
    return ToR64(user + "@" + salt + static_cast<char>(count) + '\0' + encrypted);
}

std::string EncodeCredential(const std::string& user, const std::string& password)
{
    unsigned char fresh[5];
    CRandom random;
    if (random.RandomBytes(fresh, sizeof fresh) != 0)
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
