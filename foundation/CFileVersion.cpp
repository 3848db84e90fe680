#include "CFileVersion.h"

namespace
{
char kVersion[] = "Version 1.30.0 build-16 (1/15/2002)";
}

bool CFileVersion::GetString(const char*, char** out, unsigned long*, unsigned long)
{
    if (!out)
        return false;
    *out = kVersion;
    return true;
}
