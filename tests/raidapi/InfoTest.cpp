// Reading the driver's tables and turning them into description records.

#include "Morliven.h"
#include "SimDriver.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace zelsim;
using simtest::LoadPreset;
using simtest::Shell;
using simtest::Sim;

namespace
{
class Info : public ::testing::Test
{
protected:
    void SetUp() override { LoadPreset("two-adapters"); }
};

TEST_F(Info, SecondAdapterKeepsDriverArraysFourToSevenAsItsOwn)
{
    Morliven m(1);
    EXPECT_EQ(m.GetNumOfArray(), 2u);
    tagARRAYINFO a;
    ASSERT_EQ(m.GetArray(0, &a), 1u);
    EXPECT_STREQ(a.Name, "Archive");
    EXPECT_EQ(a.RAID, STRIPMIRROR_ARRAY);
    EXPECT_EQ(a.NumberDisks, 4u);
    EXPECT_EQ(a.Strm[0].bIndex, 8);
    EXPECT_EQ(a.Status, ARRAY_STATUS_ONLINE);
    ASSERT_EQ(m.GetArray(1, &a), 1u);
    EXPECT_EQ(a.RAID, PARITY_ARRAY);
    int ids[4] = {-1, -1, -1, -1};
    m.GetArrayId(ids);
    EXPECT_EQ(ids[0], 0);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], -1);
    EXPECT_EQ(m.GetArray(4, &a), 0u);
}

TEST_F(Info, ArrayRecordOfAMirror)
{
    Morliven m(0);
    tagARRAYINFO a;
    ASSERT_EQ(m.GetArray(0, &a), 1u);
    EXPECT_EQ(a.RAID, MIRROR_ARRAY);
    EXPECT_EQ(a.blFlag, 0x0F);
    EXPECT_EQ(a.bWidth, 2);
    EXPECT_EQ(a.bLogicalWidth, 1);
    EXPECT_EQ(a.hStripeBlockSize, 64);
    EXPECT_EQ(a.NumberOfHeads, 255);
    EXPECT_EQ(a.SectorsPerTrack, 63);
    EXPECT_EQ(a.ulSize, a.NumberOfCylinders * 255 * 63);
    ASSERT_EQ(m.GetArray(3, &a), 1u); // an empty slot reads as an empty record
    EXPECT_EQ(a.NumberDisks, 0u);
}

TEST_F(Info, EachAdapterKeepsOnlyItsOwnDisks)
{
    Morliven m0(0);
    Morliven m1(1);
    EXPECT_EQ(m0.GetNumOfDiskBlock(), 8u);
    EXPECT_EQ(m1.GetNumOfDiskBlock(), 7u);
    // Disk-table entry 10 sits on global channel 5.
    EXPECT_EQ(m1.blkDisk[10].bCh, 5);
    EXPECT_TRUE(m1.blkDisk[10].blFlag & BLK_PRESENT);
    EXPECT_FALSE(m0.blkDisk[10].blFlag & BLK_PRESENT);
    tagDISKBLOCKINFO d;
    ASSERT_EQ(m1.GetDiskBlock(10, &d), 1u);
    EXPECT_EQ(d.bAdapter, 1);
    EXPECT_EQ(d.bCh, 1);
    EXPECT_EQ(d.bID, 0);
    EXPECT_EQ(d.bArray, 0);
    EXPECT_EQ(d.Status, DISK_STATUS_MEMBER);
    EXPECT_STREQ(d.Name, "ZELSIM HD-80G");
    EXPECT_EQ(m0.GetDiskBlock(10, &d), 0u);
    EXPECT_EQ(m0.GetDiskBlock(16, &d), 0u);
}

