// The busy bit of the maintenance flag word: only the rebuild
// tests it, and no way out of a maintenance request leaves it set.

#include "Morliven.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

using simtest::LoadPreset;
using simtest::Shell;
using simtest::Snapshot;

namespace
{
class BusyBit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LoadPreset("two-adapters");
        Shell("zelsim set hot-spares 0");
    }
};

const ULONG kSyncFix = 0x60001001;
const ULONG kActivityBits =
    Morliven::FLAG_BUSY | Morliven::FLAG_REBUILD | Morliven::FLAG_INTEGRITY | Morliven::FLAG_EXPANSION;

TEST_F(BusyBit, NoWayOutOfARequestLeavesItSet)
{
    Morliven m(0);
    Shell("zelsim driver unopenable");
    EXPECT_EQ(m.CheckIntegrity(1, kSyncFix), ULONG(MAINT_NO_DRIVER));
    EXPECT_EQ(m.m_ulFlag & kActivityBits, 0u);
    EXPECT_EQ(m.RebuildArray(0, 1, kSyncFix), ULONG(MAINT_NO_DRIVER));
    EXPECT_EQ(m.m_ulFlag & kActivityBits, 0u);
    ULONG none[MAX_MEMBERS] = {};
    EXPECT_EQ(m.ExpanConv(2, RAID_STRIPING, none, 0, 64, Morliven::FLAG_BUSY | Morliven::FLAG_EXPANSION),
              ULONG(MAINT_NO_DRIVER));
    EXPECT_EQ(m.m_ulFlag & kActivityBits, 0u);

    // Nor a request the driver answers, refused or accepted.
    Shell("zelsim driver ok");
    EXPECT_EQ(m.RebuildArray(0, 1, kSyncFix), 0u) << "a healthy mirror: the driver refuses";
    EXPECT_EQ(m.m_ulFlag & kActivityBits, 0u);
    EXPECT_EQ(m.CheckIntegrity(1, kSyncFix), 1u);
    EXPECT_EQ(m.m_ulFlag & kActivityBits, 0u);
    EXPECT_EQ(Snapshot()->activity[1].status, uint8_t(AS_SYNC));
}

TEST_F(BusyBit, OnlyTheRebuildTestsIt)
{
    Morliven m(0);
    Shell("zelsim fail-disk 0 1");
    m.UpdateMorlivenInfo();
    m.m_ulFlag |= Morliven::FLAG_BUSY;
    EXPECT_EQ(m.RebuildArray(0, 1, 0), ULONG(MAINT_BUSY));
    EXPECT_EQ(Snapshot()->activity[0].status, uint8_t(0)) << "no request went to the driver";

    m.m_ulFlag |= Morliven::FLAG_BUSY;
    EXPECT_EQ(m.CheckIntegrity(1, 0), 1u) << "the check is not refused as busy";
    EXPECT_EQ(Snapshot()->activity[1].status, uint8_t(AS_SYNC));

    m.m_ulFlag |= Morliven::FLAG_BUSY;
    ULONG added[] = {7};
    EXPECT_EQ(m.ExpanConv(2, RAID_STRIPING, added, 1, 64, 0), 0u) << "the expansion is not refused as busy";
    EXPECT_EQ(Snapshot()->activity[2].status, uint8_t(AS_EXPAND));
}
} // namespace
