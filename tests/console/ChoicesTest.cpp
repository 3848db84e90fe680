// Names typed for a new array, the free-disk order and the migration
// choices built from the display tables.

#include "ArrayName.h"
#include "Listing.h"
#include "Maintenance.h"
#include "Velcon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
TEST(ArrayName, NamesAreCheckedBeforeUse)
{
    EXPECT_EQ(ArrayNameProblem("RAID5"), nullptr);
    EXPECT_EQ(ArrayNameProblem("my data, 2"), nullptr);
    EXPECT_EQ(ArrayNameProblem(std::string(31, 'a').c_str()), nullptr);
    EXPECT_NE(ArrayNameProblem(""), nullptr);
    EXPECT_NE(ArrayNameProblem("   "), nullptr);
    EXPECT_NE(ArrayNameProblem(std::string(32, 'a').c_str()), nullptr);
    EXPECT_NE(ArrayNameProblem("tab\there"), nullptr);
    EXPECT_NE(ArrayNameProblem("caf\xc3\xa9"), nullptr);
}

void SetFree(const std::vector<std::pair<int, long>>& disks)
{
    freedisk.nCount = static_cast<int>(disks.size());
    for (size_t i = 0; i < disks.size(); i++)
    {
        freedisk.nDevice[i] = disks[i].first;
        freedisk.nSize[i] = disks[i].second;
    }
}

TEST(FreeDisks, LargerFirstAndEqualSizesKeepTheirOrder)
{
    SetFree({{0, 100}, {1, 300}, {2, 200}, {3, 300}, {4, 100}});
    SortFreeDisks();
    const int order[] = {1, 3, 2, 0, 4};
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(freedisk.nDevice[i], order[i]) << i;
}

TEST(Migration, ConvertNeedsTheSmallestDiskTimesTheDataDisks)
{
    const long sizes[] = {100, 50};
    EXPECT_TRUE(can_do_convert(100, 3, 2, sizes));   // 2+1 RAID5: 50 x 2
    EXPECT_FALSE(can_do_convert(101, 3, 2, sizes));
    EXPECT_TRUE(can_do_convert(200, 7, 2, sizes)); // 4 RAID0: 50 x 4
    EXPECT_FALSE(can_do_convert(201, 7, 2, sizes));
    EXPECT_FALSE(can_do_convert(1, 8, 1, sizes));
}

// A functional, idle array in row 0 of adapter 0 with the free disks of
// the list; the raid API is not started, so member listings stay empty.
std::vector<std::string> Choices(raeRaidMode mode, int width, int logical, long size)
{
    cardnum = 0;
    gnArrayCount[0] = 1;
    garrayid[0][0] = 0;
    rasArrayInfo& info = testaryinfo[0][0];
    memset(&info, 0, sizeof(info));
    info.RAID = mode;
    info.NumberDisks = width;
    info.bWidth = static_cast<UCHAR>(width);
    info.bLogicalWidth = static_cast<UCHAR>(logical);
    info.ulSize = static_cast<int32_t>(size);
    stataryinfo[0][0] = StatArrayInfo{0, reArrayFunctional, reArrayIdle, 0};
    int n = BuildChoices(0);
    std::vector<std::string> lines;
    for (int i = 0; i < n; i++)
        lines.push_back(std::string(gMaintenance[i].szLeft) + "|" + gMaintenance[i].szRight);
    return lines;
}

TEST(Migration, MirrorWithTwoFreeDisksOffersEveryLargerLayout)
{
    SetFree({{4, 1000}, {6, 1000}});
    std::vector<std::string> expected = {
        "Synchronize array 1|",
        "Migrate array1=>2 RAID0|No new disk",
        "              =>2+1 RAID5|Add disk 5",
        "              =>2+1 RAID5|Add disk 7",
        "              =>RAID01|Add disk 5 7",
        "              =>3 RAID0|Add disk 5",
        "              =>3 RAID0|Add disk 7",
        "              =>3+1 RAID5|Add disk 5 7",
        "              =>4 RAID0|Add disk 5 7",
    };
    EXPECT_EQ(Choices(reRaidModeMirroring, 2, 1, 1000), expected);
}

TEST(Migration, StripeMirrorOfFourAlsoOffersRaid5OnItsOwnDisks)
{
    SetFree({});
    std::vector<std::string> expected = {
        "Synchronize array 1|",
        "Migrate array1=>4 RAID0|No new disk",
        "              =>3+1 RAID5|No new disk",
    };
    EXPECT_EQ(Choices(reRaidModeStripeMirroring, 4, 2, 4000), expected);
}

TEST(Migration, SmallDisksAndThreeFreeTryTheOuterPair)
{
    // A 2-disk stripe of 400: no RAID01 fits (150 x 2 and 140 x 2 are too
    // small), and the pair of the first and third disk is tried last.
    SetFree({{2, 300}, {4, 150}, {6, 140}});
    std::vector<std::string> expected = {
        "Migrate array1=>2+1 RAID5|Add disk 3",
        "              =>3 RAID0|Add disk 3",
        "              =>3 RAID0|Add disk 5",
        "              =>3 RAID0|Add disk 7",
        "              =>3+1 RAID5|Add disk 3 5",
        "              =>3+1 RAID5|Add disk 5 7",
        "              =>3+1 RAID5|Add disk 3 7",
        "              =>4 RAID0|Add disk 3 5",
        "              =>4 RAID0|Add disk 5 7",
        "              =>4 RAID0|Add disk 3 7",
    };
    EXPECT_EQ(Choices(reRaidModeStriping, 2, 2, 400), expected);
}

TEST(Migration, ChoicesStopAtTheLimit)
{
    SetFree({{0, 1000}, {1, 1000}, {2, 1000}, {3, 1000}, {4, 1000}, {5, 1000}});
    EXPECT_EQ(Choices(reRaidModeJBOD, 1, 1, 100).size(), static_cast<size_t>(kMaxChoices));
}
} // namespace