TEST_F(Info, ControllerAndChannelRecords)
{
    Morliven m(1);
    tagCONTROLLERINFO c;
    ASSERT_EQ(m.GetController(1, &c), 1u);
    EXPECT_STREQ(c.Name, "Morliven 2");
    EXPECT_EQ(c.NumberChannels, 4u);
    EXPECT_EQ(c.IRQ, 11u);
    EXPECT_EQ(c.SlotNumber, 4u);
    EXPECT_EQ(c.BIOSMemRange, 0xFFFFu);
    EXPECT_EQ(c.pBaseAddressATA, 0u);
    EXPECT_EQ(m.GetController(2, &c), 0u);

    tagCHANNELINFO ch;
    ASSERT_EQ(m.GetChannel(3, &ch), 1u);
    EXPECT_STREQ(ch.Name, " 4");
    EXPECT_EQ(ch.NumberDisks, 1u); // position 6 only
    EXPECT_EQ(ch.Status, 1u);
    EXPECT_EQ(ch.LogicalChannelNumber, 3u);
    ASSERT_EQ(m.GetChannel(0, &ch), 1u);
    EXPECT_EQ(ch.NumberDisks, 2u);
    EXPECT_EQ(ch.BaseIoAddress1, 0xE100u);
    EXPECT_EQ(m.GetChannel(4, &ch), 0u);
    Shell("zelsim remove-disk 1 6");
    m.UpdateMorlivenInfo();
    ASSERT_EQ(m.GetChannel(3, &ch), 1u);
    EXPECT_EQ(ch.Status, 5u);
}

TEST_F(Info, LargeDiskCapacityFromTheAddressingItSupports)
{
    struct
    {
        uint16_t word83;
        uint32_t lba;
        uint32_t lba48;
        uint32_t cylinders;
    } const rows[] = {
        {0x4400, 0x0FFFFFFF, 312581808, 310101}, // 48-bit: words 100-101
        {0x4000, 156301488, 312581808, 155061},  // bit 14 only: words 60-61
        {0x0400, 156301488, 312581808, 155061},  // bit 10 only
    };
    for (const auto& r : rows)
    {
        Sim([&](SimState& s) {
            _IDENTIFY_DATA2& id = s.adapters[0].ext.IdentifyData[7];
            id.cyls = 16383;
            id.UDMACommandSupport2 = r.word83;
            id.lba_capacity = r.lba;
            id.max_48LBA[0] = r.lba48 & 0xFFFF;
            id.max_48LBA[1] = r.lba48 >> 16;
        });
        Morliven m(0);
        tagDISKBLOCKINFO d;
        ASSERT_EQ(m.GetDiskBlock(3, 1, &d, Morliven::THIS_ADAPTER), 1u);
        EXPECT_EQ(d.NumberOfCylinders, r.cylinders) << std::hex << r.word83;
        EXPECT_EQ(static_cast<uint32_t>(d.wSize), r.cylinders * 16 * 63);
    }
    // Below the limit the identify geometry stands as it is.
    Sim([](SimState& s) { s.adapters[0].ext.IdentifyData[7].cyls = 16382; });
    Morliven m(0);
    tagDISKBLOCKINFO d;
    m.GetDiskBlock(3, 1, &d, Morliven::THIS_ADAPTER);
    EXPECT_EQ(d.NumberOfCylinders, 16382u);
}

TEST_F(Info, TransferModesFromTheIdentifyWords)
{
    struct
    {
        uint16_t mword, ultra, valid;
        int dma, udma;
    } const rows[] = {
        {0x0407, 0x203F, 7, 2, 5}, {0x0207, 0x101F, 7, 1, 4}, {0x0007, 0x0807, 7, 0, 3},
        {0x0407, 0x0000, 3, 2, 0}, {0x0007, 0x0201, 7, 0, 1},
    };
    for (const auto& r : rows)
    {
        Sim([&](SimState& s) {
            _IDENTIFY_DATA2& id = s.adapters[0].ext.IdentifyData[0];
            id.dma_mword = r.mword;
            id.dma_ultra = r.ultra;
            id.field_valid = r.valid;
        });
        Morliven m(0);
        tagDISKBLOCKINFO d;
        ASSERT_EQ(m.GetDiskBlock(0, 0, &d, Morliven::THIS_ADAPTER), 1u);
        EXPECT_EQ(d.DmaCycleTimingMode, r.dma) << std::hex << r.mword;
        EXPECT_EQ(d.UDMAMode, r.udma) << std::hex << r.ultra;
        EXPECT_EQ(d.ValidBit, r.valid);
        EXPECT_EQ(d.Capabilities, 0x0F);
    }
}

TEST_F(Info, FullWidthModelIsTerminated)
{
    Sim([](SimState& s) {
        UCHAR* model = s.adapters[0].ext.IdentifyData[0].model;
        for (int i = 0; i < MODEL_LENGTH; i++)
            model[i] = 'A' + i % 26;
    });
    Morliven m(0);
    tagDISKBLOCKINFO d;
    ASSERT_EQ(m.GetDiskBlock(0, 0, &d, Morliven::THIS_ADAPTER), 1u);
    EXPECT_EQ(strlen(d.Name), 39u);
    EXPECT_EQ(std::string(d.Name, 4), "BADC"); // byte pairs swapped back
}

