// Feeds arbitrary bytes to a profile file, reads the entries the agent and
// the plug-in read, rewrites some and checks that every value written reads
// back and that the entries not written keep their values.

#include "CProfile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace
{
const std::string& Path()
{
    static const std::string path = "/tmp/fuzz-profile-" + std::to_string(getpid()) + ".rc";
    return path;
}

struct Entry
{
    const char* section;
    const char* key;
};

// Entries the system reads from its profile.
const Entry kEntries[] = {
    {"Morliven", "NumOfDevice"}, {"Morliven", "Device1"}, {"Morliven", "Path1"},
    {"LogFile", "MaxNumber"},    {"LogFile", "NextNumber"}, {"Location", "Value1"},
    {"LogEvent", "EmailNotice"}, {"E-Mail log", "SMTP"},    {"MV7000", "WRITEBACKCACHE"},
};
const size_t kNumEntries = sizeof kEntries / sizeof kEntries[0];

std::string Value(CProfile& profile, const Entry& entry)
{
    CString value;
    profile.GetProfile(entry.section, entry.key, value);
    return value.GetBuffer();
}

void Check(bool condition, const char* what, const Entry& entry)
{
    if (condition)
        return;
    fprintf(stderr, "profile fuzz: %s for [%s] %s\n", what, entry.section, entry.key);
    abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    // The first byte picks which entry is written and with what value.
    if (size == 0)
        return 0;
    const Entry& written = kEntries[data[0] % kNumEntries];
    const std::string value = "v" + std::to_string(data[0]) + "=x";
    FILE* f = fopen(Path().c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data + 1, 1, size - 1, f);
    fclose(f);

    std::string before[kNumEntries];
    {
        CProfile profile(Path().c_str());
        for (size_t i = 0; i < kNumEntries; ++i)
            before[i] = Value(profile, kEntries[i]);
        int number = 0;
        profile.GetProfile("LogFile", "MaxNumber", &number);
        profile.WriteProfile(written.section, written.key, value.c_str());
    }
    CProfile again(Path().c_str());
    for (size_t i = 0; i < kNumEntries; ++i)
    {
        const Entry& entry = kEntries[i];
        if (&entry == &written)
            Check(Value(again, entry) == value, "written value does not read back", entry);
        else
            Check(Value(again, entry) == before[i], "an entry not written changed", entry);
    }
    return 0;
}
