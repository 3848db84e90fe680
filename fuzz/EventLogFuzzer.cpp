// Feeds arbitrary bytes to the agent as a folder's event log file, walks it
// forward and backward as the management servers list it, then stores a new
// event and checks that the walk backward begins with it.

#include "CEventEnum.h"
#include "CLog.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace
{
const char kFolder[] = "/MV7000/Adapter0";
const char kEvent[] = "520@1700000000@2@Fuzzed title@Fuzzed detail";

// Reads the whole log in one direction; returns the first text read.
std::string Walk(unsigned long flags, unsigned long& count)
{
    unsigned long pos = 0, magic = 0;
    std::string first;
    count = 0;
    CEventEnum* pEnum = CEventEnum::Open(nullptr, kFolder, pos, magic, flags);
    if (!pEnum)
        return first;
    CString text;
    while (pEnum->GetNext(text))
    {
        if (count++ == 0)
            first = text.GetBuffer();
    }
    pEnum->Close(pos, magic);
    delete pEnum;
    return first;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    static const std::string path = [] {
        CLog log(nullptr, kFolder, nullptr);
        return std::string(log.GetPath().GetBuffer());
    }();
    mkdir("/var/log/tavrine", 0700);
    mkdir("/var/log/tavrine/MV7000", 0700);
    mkdir("/var/log/tavrine/MV7000/Adapter0", 0700);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);

    // On a damaged log the two directions may see different records, but
    // neither may come round again: every record takes bytes of its own.
    unsigned long forward = 0, backward = 0;
    Walk(CLog::kForward, forward);
    Walk(0, backward);
    if (forward > size / 16 || backward > size / 16)
    {
        fprintf(stderr, "event log fuzz: %lu records forward, %lu backward in %zu bytes\n", forward, backward,
                size);
        abort();
    }

    CLog event(nullptr, kFolder, kEvent);
    if (event.Store())
    {
        const std::string newest = Walk(0, backward);
        if (newest != kEvent)
        {
            fprintf(stderr, "event log fuzz: newest record is \"%s\"\n", newest.c_str());
            abort();
        }
    }
    return 0;
}
