#include "CEventLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
const time_t kReadTime = 1700000000;

rasEvent Event(int type, int level, const char* desc, int aID = -1, int dID = -1)
{
    rasEvent event;
    memset(&event, 0, sizeof event);
    event.eType = static_cast<raeEventType>(type);
    event.eLevel = static_cast<raeEventLevel>(level);
    event.aID = aID;
    event.dID = dID;
    snprintf(event.desc, sizeof event.desc, "%s", desc);
    return event;
}

std::string Take(char* line)
{
    std::unique_ptr<char[]> owned(line);
    return owned ? std::string(owned.get()) : "<none>";
}

std::string LineOf(const rasEvent& event)
{
    tagLOGRECORD record;
    CEventLog::Translate(event, record);
    return Take(CEventLog::FormatLine(record, kReadTime));
}

std::vector<std::string> ReadAll(CEventLog& log)
{
    std::vector<std::string> lines;
    for (unsigned long n = log.GetNewCount(); n > 0; --n)
        lines.push_back(Take(log.ReadNext(kReadTime)));
    return lines;
}

TEST(EventLines, EachDriverEventTypeHasItsCodeAndSubject)
{
    const struct
    {
        int type;
        const char* line;
    } rows[] = {
        {-1, "0@1700000000@3@Unknown Event@d"},
        {0, "0@1700000000@3@ECC Error@d"},
        {1, "256@1700000000@3@Drv. Fail@d"},
        {2, "257@1700000000@3@Dsk. PLUGIN@d"},
        {3, "512@1700000000@3@Ary. Bad Sector@d"},
        {4, "513@1700000000@3@Ary. Rebuild@d"},
        {5, "516@1700000000@3@Array Sync.@d"},
        {6, "0@1700000000@3@Array Convert@d"},
        {7, "518@1700000000@3@Retry Task.@d"},
        {8, "522@1700000000@3@Ary. Critical@d"},
        {9, "521@1700000000@3@Ary. Down@d"},
        {10, "523@1700000000@3@Rebuild Complete@d"},
        {11, "524@1700000000@3@Sync. Complete@d"},
        {12, "0@1700000000@3@Convert Complete@d"},
        {13, "525@1700000000@3@Ary. Disk Error@d"},
        {14, "258@1700000000@3@Reserved Sector Err.@d"},
        {15, "515@1700000000@3@Rebuild Stopped@d"},
        {16, "517@1700000000@3@Sync. Stopped@d"},
        {17, "0@1700000000@3@Convert Stopped@d"},
        {18, "0@1700000000@3@Sync. Compare Error@d"},
        {19, "0@1700000000@3@SMART Error@d"},
        {20, "0@1700000000@3@Swap Power Down@d"},
        {21, "0@1700000000@3@Swap Power Up@d"},
        {22, "0@1700000000@3@Bad Swap@d"},
        {23, "526@1700000000@3@Temperture Error@d"},
        {24, "527@1700000000@3@FAN STOPPED@d"},
        {25, "529@1700000000@3@Voltage Error@d"},
        {26, "528@1700000000@3@Voltage Error@d"},
        {27, "519@1700000000@3@Array Create@d"},
        {28, "520@1700000000@3@Array Delete@d"},
        // A type from a newer driver reads as unknown.
        {29, "0@1700000000@3@Unknown Event@d"},
        {-7, "0@1700000000@3@Unknown Event@d"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.line, LineOf(Event(row.type, reInformational, "d"))) << row.type;
}

TEST(EventLines, TheLevelGivesTheSeverity)
{
    const struct
    {
        int level;
        int severity;
    } rows[] = {{reInformational, 3}, {reWarning, 2}, {reError, 1}, {7, 2}};
    for (const auto& row : rows)
        EXPECT_EQ("256@1700000000@" + std::to_string(row.severity) + "@Drv. Fail@Disk Set Down : HD (1)",
                  LineOf(Event(1, row.level, "Disk Set Down : HD (1)")))
            << row.level;
}

TEST(EventLines, ADescriptionFillingTheDriversFieldIsCutAtItsEnd)
{
    rasEvent event = Event(1, reError, "");
    memset(event.desc, 'x', sizeof event.desc);
    EXPECT_EQ("256@1700000000@1@Drv. Fail@" + std::string(sizeof event.desc - 1, 'x'), LineOf(event));
}

TEST(EventLines, EachEventGoesToTheAdapterItNames)
{
    const struct
    {
        rasEvent event;
        int adapter;
    } rows[] = {
        {Event(8, reWarning, "Array 6, Status Critical", 5), 1},
        {Event(8, reWarning, "Array 2, Status Critical", 1), 0},
        {Event(1, reError, "Disk Set Down : HD (3)", -1, 10), 1},
        {Event(1, reError, "Disk Set Down : HD (3)", -1, 7), 0},
        {Event(24, reError, "Channel 5, .0.000000"), 1},
        {Event(20, reInformational, "Power Down Swap Box in Channel 4, "), 0},
        {Event(27, reInformational, "Create Array arrid = 4"), 1},
        {Event(28, reInformational, "Delete Array arrid = 3"), 0},
        {Event(-1, reInformational, "Unknown Error, Code = 0x80000212"), -1},
        {Event(24, reError, "Channel x"), -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.adapter, CEventLog::AdapterOf(row.event)) << row.event.desc;
}

// Events numbered by their description, "e0", "e1", ...
std::vector<rasEvent> Numbered(int from, int count)
{
    std::vector<rasEvent> events;
    for (int i = from; i < from + count; ++i)
        events.push_back(Event(1, reError, ("e" + std::to_string(i)).c_str()));
    return events;
}

std::string NumberedLine(int i) { return "256@1700000000@1@Drv. Fail@e" + std::to_string(i); }

TEST(EventQueue, BatchesQueueBehindTheUnreadOnesAndReadOldestFirst)
{
    CEventLog log;
    EXPECT_EQ(0u, log.GetNewCount());
    EXPECT_EQ("<none>", Take(log.ReadNext(kReadTime)));
    for (int batch = 0; batch < 3; ++batch)
        log.Append(Numbered(batch * 20, 20).data(), 20);
    log.Append(Numbered(60, 3).data(), 3);
    ASSERT_EQ(63u, log.GetNewCount());
    EXPECT_EQ(NumberedLine(0), Take(log.ReadNext(kReadTime)));
    EXPECT_EQ(62u, log.GetNewCount());
    // A batch arriving between two reads goes behind what is left.
    log.Append(Numbered(63, 2).data(), 2);
    std::vector<std::string> lines = ReadAll(log);
    ASSERT_EQ(64u, lines.size());
    for (int i = 1; i <= 64; ++i)
        EXPECT_EQ(NumberedLine(i), lines[i - 1]);
    EXPECT_EQ(0u, log.GetNewCount());
    EXPECT_EQ("<none>", Take(log.ReadNext(kReadTime)));
}

TEST(EventQueue, AFullLogDropsTheOldestAndSaysHowManyFirst)
{
    CEventLog log;
    const int total = CEventLog::MAX_LOG_RECORDS + 5;
    std::vector<rasEvent> events = Numbered(0, total);
    log.Append(events.data(), total);
    ASSERT_EQ(static_cast<unsigned long>(CEventLog::MAX_LOG_RECORDS) + 1, log.GetNewCount());
    std::vector<std::string> lines = ReadAll(log);
    ASSERT_EQ(static_cast<size_t>(CEventLog::MAX_LOG_RECORDS) + 1, lines.size());
    EXPECT_EQ("0@1700000000@2@Events Lost@5 events were dropped unread: the adapter's event log was full", lines[0]);
    EXPECT_EQ(NumberedLine(5), lines[1]);
    EXPECT_EQ(NumberedLine(total - 1), lines.back());
    // Once told, the loss is not told again.
    log.Append(Numbered(total, 1).data(), 1);
    EXPECT_EQ(std::vector<std::string>{NumberedLine(total)}, ReadAll(log));
}

TEST(EventQueue, ClearDropsTheUnreadAndTheLoss)
{
    CEventLog log;
    std::vector<rasEvent> events = Numbered(0, CEventLog::MAX_LOG_RECORDS + 1);
    log.Append(events.data(), static_cast<int>(events.size()));
    log.Clear();
    EXPECT_EQ(0u, log.GetNewCount());
    log.Append(Numbered(7, 1).data(), 1);
    EXPECT_EQ(std::vector<std::string>{NumberedLine(7)}, ReadAll(log));
}
} // namespace
