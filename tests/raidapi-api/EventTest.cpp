// Events queued in the simulated driver, read through the interface.

#include "ApiHelpers.h"

#include <cstring>
#include <string>
#include <vector>

using apitest::NoDriver;
using apitest::Select;
using simtest::Shell;
using simtest::Sim;

namespace
{
// Disk text of a one-adapter disk-table index: the model and the channel.
std::string Disk(int index)
{
    return "ZELSIM HD-40G ( " + std::to_string(index / 2 + 1) + ", )";
}

void Queue(uint32_t id, uint32_t level, std::initializer_list<uint32_t> params)
{
    Sim([&](zelsim::SimState& s) { zelsim::QueueEvent(s, id, level, params); });
}

struct Row
{
    uint32_t id;
    uint32_t level;
    std::initializer_list<uint32_t> params;
    std::string text;
    raeEventType type;
    int aID;
    int dID;
};

class ApiEvents : public ::testing::Test
{
protected:
    void SetUp() override { Select("one-adapter"); }
};

TEST_F(ApiEvents, TextTypeAndIdsOfEachCode)
{
    const Row rows[] = {
        {0x40000001,
         0,
         {1, 3},
         "Disk Rebuild Started : Array 2, Disk " + Disk(3),
         reEventRebuildStart,
         1,
         3},
        {0x50000001, 0, {0}, "Disk Synchronize Started : Array 1", reEventSyncStart, 0, -1},
        {0x80000000, 0, {}, "Unknown Error, Code = 0x80000000", reEventUnknown, -1, -1},
        {0x80000001, 0, {4, 4}, "", reEventUnknown, -1, -1},
        {0x80000003, 0, {}, "", reEventUnknown, -1, -1},
        {0x80000004,
         0,
         {0x1234, 5},
         "ECC Error : Disk " + Disk(5) + " at LBA 0x1234",
         reEventECCError,
         -1,
         5},
        {0x80000100, 0, {2}, "Disk Set Down : " + Disk(2), reEventDiskDown, -1, 2},
        {0x80000101, 0, {6}, "Disk Plugged in : " + Disk(6), reEventDiskPlugin, -1, 6},
        {0x80000102,
         0,
         {100, 0},
         "Reserved Sector Error : Disk " + Disk(0) + " at LBA 100",
         reEventReservedSectorError,
         -1,
         0},
        {0x80000103, 0, {7}, "Disk Offline : " + Disk(7), reEventDiskDown, -1, 7},
        {0x80000104,
         0,
         {2, 1, 0xff},
         "Array 3 has bad sector on Disk " + Disk(1) + " at LBA 0xff",
         reEventBadSector,
         2,
         1},
        {0x80000105,
         0,
         {0x10, 4},
         "Retry Disk Access : Disk " + Disk(4) + " LBA 0x10",
         reEventDiskRetry,
         -1,
         4},
        {0x80000204,
         0,
         {0x11, 4},
         "Retry Disk Access : Disk " + Disk(4) + " LBA 0x11",
         reEventDiskRetry,
         -1,
         4},
        {0x80000200,
         0,
         {0, 6},
         "Array 1, Rebuild Completed on Disk " + Disk(6),
         reEventRebuildCompleted,
         0,
         6},
        {0x80000201, 0, {3}, "Array 4, Synchronize Completed", reEventSyncCompleted, 3, -1},
        {0x80000202,
         0,
         {1, 2, 40},
         "Rebuild aborted on array 2, disk " + Disk(2) + ", at 40 percent complete",
         reEventRebuildAborted,
         1,
         2},
        {0x80000203,
         0,
         {0, 55},
         "Synchronization aborted on array 1, at 55 percent complete",
         reEventSyncAborted,
         0,
         -1},
        {0x80000205, 0, {2}, "Array 3, Status Offline", reEventArrayOffline, 2, -1},
        {0x80000206, 0, {1}, "Array 2, Status Critical", reEventArrayCritical, 1, -1},
        {0x80000207,
         0,
         {0, 1, 1000, 9, 0xC8, 0x51},
         "Array 1, Disk " + Disk(1) + " Disk Media Error at LBA 1000 cmd=0xc8 status=0x51",
         reEventDiskMediaError,
         0,
         1},
        {0x80000208,
         0,
         {0x20, 0x30, 1},
         "Synchronization Comparison Error on Array 2 at LBA 0x20",
         reEventSyncComparisonError,
         1,
         -1},
        {0x80000209, 0, {0}, "S.M.A.R.T Failure on Disk " + Disk(0), reEventSMARTError, -1, 0},
        {0x8000020a, 0, {}, "ECC Error Fix Failed - Uncorrectable Error", reEventUnknown, -1, -1},
        {0x8000020b, 0, {1, 0}, "Power Down Swap Box in Channel 2, ", reEventSwapPowerDown, -1, -1},
        {0x8000020c, 0, {0, 1}, "Power up Swap Box in Channel 1, ", reEventSwapPowerUp, -1, -1},
        {0x8000020d,
         0,
         {2, 0},
         "Driver unable to detect drive after swap, Channel 3, . Please Check the Drive Carrier "
         "and/or Drive and "
         "Re-try Swap",
         reEventSwapBadSwap,
         -1,
         -1},
        {0x8000020e,
         0,
         {0, 0, 150},
         "Channel 1, . F:167.500000,C:75.000000",
         reEventSwapOverTemp,
         -1,
         -1},
        {0x8000020f, 0, {1, 0, 0}, "Channel 2, .0.000000", reEventSwapFanStop, -1, -1},
        {0x80000210, 0, {0, 0, 12650}, "Channel 1, .12.650000", reEventSwap12VOutOfRange, -1, -1},
        {0x80000211, 0, {3, 1, 4500}, "Channel 4, .4.500000", reEventSwap5VOutOfRange, -1, -1},
        {0x80000213, 0, {1}, "Create Array arrid = 1", reEventArrayCreate, -1, -1},
        {0x80000214, 0, {2}, "Delete Array arrid = 2", reEventArrayDelete, -1, -1},
        {0x80000301, 0, {0, 3}, "Addr mark not found", reEventUnknown, -1, 3},
        {0x80000302, 0, {0, 3}, "Track o not found", reEventUnknown, -1, 3},
        {0x80000303, 0, {0, 3}, "About command", reEventUnknown, -1, 3},
        {0x80000304, 0, {0, 3}, "Id not found", reEventUnknown, -1, 3},
        {0x80000305, 0, {0, 3}, "Crc Error!", reEventUnknown, -1, 3},
        {0x80000212, 0, {}, "Unknown Error, Code = 0x80000212", reEventUnknown, -1, -1},
    };
    for (const Row& r : rows)
    {
        Queue(r.id, r.level, r.params);
        rasEvent ev[RA_MAX_EVENTS];
        memset(ev, 0x5A, sizeof(ev));
        int n = 0;
        ASSERT_EQ(raGetEvents(ev, &n), reSOK) << std::hex << r.id;
        ASSERT_EQ(n, 1);
        EXPECT_EQ(ev[0].desc, r.text) << std::hex << r.id;
        EXPECT_EQ(ev[0].eType, r.type) << std::hex << r.id;
        EXPECT_EQ(ev[0].aID, r.aID) << std::hex << r.id;
        EXPECT_EQ(ev[0].dID, r.dID) << std::hex << r.id;
        EXPECT_EQ(ev[0].eLevel, reInformational) << std::hex << r.id;
    }
}

TEST_F(ApiEvents, Levels)
{
    // Driver levels 0 and 1 and unknown codes are informational.
    const std::pair<uint32_t, raeEventLevel> rows[] = {
        {0, reInformational}, {1, reInformational}, {2, reError}, {7, reError}};
    for (const auto& [level, expected] : rows)
    {
        Queue(0x80000206, level, {0});
        Queue(0x80000999, level, {});
        rasEvent ev[RA_MAX_EVENTS];
        int n = 0;
        ASSERT_EQ(raGetEvents(ev, &n), reSOK);
        ASSERT_EQ(n, 2);
        EXPECT_EQ(ev[0].eLevel, expected) << level;
        EXPECT_EQ(ev[1].eLevel, reInformational) << level;
    }
}

TEST_F(ApiEvents, ErrorStringOfOneRecord)
{
    struct
    {
        uint32_t id;
        uint32_t warning;
        UINT level, code;
        DWORD eventId;
        const char* idString;
        UINT aID, dID;
    } const rows[] = {
        {0x80000100, 1, 64, 3, 1, "Drv. Fail", UINT(-1), 0x20},
        {0x80000102, 0, 256, 15, 14, "Reserved Sector Err.", UINT(-1), 2},
        {0x8000020e, 3, 0, 24, 23, "Temperture Error", 99, 99},
        {0x80000208, 0, 256, 18, 77, "keep", 1, UINT(-1)},
        {0x80000555, 0, 64, 1, 77, "keep", 99, 99},
    };
    for (const auto& r : rows)
    {
        rasLogEvent ev = {r.id, 0, 1, 3, r.warning, {0x20, 2, 1, 0, 0, 0}};
        UINT level = 5, code = 5, aID = 99, dID = 99;
        DWORD eventId = 77;
        char text[128], timestamp[16] = "old", idString[32] = "keep";
        EXPECT_EQ(
            raGetErrorString(&ev, &level, text, timestamp, &code, &aID, &dID, idString, &eventId),
            reSOK);
        EXPECT_EQ(level, r.level) << std::hex << r.id;
        EXPECT_EQ(code, r.code) << std::hex << r.id;
        EXPECT_EQ(eventId, r.eventId) << std::hex << r.id;
        EXPECT_STREQ(idString, r.idString) << std::hex << r.id;
        EXPECT_EQ(aID, r.aID) << std::hex << r.id;
        EXPECT_EQ(dID, r.dID) << std::hex << r.id;
        EXPECT_STREQ(timestamp, "");
    }
    // The array and disk outputs may be left out.
    rasLogEvent ev = {0x80000200, 0, 1, 2, 0, {0, 1}};
    UINT level, code;
    DWORD eventId;
    char text[128], timestamp[4], idString[32];
    EXPECT_EQ(
        raGetErrorString(&ev, &level, text, timestamp, &code, nullptr, nullptr, idString, &eventId),
        reSOK);
    EXPECT_EQ(text, "Array 1, Rebuild Completed on Disk " + Disk(1));
}

TEST_F(ApiEvents, MoreThanTwentyQueuedArriveOverSeveralCalls)
{
    const int total = 45;
    for (int i = 0; i < total; i++)
        Queue(0x80000213, 0, {uint32_t(i)});
    std::vector<int> seen;
    std::vector<int> batches;
    for (;;)
    {
        rasEvent ev[RA_MAX_EVENTS + 1];
        memset(ev, 0, sizeof(ev));
        strcpy(ev[RA_MAX_EVENTS].desc, "untouched");
        int n = -1;
        raeStatus status = raGetEvents(ev, &n);
        if (status != reSOK)
        {
            EXPECT_EQ(status, reSNotImplemented);
            EXPECT_EQ(n, 0);
            break;
        }
        batches.push_back(n);
        EXPECT_STREQ(ev[RA_MAX_EVENTS].desc, "untouched") << "never more than the caller's twenty";
        for (int i = 0; i < n; i++)
            seen.push_back(
                std::stoi(std::string(ev[i].desc).substr(strlen("Create Array arrid = "))));
        ASSERT_LT(batches.size(), 10u);
    }
    EXPECT_EQ(batches, (std::vector<int>{20, 20, 5}));
    ASSERT_EQ(seen.size(), size_t(total));
    for (int i = 0; i < total; i++)
        EXPECT_EQ(seen[i], i) << "in the driver's order";
}

TEST_F(ApiEvents, RawRecordsAtMostTwentyAtATime)
{
    for (int i = 0; i < 25; i++)
        Queue(0x80000101, 1, {uint32_t(i % 8)});
    rasLogEvent ev[RA_MAX_EVENTS];
    ULONG n = 0;
    EXPECT_EQ(raHasNewEvents(ev, &n), reSOK);
    EXPECT_EQ(n, 20u);
    EXPECT_EQ(ev[19].ParamList[0], 19u % 8);
    EXPECT_EQ(raHasNewEvents(ev, &n), reSOK);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(raHasNewEvents(ev, &n), reSNotImplemented);
    EXPECT_EQ(n, 0u);
}

// The events a zelsim command makes the driver queue, read through the
// selected adapter.
std::vector<rasEvent> EventsAfter(const std::string& command)
{
    Shell("zelsim " + command);
    rasEvent ev[RA_MAX_EVENTS];
    int n = 0;
    EXPECT_EQ(raGetEvents(ev, &n), reSOK) << command;
    return std::vector<rasEvent>(ev, ev + n);
}

TEST_F(ApiEvents, ADiskFailureAsTheDriverReportsIt)
{
    Select("two-adapters");
    Shell("zelsim set hot-spares 0");
    std::vector<rasEvent> ev = EventsAfter("fail-disk 0 5");
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].eType, reEventDiskDown);
    EXPECT_EQ(ev[0].dID, 5);
    EXPECT_EQ(ev[0].eLevel, reError);
    EXPECT_EQ(std::string(ev[0].desc).find("Disk Set Down : ZELSIM HD-80G ( 3, )"), 0u)
        << ev[0].desc;
    EXPECT_EQ(ev[1].eType, reEventArrayCritical);
    EXPECT_EQ(ev[1].aID, 1);
    EXPECT_STREQ(ev[1].desc, "Array 2, Status Critical");
}

