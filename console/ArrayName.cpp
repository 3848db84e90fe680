#include "ArrayName.h"

#include <cstring>

const char* ArrayNameProblem(const char* name)
{
    size_t length = strlen(name);
    if (length == 0 || strspn(name, " ") == length)
        return "The array name is empty.";
    if (length > static_cast<size_t>(kMaxArrayName))
        return "The array name is longer than 31 characters.";
    for (const char* c = name; *c; c++)
        if (static_cast<unsigned char>(*c) < 0x20 || static_cast<unsigned char>(*c) > 0x7E)
            return "The array name may hold only letters, digits, spaces and punctuation.";
    return nullptr;
}
