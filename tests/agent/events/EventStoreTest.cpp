#include "CEventEnum.h"
#include "CEventFile.h"
#include "CLog.h"
#include "EventsTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
const char kFolder[] = "/MV7000/Adapter0";
const char kLogPath[] = "/var/log/tavrine/MV7000/Adapter0/Adapter0.log";

void WriteBytes(const char* path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

uint32_t WordAt(const std::string& bytes, size_t offset)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes.at(offset + i));
    return v;
}

std::string EventText(int n, const std::string& detail = "")
{
    return std::to_string(512 + n % 18) + "@" + std::to_string(1000 + n) + "@" +
           std::to_string(1 + n % 3) + "@Event " + std::to_string(n) + "@" +
           (detail.empty() ? "detail " + std::to_string(n) : detail);
}

bool StoreEvent(const std::string& text, const char* folder = kFolder)
{
    CLog log(nullptr, folder, text.c_str());
    return log.Store();
}

// An enumeration held open across the steps of a test, as one request
// holds it while its lines go out.
class HeldWalk
{
public:
    HeldWalk(unsigned long flags, unsigned long pos = 0, unsigned long magic = 0,
             const char* folder = kFolder)
        : m_nPos(pos), m_nMagic(magic),
          m_pEnum(CEventEnum::Open(nullptr, folder, m_nPos, m_nMagic, flags))
    {
    }
    ~HeldWalk() { delete m_pEnum; }
    HeldWalk(const HeldWalk&) = delete;
    HeldWalk& operator=(const HeldWalk&) = delete;

    bool Opened() const { return m_pEnum != nullptr; }
    // At most `limit` more records (0: all that are left).
    std::vector<std::string> Read(int limit = 0)
    {
        std::vector<std::string> events;
        CString text;
        while ((limit == 0 || static_cast<int>(events.size()) < limit) && m_pEnum->GetNext(text))
            events.push_back(text.GetBuffer());
        return events;
    }
    // Where to resume, as the closing line of a listing gives it.
    void Close(unsigned long& pos, unsigned long& magic)
    {
        m_pEnum->Close(m_nPos, m_nMagic);
        pos = m_nPos;
        magic = m_nMagic;
    }

private:
    unsigned long m_nPos;
    unsigned long m_nMagic;
    CEventEnum* m_pEnum;
};

struct Walk
{
    std::vector<std::string> events;
    unsigned long pos;
    unsigned long magic;
    bool opened;
};

// One listing as a management server asks for it: resume at pos/magic,
// read at most `limit` records (0: all), then close the enumeration.
Walk List(unsigned long flags, int limit, unsigned long pos = 0, unsigned long magic = 0,
          const char* folder = kFolder)
{
    Walk walk{{}, pos, magic, false};
    HeldWalk held(flags, pos, magic, folder);
    if (!held.Opened())
        return walk;
    walk.opened = true;
    walk.events = held.Read(limit);
    held.Close(walk.pos, walk.magic);
    return walk;
}

std::vector<std::string> Texts(const std::vector<int>& numbers)
{
    std::vector<std::string> texts;
    for (int n : numbers)
        texts.push_back(EventText(n));
    return texts;
}

class EventStoreTest : public testing::Test
{
protected:
    void SetUp() override { RequireSandbox(); }

    void StoreMany(int n)
    {
        for (int i = 1; i <= n; ++i)
            ASSERT_TRUE(StoreEvent(EventText(i)));
    }
};

