// Feeds arbitrary text to the logon credential decoder.

#include "CXCrypt.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    CXCrypt decoder;
    decoder.DecodeUserProfile(text.c_str());
    return 0;
}
