// Feeds arbitrary text to halsend's parsers of what HTTP clients send: a
// folder path, an invoke body, and the four fields of an event query (the
// input's lines in turn).

#include "ApiRequest.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string path, problem;
    halsend::ParseFolderPath(text, path, problem);
    halsend::InvokeRequest invoke;
    if (halsend::ParseInvokeBody(text, invoke, problem) && invoke.method.empty())
        __builtin_trap();
    std::vector<std::string> fields(4);
    size_t field = 0;
    for (char c : text)
    {
        if (c == '\n' && field < 3)
            ++field;
        else
            fields[field] += c;
    }
    halsen::EventQuery query;
    if (halsend::ParseEventsQuery(fields[0], fields[1], fields[2], fields[3], path, query, problem) &&
        (query.limit < 1 || query.limit > 1000))
        __builtin_trap();
    return 0;
}
