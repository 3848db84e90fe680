#include "FolderClient.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
TEST(EntryTest, ParsedAtTheFirstTwoSeparatorsAndPrintedByKind)
{
    const struct
    {
        const char* text;
        const char* name;
        const char* attribute;
        const char* value;
        const char* line;
    } rows[] = {
        {"Model@pr-@TR-1000", "Model", "pr-", "TR-1000", "pr- Model = TR-1000"},
        {"ReadEvent@m--@4160749567", "ReadEvent", "m--", "4160749567",
         "m-- ReadEvent (rights 4160749567)"},
        {"MVP1@o--@26", "MVP1", "o--", "26", "o-- MVP1 (type 26)"},
        // A value keeps its own separators.
        {"Event@prv@1@2@x", "Event", "prv", "1@2@x", "prv Event = 1@2@x"},
        {"Block Size@prw@", "Block Size", "prw", "", "prw Block Size = "},
        {"@pr-@1", "", "pr-", "1", "pr-  = 1"},
        // Texts that are no entries print as they came.
        {"half@entry", "half@entry", "", "", "half@entry"},
        {"", "", "", "", ""},
    };
    for (const auto& row : rows)
    {
        const halsen::Entry entry = halsen::ParseEntry(row.text);
        EXPECT_EQ(row.name, entry.name) << row.text;
        EXPECT_EQ(row.attribute, entry.attribute) << row.text;
        EXPECT_EQ(row.value, entry.value) << row.text;
        EXPECT_EQ(row.line, halsen::EntryLine(entry)) << row.text;
    }
}
} // namespace
