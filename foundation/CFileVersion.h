#pragma once

#include "CObject.h"

// Hands out the library's version text.
class CFileVersion : public CObject
{
public:
    bool GetString(const char* key, char** out, unsigned long* len, unsigned long flags);
};
