#pragma once

// The wire form of one management packet, shared by the agent and the
// management client: three little-endian 32-bit words (command, stamp,
// kind), a length byte, in the long form a 16-bit length after it, then the
// body bytes. Header-only so that the client links nothing of the agent.

#include "LittleEndian.h"

namespace PacketForm
{
enum
{
    kWordsSize = 12,
    kShortHeader = 13,
    kLongHeader = 15,
    kLongMarker = 0xFF,
    // Bodies up to this length go in the short form.
    kShortLimit = 254,
    kMaxBody = 65533,
    kMaxPacket = kMaxBody + kLongHeader,
};

// What PacketLength says when it cannot give a length yet.
enum
{
    kNeedMore = 0,
    kMalformed = -1,
};

// The body length that is put on the wire: a body too long for the length
// field goes as an empty one.
inline int WireBodyLength(long n)
{
    return n > kMaxBody ? 0 : static_cast<int>(n);
}

inline int HeaderSize(int nBody)
{
    return nBody > kShortLimit ? kLongHeader : kShortHeader;
}

// Writes the header for a body of nBody bytes (already WireBodyLength) into
// `out`, which has room for HeaderSize(nBody) bytes.
inline void WriteHeader(unsigned char* out, int nCommand, int nStamp, int nKind, int nBody)
{
    PutLE32(out, static_cast<uint32_t>(nCommand));
    PutLE32(out + 4, static_cast<uint32_t>(nStamp));
    PutLE32(out + 8, static_cast<uint32_t>(nKind));
    if (nBody <= kShortLimit)
    {
        out[12] = static_cast<unsigned char>(nBody);
        return;
    }
    out[12] = kLongMarker;
    out[13] = static_cast<unsigned char>(nBody & 0xFF);
    out[14] = static_cast<unsigned char>(nBody >> 8);
}

// The declared size of the packet that starts at `data`, of which n bytes
// are at hand: kNeedMore while the header is incomplete, kMalformed for a
// long form whose length would have fitted the short one (or exceeds the
// largest body), else header plus body.
inline int PacketLength(const unsigned char* data, int n)
{
    if (n < kShortHeader)
        return kNeedMore;
    if (data[12] != kLongMarker)
        return kShortHeader + data[12];
    if (n < kLongHeader)
        return kNeedMore;
    const int nBody = data[13] | data[14] << 8;
    if (nBody <= kShortLimit || nBody > kMaxBody)
        return kMalformed;
    return kLongHeader + nBody;
}

inline int ReadWord(const unsigned char* data, int nOffset)
{
    return static_cast<int>(GetLE32(data + nOffset));
}
} // namespace PacketForm
