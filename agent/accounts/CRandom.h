#pragma once

// The process's shared random source and the R64 text encoding.
class CRandom
{
public:
    // Seeds the shared generator on the first construction in the process.
    CRandom();
    virtual ~CRandom();

    // Mixes bytes from the operating system's generator into the shared
    // one; 0, or -1 when either fails.
    static long SeedRandom();
    // Fills out with count strong random bytes; 0, or -1 on failure (out is
    // then not to be used).
    long RandomBytes(unsigned char* out, unsigned long count);

    // outLength is the room in out on entry and the count written on return.
    // in and out may be the same buffer.
    static void ByteToR64(unsigned char* out, unsigned long& outLength, unsigned char* in,
                          unsigned long inLength);
    static void R64ToBytes(unsigned char* out, unsigned long& outLength, unsigned char* in,
                           unsigned long inLength);
    static unsigned char c2r64(unsigned char value);
    // A character outside the alphabet gives 0.
    static unsigned char r64toC(unsigned char c);

private:
    static bool m_SeedSet;
};