TEST_F(ApiEvents, NothingQueuedOrNoDriver)
{
    rasEvent ev[RA_MAX_EVENTS];
    int n = 7;
    EXPECT_EQ(raGetEvents(ev, &n), reSNotImplemented);
    EXPECT_EQ(n, 0);
    Queue(0x80000206, 0, {1});
    NoDriver();
    n = 7;
    EXPECT_EQ(raGetEvents(ev, &n), reSNotImplemented);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(simtest::Snapshot()->numEvents, 1u) << "the event stays queued";
}
} // namespace

namespace
{
// A fetch that fails reports the failure and hands over no
// event; the queued ones come with the next fetch.
TEST_F(ApiEvents, AFailedFetchIsAFailureAndNoEvent)
{
    for (const char* fault : {"zelsim fault 4013 fail 1", "zelsim fault 4013 garbage 1"})
    {
        SCOPED_TRACE(fault);
        Queue(0x80000206, 0, {1});
        Shell(fault);
        rasEvent ev[RA_MAX_EVENTS];
        int n = 7;
        EXPECT_EQ(raGetEvents(ev, &n), reSGenericError);
        EXPECT_EQ(n, 0);
        ASSERT_EQ(raGetEvents(ev, &n), reSOK);
        ASSERT_EQ(n, 1);
        EXPECT_STREQ(ev[0].desc, "Array 2, Status Critical");
        EXPECT_EQ(raGetEvents(ev, &n), reSNotImplemented);
    }
    Queue(0x80000206, 0, {1});
    Shell("zelsim fault 4013 fail 1");
    rasLogEvent raw[RA_MAX_EVENTS];
    ULONG count = 7;
    EXPECT_EQ(raHasNewEvents(raw, &count), reSGenericError);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(raHasNewEvents(raw, &count), reSOK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(raw[0].id, 0x80000206u);
}

// The driver keeps one queue for both adapters: an event of the second
// adapter's disk names that disk as its adapter last read it, whichever
// adapter is selected.
TEST(ApiEventsOfTwoAdapters, ADiskOfTheSecondAdapterIsNamedByItsOwnAdapter)
{
    for (int selected : {0, 1})
    {
        SCOPED_TRACE(selected);
        // Both adapters read, as a poller of both reads them.
        Select("two-adapters", 1);
        int index = selected;
        void* handle = &index;
        ASSERT_EQ(raInitialize(&handle), reSOK);
        BOOL update = 0;
        ASSERT_EQ(raNeedUpdate(&update), reSOK);
        std::vector<rasEvent> ev = EventsAfter("fail-disk 1 4");
        ASSERT_FALSE(ev.empty());
        EXPECT_EQ(ev[0].eType, reEventDiskDown);
        EXPECT_EQ(ev[0].dID, 12);
        EXPECT_STREQ(ev[0].desc, "Disk Set Down : ZELSIM HD-80G ( 3, )");
    }
}
} // namespace