TEST_F(EventStoreTest, FirstStoreMakesDirectoriesHeaderAndLinkedRecord)
{
    mode_t old = umask(0);
    time_t before = time(nullptr);
    ASSERT_TRUE(StoreEvent("512@1000@1@Title@Detail"));
    umask(old);
    std::string bytes = ReadBytes(kLogPath);
    ASSERT_EQ(bytes.size(), 79u);
    EXPECT_EQ(WordAt(bytes, 0), 1u);
    EXPECT_GE(WordAt(bytes, 4), static_cast<uint32_t>(before));
    EXPECT_LE(WordAt(bytes, 4), static_cast<uint32_t>(time(nullptr)) + 1);
    EXPECT_EQ(bytes.substr(8, 24), std::string("Tavrine Technology,Inc.\0", 24));
    EXPECT_EQ(WordAt(bytes, 32), 0u);
    EXPECT_EQ(WordAt(bytes, 36), 0u);
    EXPECT_EQ(WordAt(bytes, 40), 512u);
    EXPECT_EQ(WordAt(bytes, 44), 1000u);
    EXPECT_EQ(WordAt(bytes, 48), 1u);
    EXPECT_EQ(WordAt(bytes, 52), 5u);
    EXPECT_EQ(bytes.substr(56, 5), "Title");
    EXPECT_EQ(WordAt(bytes, 61), 6u);
    EXPECT_EQ(bytes.substr(65, 6), "Detail");
    EXPECT_EQ(WordAt(bytes, 71), 75u);
    EXPECT_EQ(WordAt(bytes, 75), 36u);

    struct stat st;
    ASSERT_EQ(stat(kLogPath, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    ASSERT_TRUE(StoreEvent("513@1001@2@T2@D2"));
    bytes = ReadBytes(kLogPath);
    EXPECT_EQ(WordAt(bytes, 75), 36u) << "the old final word links the new record";
    EXPECT_EQ(WordAt(bytes, bytes.size() - 4), 75u);
    EXPECT_EQ(WordAt(bytes, bytes.size() - 8), bytes.size() - 4);
    CLog log(nullptr, kFolder, nullptr);
    EXPECT_EQ(log.GetEventHead(), 75u);
    EXPECT_EQ(log.GetMagicWord(), WordAt(bytes, 4));
}

TEST_F(EventStoreTest, RootFolderLogIsDotLogInTheLogDirectory)
{
    ASSERT_TRUE(StoreEvent(EventText(1), "/"));
    EXPECT_EQ(ReadBytes("/var/log/tavrine/.log").size(), 36u + 4 + 12 + 4 + 7 + 4 + 8 + 8);
    EXPECT_EQ(List(CLog::kForward, 0, 0, 0, "/").events, Texts({1}));
}

struct ListCase
{
    const char* name;
    unsigned long flags;
    int limit;
    std::vector<std::vector<int>> pages;
};

const ListCase kListCases[] = {
    {"forward, no limit", CLog::kForward, 0, {{1, 2, 3, 4, 5}}},
    {"forward by two", CLog::kForward, 2, {{1, 2}, {3, 4}, {5}}},
    {"forward by five", CLog::kForward, 5, {{1, 2, 3, 4, 5}}},
    {"forward by seven", CLog::kForward, 7, {{1, 2, 3, 4, 5}}},
    {"backward, no limit", 0, 0, {{5, 4, 3, 2, 1}}},
    {"backward by two", 0, 2, {{5, 4}, {3, 2}, {1}}},
    {"backward by one", 0, 1, {{5}, {4}, {3}, {2}, {1}}},
};

// Each page resumes where the one before stopped; the page that delivers
// the last record in its direction gives back position 0.
TEST_F(EventStoreTest, EnumeratesForwardAndBackwardInPages)
{
    StoreMany(5);
    for (const ListCase& c : kListCases)
    {
        SCOPED_TRACE(c.name);
        unsigned long pos = 0, magic = 0;
        for (size_t i = 0; i < c.pages.size(); ++i)
        {
            std::vector<int> numbers = c.pages[i];
            Walk walk = List(c.flags, c.limit, pos, magic);
            ASSERT_TRUE(walk.opened);
            std::vector<std::string> expected;
            for (int n : numbers)
                expected.push_back(EventText(n));
            EXPECT_EQ(walk.events, expected) << "page " << i;
            EXPECT_EQ(walk.magic, CLog(nullptr, kFolder, nullptr).GetMagicWord());
            EXPECT_EQ(walk.pos == 0, i + 1 == c.pages.size()) << "page " << i;
            pos = walk.pos;
            magic = walk.magic;
        }
    }
}

TEST_F(EventStoreTest, ForwardResumeSeesRecordsStoredMeanwhile)
{
    StoreMany(2);
    Walk first = List(CLog::kForward, 1);
    ASSERT_EQ(first.events, Texts({1}));
    ASSERT_TRUE(StoreEvent(EventText(3)));
    EXPECT_EQ(List(CLog::kForward, 0, first.pos, first.magic).events, Texts({2, 3}));
}

TEST_F(EventStoreTest, NoLogNoEnumeration)
{
    EXPECT_FALSE(List(CLog::kForward, 0).opened);
    EXPECT_FALSE(List(0, 0).opened);
    CLog log(nullptr, kFolder, nullptr);
    EXPECT_EQ(log.GetMagicWord(), 0u);
    EXPECT_EQ(log.GetEventHead(), 0u);
    EXPECT_FALSE(log.ClearEvent());
    unsigned long pos = 36;
    EXPECT_FALSE(log.LoadNext(pos, CLog::kForward));
}

TEST_F(EventStoreTest, ClearDuringAnEnumerationRefusesToResume)
{
    StoreMany(3);
    Walk first = List(CLog::kForward, 1);
    ASSERT_EQ(first.events, Texts({1}));
    CLog log(nullptr, kFolder, nullptr);
    EXPECT_TRUE(log.ClearEvent());
    EXPECT_FALSE(List(CLog::kForward, 0, first.pos, first.magic).opened);
    EXPECT_FALSE(log.ClearEvent());

    // Made anew within the same second, the log still has a new magic word.
    ASSERT_TRUE(StoreEvent(EventText(9)));
    EXPECT_NE(log.GetMagicWord(), first.magic);
    EXPECT_FALSE(List(CLog::kForward, 0, first.pos, first.magic).opened);
    Walk fresh = List(CLog::kForward, 0);
    EXPECT_EQ(fresh.events, Texts({9}));
}

// A walk holds its log open across its records, and still finds the
// records stored after it opened when it goes forward past the newest one.
// A backward walk starts at the newest record of its opening and goes
// older, whatever is stored meanwhile.
TEST_F(EventStoreTest, OpenWalkAndResumedWalkAfterStores)
{
    StoreMany(2);
    HeldWalk forward(CLog::kForward);
    HeldWalk backward(0);
    ASSERT_TRUE(forward.Opened() && backward.Opened());
    EXPECT_EQ(forward.Read(1), Texts({1}));
    EXPECT_EQ(backward.Read(1), Texts({2}));
    ASSERT_TRUE(StoreEvent(EventText(3)));
    EXPECT_EQ(forward.Read(1), Texts({2}));
    ASSERT_TRUE(StoreEvent(EventText(4)));
    EXPECT_EQ(forward.Read(), Texts({3, 4}));
    EXPECT_EQ(backward.Read(), Texts({1}));
    unsigned long pos = 1, magic = 0;
    forward.Close(pos, magic);
    EXPECT_EQ(pos, 0u) << "the walk ran to the end";

    // Pages resumed with stores between them, in both directions.
    Walk page = List(CLog::kForward, 2);
    ASSERT_EQ(page.events, Texts({1, 2}));
    Walk older = List(0, 2);
    ASSERT_EQ(older.events, Texts({4, 3}));
    ASSERT_TRUE(StoreEvent(EventText(5)));
    page = List(CLog::kForward, 2, page.pos, page.magic);
    EXPECT_EQ(page.events, Texts({3, 4}));
    older = List(0, 0, older.pos, older.magic);
    EXPECT_EQ(older.events, Texts({2, 1}));
    EXPECT_EQ(older.pos, 0u);
    ASSERT_TRUE(StoreEvent(EventText(6)));
    EXPECT_EQ(List(CLog::kForward, 0, page.pos, page.magic).events, Texts({5, 6}));
}

struct ReplaceCase
{
    const char* name;
    unsigned long flags;
    bool madeAnew;
    int first;
    std::vector<int> rest;
};

const ReplaceCase kReplaceCases[] = {
    {"forward, cleared", CLog::kForward, false, 1, {2, 3}},
    {"forward, cleared and made anew", CLog::kForward, true, 1, {2, 3}},
    {"backward, cleared", 0, false, 3, {2, 1}},
    {"backward, cleared and made anew", 0, true, 3, {2, 1}},
};

// A log cleared, or cleared and made anew, while a walk holds it open: the
// walk reads the records of the log it opened to their end, none of the new
// one, and where it stopped cannot be resumed on the new log.
TEST_F(EventStoreTest, WalkHoldsTheLogItOpenedWhenTheLogIsReplaced)
{
    for (const ReplaceCase& c : kReplaceCases)
    {
        SCOPED_TRACE(c.name);
        unlink(kLogPath);
        StoreMany(3);
        HeldWalk walk(c.flags);
        ASSERT_TRUE(walk.Opened());
        EXPECT_EQ(walk.Read(1), Texts({c.first}));
        CLog log(nullptr, kFolder, nullptr);
        ASSERT_TRUE(log.ClearEvent());
        if (c.madeAnew)
        {
            ASSERT_TRUE(StoreEvent(EventText(9)));
        }
        EXPECT_EQ(walk.Read(), Texts(c.rest));
        unsigned long pos = 0, magic = 0;
        walk.Close(pos, magic);
        EXPECT_NE(magic, log.GetMagicWord());
        // The walk ran to its end (position 0); a position of the old log
        // with its magic word is refused too.
        EXPECT_EQ(pos, 0u);
        EXPECT_FALSE(List(c.flags, 0, CEventFile::kHeaderSize, magic).opened);
        EXPECT_EQ(List(c.flags, 0).events, c.madeAnew ? Texts({9}) : Texts({}));
    }
}

// Text lengths that put records of every size across the edges of the
// windows a walk reads the log in: the smallest, the longest stored, ones
// cut to the longest, and sizes around the first window's.
const int kTextLengths[] = {1, 37, 8192, 4090, 8191, 9000, 600, 4096, 8193, 2, 12000, 3000};

std::string SizedText(int n, size_t title, size_t detail)
{
    return std::to_string(512 + n % 18) + "@" + std::to_string(1000 + n) + "@" +
           std::to_string(1 + n % 3) + "@" + std::string(title, static_cast<char>('a' + n % 26)) +
           "@" + std::string(detail, static_cast<char>('A' + n % 26));
}

// A whole listing in pages of `limit` records, each resumed where the one
// before stopped.
std::vector<std::string> Pages(unsigned long flags, int limit)
{
    std::vector<std::string> all;
    unsigned long pos = 0, magic = 0;
    // Bounded, so that a resume that goes round in circles fails the test
    // instead of hanging it.
    for (int pages = 0; pages < 1000; ++pages)
    {
        Walk page = List(flags, limit, pos, magic);
        if (!page.opened || page.events.empty())
            break;
        all.insert(all.end(), page.events.begin(), page.events.end());
        pos = page.pos;
        magic = page.magic;
        if (pos == 0)
            break;
    }
    return all;
}

TEST_F(EventStoreTest, RecordsOfEverySizeReadWholeAcrossTheReadWindows)
{
    const size_t n = sizeof kTextLengths / sizeof kTextLengths[0];
    std::vector<std::string> stored;
    for (int i = 0; i < 40; ++i)
    {
        const size_t title = static_cast<size_t>(kTextLengths[i % n]);
        const size_t detail = static_cast<size_t>(kTextLengths[(i * 5 + 3) % n]);
        ASSERT_TRUE(StoreEvent(SizedText(i, title, detail)));
        stored.push_back(SizedText(i, title < 8192 ? title : 8192, detail < 8192 ? detail : 8192));
    }
    const std::vector<std::string> newestFirst(stored.rbegin(), stored.rend());
    EXPECT_GT(ReadBytes(kLogPath).size(), 4u * 65536);
    EXPECT_EQ(List(CLog::kForward, 0).events, stored);
    EXPECT_EQ(List(0, 0).events, newestFirst);
    for (int limit : {1, 3, 7})
    {
        SCOPED_TRACE(limit);
        EXPECT_EQ(Pages(CLog::kForward, limit), stored);
        EXPECT_EQ(Pages(0, limit), newestFirst);
    }
}

TEST_F(EventStoreTest, TextsOfTheLongestLengthReadBack)
{
    struct
    {
        size_t title, detail;
    } const cases[] = {{8192, 8192}, {8192, 0}, {1, 8192}, {8191, 8191}, {8192, 1}};
    std::vector<std::string> stored;
    int i = 0;
    for (auto c : cases)
    {
        ASSERT_TRUE(StoreEvent(SizedText(i, c.title, c.detail)));
        stored.push_back(SizedText(i++, c.title, c.detail));
    }
    EXPECT_EQ(List(CLog::kForward, 0).events, stored);
    EXPECT_EQ(List(0, 0).events, std::vector<std::string>(stored.rbegin(), stored.rend()));
    EXPECT_EQ(Pages(CLog::kForward, 2), stored);
}

// A header whose magic word was wiped reads as no log, so a store into it
// would be taken and never listed: the file is kept aside instead.
TEST_F(EventStoreTest, LogWithoutMagicWordIsSetAsideAndMadeAnew)
{
    StoreMany(2);
    std::string damaged = ReadBytes(kLogPath);
    damaged.replace(4, 4, std::string(4, '\0'));
    WriteBytes(kLogPath, damaged);
    EXPECT_FALSE(List(0, 0).opened);

    ASSERT_TRUE(StoreEvent(EventText(3)));
    EXPECT_EQ(List(0, 0).events, Texts({3}));
    EXPECT_EQ(ReadBytes((std::string(kLogPath) + ".bad").c_str()), damaged);
}

TEST_F(EventStoreTest, PositionsOutsideTheRecordsReadNothing)
{
    StoreMany(2);
    CLog log(nullptr, kFolder, nullptr);
    long size = static_cast<long>(ReadBytes(kLogPath).size());
    for (unsigned long pos : {0ul, 1ul, 35ul, static_cast<unsigned long>(size - 4),
                              static_cast<unsigned long>(size), 0x100000000ul})
    {
        unsigned long p = pos;
        EXPECT_FALSE(log.LoadNext(p, CLog::kForward)) << pos;
    }
}

TEST_F(EventStoreTest, LongTextsAreCutAndReadBack)
{
    std::string detail(9000, 'd');
    ASSERT_TRUE(StoreEvent(EventText(1, detail)));
    ASSERT_TRUE(StoreEvent(EventText(2)));
    std::vector<std::string> events = List(CLog::kForward, 0).events;
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], EventText(1, std::string(8192, 'd')));
    EXPECT_EQ(events[1], EventText(2));
}

