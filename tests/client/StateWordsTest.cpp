#include "StateWords.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// The values the RAID plug-in publishes, by the type of the object whose
// folder holds them, and the word each one reads as.
TEST(StateWordsTest, EveryPublishedValueHasItsWord)
{
    const struct
    {
        const char* type;
        const char* property;
        const char* value;
        const char* word;
    } rows[] = {
        // An array's state and the task it runs.
        {"25", "Status", "0", "functional"},
        {"25", "Status", "-2147483647", "critical"},
        {"25", "Status", "-2147483646", "offline"},
        {"25", "Status", "256", "synchronising"},
        {"25", "Status", "512", "rebuilding"},
        {"25", "Status", "768", "expanding or converting"},
        {"25", "Status", "1536", "RAID 5 initialising"},
        // The same words in their unsigned 32-bit form.
        {"25", "Status", "2147483649", "critical"},
        {"25", "Status", "2147483650", "offline"},
        // The marker of that task.
        {"25", "ThrottleStatus", "1", "running"},
        {"25", "ThrottleStatus", "2", "idle"},
        {"25", "ThrottleStatus", "4", "paused"},
        // A disk's state and its part in an array's task.
        {"21", "Status", "-2147483647", "offline"},
        {"21", "Status", "256", "free or spare"},
        {"21", "Status", "512", "assigned"},
        {"21", "Rebuild", "0", "idle"},
        {"21", "Rebuild", "1", "rebuilding"},
        {"21", "Convert", "3", "converting"},
        {"21", "Raid5Initialize", "4", "RAID 5 initialising"},
        {"21", "Convert", "0", "idle"},
        {"21", "Raid5Initialize", "1", "rebuilding"},
        // An enclosure's own status stays 0; its buzzer is on its channel.
        {"17", "Status", "0", "not reported"},
        {"7", "BuzzStatus", "0", "off"},
        {"7", "BuzzStatus", "1", "on"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.word, halsen::StateWord(row.type, row.property, row.value))
            << row.type << " " << row.property << " " << row.value;
}

// A word is given only where the value is known to mean it.
TEST(StateWordsTest, OtherValuesFoldersAndTextsHaveNone)
{
    const struct
    {
        const char* type;
        const char* property;
        const char* value;
    } rows[] = {
        {"21", "Status", "0"},            // no disk state is 0
        {"25", "Status", "1"},            // no array state either
        {"25", "ThrottleStatus", "0"},
        {"21", "Rebuild", "2"},
        {"17", "Status", "1"},
        {"26", "Status", "0"},            // an adapter has no such state
        {"20", "Status", "512"},          // nor a channel
        {"14", "Status", "-2147483647"},
        {"25", "percent", "512"},         // not a state
        {"25", "status", "0"},            // names are matched exactly
        {"25", "Status", "512 "},
        {"25", "Status", " 512"},
        {"25", "Status", "0x200"},
        {"25", "Status", ""},
        {"25", "Status", "4294967296"},   // beyond 32 bits
        {"25", "Status", "-2147483649"},
        {"", "Status", "0"},              // the folder's type unknown
        {"array", "Status", "0"},
    };
    for (const auto& row : rows)
        EXPECT_EQ("", halsen::StateWord(row.type, row.property, row.value))
            << row.type << " " << row.property << " '" << row.value << "'";
}
} // namespace
