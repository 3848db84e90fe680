#pragma once

#include "CString.h"

#include <unistd.h>

// This machine's host name, at most 31 characters: a longer one is cut.
inline CString ReadMachineHostName()
{
    char name[32] = {};
    gethostname(name, sizeof name - 1);
    name[sizeof name - 1] = '\0';
    return CString(name);
}
