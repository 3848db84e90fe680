#include "CRandom.h"

#include <cstring>
#include <openssl/rand.h>
#include <sys/random.h>

bool CRandom::m_SeedSet = false;

namespace
{
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+_";

// The up to four 6-bit values that a group of n (1 to 3) bytes gives.
void GroupToValues(const unsigned char* in, unsigned long n, unsigned char* values)
{
    unsigned char b0 = in[0];
    unsigned char b1 = n > 1 ? in[1] : 0;
    unsigned char b2 = n > 2 ? in[2] : 0;
    values[0] = b0 >> 2;
    values[1] = ((b0 & 3) << 4) | (b1 >> 4);
    values[2] = ((b1 & 15) << 2) | (b2 >> 6);
    values[3] = b2 & 63;
}
} // namespace

CRandom::CRandom()
{
    if (!m_SeedSet && SeedRandom() == 0)
        m_SeedSet = true;
}

CRandom::~CRandom() = default;

long CRandom::SeedRandom()
{
    // The library's generator seeds itself from the kernel as well; these
    // bytes make sure it has strong material before the first draw.
    unsigned char seed[32];
    if (getrandom(seed, sizeof seed, 0) != ssize_t(sizeof seed))
        return -1;
    RAND_seed(seed, sizeof seed);
    memset(seed, 0, sizeof seed);
    return RAND_status() == 1 ? 0 : -1;
}

long CRandom::RandomBytes(unsigned char* out, unsigned long count)
{
    if (!m_SeedSet)
    {
        if (SeedRandom() != 0)
            return -1;
        m_SeedSet = true;
    }
    for (unsigned long done = 0; done < count;)
    {
        int piece = count - done > 0x10000 ? 0x10000 : int(count - done);
        if (RAND_bytes(out + done, piece) != 1)
            return -1;
        done += piece;
    }
    return 0;
}

void CRandom::ByteToR64(unsigned char* out, unsigned long& outLength, unsigned char* in,
                        unsigned long inLength)
{
    unsigned long room = outLength;
    // Writing in place would overwrite input bytes still to be read.
    unsigned char* target = out == in && room ? new unsigned char[room] : out;
    unsigned long written = 0;
    for (unsigned long pos = 0; pos < inLength && written < room; pos += 3)
    {
        unsigned long n = inLength - pos < 3 ? inLength - pos : 3;
        unsigned char values[4];
        GroupToValues(in + pos, n, values);
        for (unsigned long i = 0; i <= n && written < room; ++i)
            target[written++] = c2r64(values[i]);
    }
    if (target != out)
    {
        memcpy(out, target, written);
        delete[] target;
    }
    outLength = written;
}

void CRandom::R64ToBytes(unsigned char* out, unsigned long& outLength, unsigned char* in,
                         unsigned long inLength)
{
    unsigned long room = outLength;
    unsigned long written = 0;
    for (unsigned long pos = 0; pos < inLength && written < room; pos += 4)
    {
        unsigned long n = inLength - pos < 4 ? inLength - pos : 4;
        unsigned char v[4] = {0, 0, 0, 0};
        for (unsigned long i = 0; i < n; ++i)
            v[i] = r64toC(in[pos + i]);
        unsigned char bytes[3] = {static_cast<unsigned char>((v[0] << 2) | (v[1] >> 4)),
                                  static_cast<unsigned char>((v[1] << 4) | (v[2] >> 2)),
                                  static_cast<unsigned char>((v[2] << 6) | v[3])};
        // Decoding never runs ahead of its input, so in and out may overlap.
        for (unsigned long i = 0; i + 1 < n && written < room; ++i)
            out[written++] = bytes[i];
    }
    outLength = written;
}

unsigned char CRandom::c2r64(unsigned char value)
{
    return kAlphabet[value & 63];
}

unsigned char CRandom::r64toC(unsigned char c)
{
    const char* at = c ? strchr(kAlphabet, c) : nullptr;
    return at ? static_cast<unsigned char>(at - kAlphabet) : 0;
}