TEST_F(Info, MissingMemberReadsAsUnknownDisk)
{
    Shell("zelsim set hot-spares 0 && zelsim fail-disk 0 1");
    Morliven m(0);
    tagDISKBLOCKINFO d;
    ASSERT_EQ(m.GetDiskBlock(0u, 0u, &d), 1u);
    EXPECT_EQ(d.Status, DISK_STATUS_MEMBER);
    EXPECT_EQ(m.GetDiskBlock(0u, 1u, &d), 0u);
    EXPECT_EQ(d.Status, DISK_STATUS_UNUSABLE);
    EXPECT_STREQ(d.Name, "???");
    EXPECT_EQ(m.GetDiskBlock(4u, 0u, &d), 0u);
    EXPECT_EQ(m.GetDiskBlock(0u, 8u, &d), 0u);
    // The failed disk itself still names its array.
    ASSERT_EQ(m.GetDiskBlock(0, 1, &d, Morliven::THIS_ADAPTER), 1u);
    EXPECT_EQ(d.Status, DISK_STATUS_UNUSABLE);
    EXPECT_EQ(d.bArray, 0);
    EXPECT_EQ(d.bStrmFlag, STRM_VALID | STRM_FAILED);
    EXPECT_TRUE(m.HasError());
}

TEST_F(Info, DiskTexts)
{
    Morliven m(0);
    EXPECT_STREQ(m.GetDiskBlockString(3), "ZELSIM HD-40G ( 2, )");
    EXPECT_STREQ(m.GetDiskBlockString(16), "");
    char text[] = "abcdefg";
    Morliven::SwapEndianStr(text, 7);
    EXPECT_STREQ(text, "badcfeg");
}

TEST_F(Info, RefreshReportsDiskTableChanges)
{
    Morliven m(0);
    EXPECT_EQ(m.CheckError(), 0);
    EXPECT_EQ(m.UpdateMorlivenInfo(), 0u);
    Shell("zelsim remove-disk 0 7");
    EXPECT_EQ(m.UpdateMorlivenInfo(), 1u);
    EXPECT_EQ(m.GetNumOfDiskBlock(), 7u);
    EXPECT_EQ(m.UpdateMorlivenInfo(), 0u);
    EXPECT_FALSE(m.blkDisk2[7].blFlag & BLK_PRESENT);
}

TEST_F(Info, StatusPollFollowsARebuildToItsEnd)
{
    Morliven m(0);
    Shell("zelsim fail-disk 0 0 && zelsim step 40");
    EXPECT_EQ(m.UpdateArrayStatus(-1), 2);
    EXPECT_EQ(m.m_iMaintArray, 0);
    EXPECT_EQ(m.m_iMaintActivity, AS_REBUILD);
    EXPECT_EQ(m.m_percentage, 40);
    _tagArrayStatus as;
    EXPECT_EQ(m.GetArrayStatus(0, &as), AS_REBUILD);
    EXPECT_EQ(as.percentage, 40);
    EXPECT_EQ(m.UpdateArrayStatus(-1), 0);
    Shell("zelsim step 10");
    EXPECT_EQ(m.UpdateArrayStatus(-1), 1);
    EXPECT_EQ(m.m_percentage, 50);
    Shell("zelsim step 50");
    EXPECT_EQ(m.UpdateArrayStatus(-1), 2);
    EXPECT_EQ(m.m_iMaintArray, -1);
    EXPECT_EQ(m.m_iMaintActivity, 0);
    EXPECT_EQ(m.GetArrayStatus(0, nullptr), AS_IDLE);
    EXPECT_EQ(m.GetArrayStatus(4, nullptr), 255);
    m.m_as[1].status = static_cast<char>(AS_IN_FLIGHT);
    EXPECT_EQ(m.GetArrayStatus(1, nullptr), -1);
}

TEST_F(Info, HotPlugNotificationRefreshesTheDisks)
{
    Morliven m(1);
    MORLIVENNOTIFICATION n;
    EXPECT_EQ(m.GetNotifyData(), 0);
    Shell("zelsim insert-disk 1 7");
    EXPECT_FALSE(m.blkDisk[15].blFlag & BLK_PRESENT);
    EXPECT_EQ(m.GetNotifyData(), 1);
    m.GetLastNotifyData(&n);
    EXPECT_EQ(n.NotifyType, NOTIFY_HOT_PLUG);
    EXPECT_EQ(n.bCh, 7);
    EXPECT_EQ(n.bId, 1);
    EXPECT_TRUE(m.blkDisk[15].blFlag & BLK_PRESENT);
    EXPECT_EQ(m.GetNotifyData(), 0);
}

