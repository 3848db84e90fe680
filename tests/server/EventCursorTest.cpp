#include "EventCursor.h"

#include <gtest/gtest.h>

namespace
{
using halsend::EventCursor;
using halsend::EventRecord;

std::string Event(int id, const std::string& title, const std::string& detail)
{
    return "ReadEvent@0@" + std::to_string(id) + "@1700000000@1@" + title + "@" + detail;
}

std::string CursorLine(unsigned long position, unsigned long magic)
{
    return "ReadEvent@255@256@" + std::to_string(position) + "@" + std::to_string(magic);
}

TEST(EventText, SplitsFieldsAndKeepsAtSignsInTheDetail)
{
    EventRecord r;
    ASSERT_TRUE(halsend::ParseEventText("512@1700000000@2@Drv. Fail@disk 2@ch1", r));
    EXPECT_EQ(r.id, 512);
    EXPECT_EQ(r.time, 1700000000);
    EXPECT_EQ(r.severity, 2);
    EXPECT_EQ(r.title, "Drv. Fail");
    EXPECT_EQ(r.detail, "disk 2@ch1");
    EXPECT_EQ(halsend::RecordSize(r), 28u + 9 + 10);
    EXPECT_FALSE(halsend::ParseEventText("x@1@2@t@d", r));
    EXPECT_FALSE(halsend::ParseEventText("1@2", r));
}

TEST(EventCursor, FirstReadStartsAtTheOldestAndAsksForwardInBatches)
{
    EventCursor cursor;
    EXPECT_EQ(cursor.Arguments(200), "0@-200@0");
}

// The agent gives the last delivered record's position back unless the
// read reached the newest record; then the cursor works it out itself.
TEST(EventCursor, WorksOutThePositionWhenTheReadReachedTheEnd)
{
    EventCursor cursor;
    std::vector<EventRecord> fresh;
    const std::string a = Event(512, "Drv. Fail", "x"), b = Event(523, "Rebuild Complete", "yy");
    EXPECT_EQ(cursor.Take({a, b, CursorLine(0, 77)}, fresh), EventCursor::kTaken);
    ASSERT_EQ(fresh.size(), 2u);
    // 36 is the first record; the second follows the first's 28 + 9 + 1 bytes.
    EXPECT_EQ(cursor.Position(), 36u + 38);
    EXPECT_EQ(cursor.Magic(), 77u);
    EXPECT_EQ(cursor.Arguments(5), "74@-5@77");
    fresh.clear();
    EXPECT_EQ(cursor.Take({CursorLine(0, 77)}, fresh), EventCursor::kTaken);
    EXPECT_TRUE(fresh.empty());
    EXPECT_EQ(cursor.Position(), 74u);
    EXPECT_EQ(cursor.Take({Event(256, "t", ""), CursorLine(0, 77)}, fresh), EventCursor::kTaken);
    // After the record at 74 (28 + 16 + 2 bytes).
    EXPECT_EQ(cursor.Position(), 74u + 46);
}

TEST(EventCursor, TakesTheAgentsPositionWhenItGivesOne)
{
    EventCursor cursor;
    std::vector<EventRecord> fresh;
    cursor.Take({Event(512, "a", "b"), Event(513, "c", "d"), CursorLine(66, 9)}, fresh);
    EXPECT_EQ(cursor.Position(), 66u);
    EXPECT_EQ(cursor.Arguments(2), "66@-2@9");
}

TEST(EventCursor, TellsANewLogAndAMissingOne)
{
    EventCursor cursor;
    std::vector<EventRecord> fresh;
    EXPECT_EQ(cursor.Take({}, fresh), EventCursor::kNoLog);
    cursor.Take({Event(512, "a", "b"), CursorLine(0, 9)}, fresh);
    EXPECT_EQ(cursor.Take({"800@Functional@ReadEvent@36@-200@9"}, fresh), EventCursor::kRestart);
    EXPECT_EQ(cursor.Arguments(200), "0@-200@0");
}
} // namespace