// Every way an append can be cut short, a kill at any byte of it, leaves
// the records that were there before, and the next store carries on from
// them.
TEST_F(EventStoreTest, InterruptedStoreLeavesTheLogAsItWas)
{
    StoreMany(2);
    const std::string before = ReadBytes(kLogPath);
    ASSERT_TRUE(StoreEvent(EventText(3)));
    const std::string after = ReadBytes(kLogPath);
    for (size_t cut = before.size() + 1; cut < after.size(); ++cut)
    {
        SCOPED_TRACE(cut);
        WriteBytes(kLogPath, after.substr(0, cut));
        EXPECT_EQ(List(CLog::kForward, 0).events, Texts({1, 2}));
        EXPECT_EQ(List(0, 0).events, Texts({2, 1}));
        ASSERT_TRUE(StoreEvent(EventText(4)));
        EXPECT_EQ(List(0, 0).events, Texts({4, 2, 1}));
        std::string repaired = ReadBytes(kLogPath);
        EXPECT_EQ(repaired.substr(0, before.size()), before);
        EXPECT_EQ(repaired.size(), after.size());
    }
}

TEST_F(EventStoreTest, InterruptedFirstStoreLeavesAnEmptyLog)
{
    ASSERT_TRUE(StoreEvent(EventText(1)));
    const std::string one = ReadBytes(kLogPath);
    for (size_t cut : {size_t(36), size_t(40), size_t(60), one.size() - 1})
    {
        WriteBytes(kLogPath, one.substr(0, cut));
        EXPECT_EQ(List(CLog::kForward, 0).events, Texts({})) << cut;
        ASSERT_TRUE(StoreEvent(EventText(2)));
        EXPECT_EQ(List(0, 0).events, Texts({2})) << cut;
    }
    // A file too short for a header is no log: a store starts it afresh.
    WriteBytes(kLogPath, one.substr(0, 20));
    EXPECT_FALSE(List(CLog::kForward, 0).opened);
    ASSERT_TRUE(StoreEvent(EventText(3)));
    EXPECT_EQ(List(CLog::kForward, 0).events, Texts({3}));
}

