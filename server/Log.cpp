#include "Log.h"

#include <cstdio>

namespace halsend
{
void LogLine(const std::string& text)
{
    fprintf(stderr, "halsend: %s\n", text.c_str());
    fflush(stderr);
}
} // namespace halsend
