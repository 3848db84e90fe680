#pragma once

#include "StreamBufRecord.h"

#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

inline Bytes FromHex(const std::string& hex)
{
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline Bytes FromText(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

inline tagSTREAMBUF View(Bytes& b)
{
    return tagSTREAMBUF{uint32_t(b.size()), b.data()};
}

// Takes over a buffer handed out by the code under test.
inline Bytes Take(tagSTREAMBUF& b)
{
    Bytes out(b.data, b.data + b.length);
    FreeStreamBuf(b);
    return out;
}
