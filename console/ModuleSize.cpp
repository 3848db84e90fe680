#include "ModuleSize.h"

#include <cstdio>
#include <cstring>

namespace
{
// The second field of the line whose first field is `module`, at most
// `room` characters of it.
bool FindSize(FILE* f, const char* module, char* digits, size_t room)
{
    char line[512];
    size_t nameLength = strlen(module);
    while (fgets(line, sizeof(line), f))
    {
        bool whole = strchr(line, '\n') != nullptr || feof(f);
        if (strncmp(line, module, nameLength) == 0 && line[nameLength] == ' ')
        {
            const char* size = line + nameLength + 1;
            size_t length = strcspn(size, " \n");
            if (length > room)
                length = room;
            memcpy(digits, size, length);
            digits[length] = '\0';
            return true;
        }
        // Skip the rest of a line longer than the buffer.
        while (!whole && fgets(line, sizeof(line), f))
            whole = strchr(line, '\n') != nullptr;
    }
    return false;
}
} // namespace

void ModuleSizeText(const char* path, const char* module, char* text, size_t size)
{
    char digits[16] = "";
    FILE* f = fopen(path, "re");
    if (f)
    {
        FindSize(f, module, digits, 9);
        fclose(f);
    }
    snprintf(text, size, "%sB", digits);
}