// Bytes after the records longer than any append are not left by a cut
// store; the records before them are still found and kept.
TEST_F(EventStoreTest, LongGarbageAfterTheRecordsIsSkipped)
{
    StoreMany(2);
    const std::string before = ReadBytes(kLogPath);
    WriteBytes(kLogPath, before + std::string(20000, '\x24'));
    EXPECT_EQ(List(0, 0).events, Texts({2, 1}));
    ASSERT_TRUE(StoreEvent(EventText(3)));
    EXPECT_EQ(List(CLog::kForward, 0).events, Texts({1, 2, 3}));
    EXPECT_EQ(ReadBytes(kLogPath).substr(0, before.size()), before);
}

// A writer killed at random moments while it stores large records.
TEST_F(EventStoreTest, KilledWriterLeavesEveryRecordWhole)
{
    const std::string detail(8000, 'k');
    size_t stored = 0;
    for (int round = 0; round < 5; ++round)
    {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            for (int i = 0;; ++i)
                StoreEvent(EventText(i, detail));
        }
        usleep(2000 + 3000 * round);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        std::vector<std::string> events = List(0, 0).events;
        EXPECT_GE(events.size(), stored);
        for (const std::string& e : events)
            ASSERT_TRUE(e == EventText(99) || e.find("@" + detail) != std::string::npos)
                << "a damaged record in round " << round;
        ASSERT_TRUE(StoreEvent(EventText(99)));
        ASSERT_EQ(List(0, 1).events, Texts({99}));
        stored = events.size() + 1;
    }
}

// On a full disk the store fails and the log keeps what it had.
TEST_F(EventStoreTest, FullDiskFailsTheStoreCleanly)
{
    FullDisk disk("/var/log/tavrine/Full");
    ASSERT_TRUE(StoreEvent(EventText(1), "/Full"));
    disk.Fill();
    const std::string before = ReadBytes("/var/log/tavrine/Full/Full.log");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(StoreEvent(EventText(2, std::string(8000, 'x')), "/Full"));
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "Can not store the event in /var/log/tavrine/Full/Full.log"),
              std::string::npos);
    EXPECT_EQ(ReadBytes("/var/log/tavrine/Full/Full.log"), before);
    EXPECT_EQ(List(0, 0, 0, 0, "/Full").events, Texts({1}));

    disk.Free();
    ASSERT_TRUE(StoreEvent(EventText(3), "/Full"));
    EXPECT_EQ(List(CLog::kForward, 0, 0, 0, "/Full").events, Texts({1, 3}));
}
} // namespace