TEST_F(Info, StartUpRetriesAReaderOnce)
{
    Shell("zelsim fault 4004 fail 1");
    Morliven once(0);
    EXPECT_EQ(once.GetNumOfArray(), 3u);
    Shell("zelsim fault 4004 fail 2");
    Morliven twice(0);
    EXPECT_EQ(twice.NumOfArray, Morliven::UNKNOWN_COUNT);
    EXPECT_EQ(twice.GetNumOfArray(), 0u);
    EXPECT_EQ(twice.GetNumOfController(), 2u);
}

TEST_F(Info, FailedDiskReadEmptiesTheTable)
{
    Morliven m(0);
    Shell("zelsim fault 4006 fail 1");
    EXPECT_EQ(m.UpdateMorlivenInfo(), 1u);
    EXPECT_EQ(m.GetNumOfDiskBlock(), 0u);
    EXPECT_EQ(m.GetNumOfDiskBlock(-1), 0u);
}

TEST_F(Info, GarbledAnswersStayInsideTheTables)
{
    // The sanitizer build turns any copy past a table into a failure.
    for (const char* code : {"4003", "4004", "4005", "4006", "400a", "400b"})
    {
        SCOPED_TRACE(code);
        Shell(std::string("zelsim fault ") + code + " garbage 3");
        Morliven m(0);
        EXPECT_LE(m.GetNumOfController(), 2u);
        EXPECT_LE(m.GetNumOfDiskBlock(), 16u);
        m.UpdateMorlivenInfo();
        m.UpdateArrayStatus(-1);
        m.GetNotifyData();
        tagDISKBLOCKINFO d;
        for (ULONG i = 0; i < MAX_DISKS; i++)
            m.GetDiskBlock(i, &d);
        for (ULONG a = 0; a < 4; a++)
            for (ULONG k = 0; k < 8; k++)
                m.GetDiskBlock(a, k, &d);
        tagARRAYINFO ai;
        for (ULONG a = 0; a < 4; a++)
        {
            if (m.GetArray(a, &ai))
            {
                EXPECT_LT(strlen(ai.Name), sizeof(ai.Name));
            }
        }
        m.GetDiskBlockString(0);
        LoadPreset("two-adapters");
    }
}

TEST_F(Info, DriverThatAppearsLaterIsReadOnTheNextRefresh)
{
    Sim([](SimState& s) { s.driverLoaded = 0; });
    testing::internal::CaptureStdout();
    Morliven m(0);
    EXPECT_EQ(m.GetNotifyData(), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(m.m_ulFlag & Morliven::FLAG_NO_DRIVER);
    EXPECT_EQ(m.m_EncType[1][7], -1);
    Sim([](SimState& s) { s.driverLoaded = 1; });
    m.UpdateMorlivenInfo();
    EXPECT_FALSE(m.m_ulFlag & Morliven::FLAG_NO_DRIVER);
    EXPECT_EQ(m.GetNumOfArray(), 3u);
    EXPECT_EQ(m.GetNumOfDiskBlock(), 8u);
    tagARRAYINFO a;
    EXPECT_EQ(m.GetArray(0, &a), 1u);
    EXPECT_STREQ(a.Name, "System");
}

TEST_F(Info, MoreAdaptersThanTheTablesHoldAreCutToTwo)
{
    Sim([](SimState& s) { s.numAdapters = 9; });
    Morliven m(0);
    EXPECT_EQ(m.GetNumOfController(), 2u);
    EXPECT_EQ(m.GetNumOfDiskBlock(), 8u);
    tagCONTROLLERINFO c;
    EXPECT_EQ(m.GetController(2, &c), 0u);
    EXPECT_EQ(m.CheckError(), 0);
}

TEST_F(Info, CountsWithoutADescriptor)
{
    Morliven m(0);
    EXPECT_EQ(m.GetNumOfArray(-1), 3u);
    EXPECT_EQ(m.GetNumOfDiskBlock(-1), 8u);
    EXPECT_EQ(m.GetNumOfController(), 2u);
}
} // namespace
