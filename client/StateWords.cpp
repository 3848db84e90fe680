#include "StateWords.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace halsen
{
namespace
{
// Type numbers of the objects whose values have words.
const long kTypeEnclosureChannel = 7;
const long kTypeEnclosure = 17;
const long kTypeDisk = 21;
const long kTypeArray = 25;

// The status words of the plug-in: 0x80000001 and 0x80000002 as signed
// 32-bit numbers.
const long kDegraded = -2147483647L;
const long kOffline = -2147483646L;

struct Word
{
    long value;
    const char* word;
};

// One set of words, shared by the properties named.
struct WordSet
{
    long type;
    std::vector<const char*> properties;
    std::vector<Word> words;
};

const std::vector<WordSet>& WordSets()
{
    static const std::vector<WordSet> sets = {
        {kTypeArray,
         {"Status"},
         {{0, "functional"},
          {kDegraded, "critical"},
          {kOffline, "offline"},
          {256, "synchronising"},
          {512, "rebuilding"},
          {768, "expanding or converting"},
          {1536, "RAID 5 initialising"}}},
        {kTypeArray, {"ThrottleStatus"}, {{1, "running"}, {2, "idle"}, {4, "paused"}}},
        {kTypeDisk, {"Status"}, {{kDegraded, "offline"}, {256, "free or spare"}, {512, "assigned"}}},
        {kTypeDisk,
         {"Rebuild", "Convert", "Raid5Initialize"},
         {{0, "idle"}, {1, "rebuilding"}, {3, "converting"}, {4, "RAID 5 initialising"}}},
        // The plug-in does not watch an enclosure as a whole: its state is
        // in its fan, temperature and voltages, and this stays 0.
        {kTypeEnclosure, {"Status"}, {{0, "not reported"}}},
        {kTypeEnclosureChannel, {"BuzzStatus"}, {{0, "off"}, {1, "on"}}},
    };
    return sets;
}

// The whole text, digits with an optional minus, as a 32-bit number read
// signed.
bool ToStatus(const std::string& text, long& out)
{
    const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() <= digits || text[digits] < '0' || text[digits] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    long long value = strtoll(text.c_str(), &end, 10);
    if (*end || errno || value < -2147483648LL || value > 4294967295LL)
        return false;
    if (value > 2147483647LL)
        value -= 4294967296LL;
    out = static_cast<long>(value);
    return true;
}

bool Names(const WordSet& set, const std::string& property)
{
    for (const char* name : set.properties)
    {
        if (property == name)
            return true;
    }
    return false;
}
} // namespace

std::string StateWord(const std::string& folderType, const std::string& property, const std::string& value)
{
    long type = 0, status = 0;
    if (!ToStatus(folderType, type) || !ToStatus(value, status))
        return "";
    for (const WordSet& set : WordSets())
    {
        if (set.type != type || !Names(set, property))
            continue;
        for (const Word& w : set.words)
        {
            if (w.value == status)
                return w.word;
        }
    }
    return "";
}
} // namespace halsen
