#include "IntText.h"

#include <climits>
#include <cstdlib>

bool ParseLeadingInt(const char* text, int& value)
{
    if (!text)
        return false;
    char* end = nullptr;
    const long number = strtol(text, &end, 10);
    if (end == text || number < INT_MIN || number > INT_MAX)
        return false;
    value = static_cast<int>(number);
    return true;
}
