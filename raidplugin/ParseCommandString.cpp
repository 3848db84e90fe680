#include "CRiver.h"

#include <cstring>

namespace
{
int CountSeparators(const char* text, char separator)
{
    int n = 0;
    for (; *text; ++text)
        n += *text == separator;
    return n;
}
} // namespace

void ParseCommandString(char* text, int& count, char**& fields, char separator)
{
    count = 0;
    fields = nullptr;
    if (!text)
        return;
    // Each field but the first begins after a separator, so there are at
    // most one more fields than separators.
    fields = new char*[CountSeparators(text, separator) + 1];
    char* field = text;
    for (;;)
    {
        // Every field, the first included, may be quoted.
        char* scan = field;
        if (*field == '"')
        {
            char* close = strchr(field + 1, '"');
            fields[count] = field + 1;
            if (!close)
                return;
            *close = 0;
            scan = close + 1;
        }
        else
            fields[count] = field;
        ++count;
        char* next = strchr(scan, separator);
        if (!next)
            return;
        *next = 0;
        field = next + 1;
    }
}
