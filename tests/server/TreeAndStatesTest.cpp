#include "MetricsPage.h"
#include "ProgressTracker.h"
#include "RaidStates.h"
#include "TreeCache.h"

#include <gtest/gtest.h>

namespace
{
using halsend::TreeCache;

TEST(TreePaths, BuildAndTakeApart)
{
    EXPECT_EQ(halsend::ChildPath("\\", "RAID"), "\\RAID");
    EXPECT_EQ(halsend::ChildPath("\\RAID", "MVP1"), "\\RAID\\MVP1");
    EXPECT_EQ(halsend::ParentPath("\\RAID\\MVP1"), "\\RAID");
    EXPECT_EQ(halsend::ParentPath("\\RAID"), "\\");
    EXPECT_EQ(halsend::LastName("\\RAID\\MVP1"), "MVP1");
    EXPECT_EQ(halsend::PathNames("\\RAID\\MVP1"), (std::vector<std::string>{"RAID", "MVP1"}));
    EXPECT_TRUE(halsend::IsWithin("\\RAID\\MVP1", "\\RAID"));
    EXPECT_FALSE(halsend::IsWithin("\\RAIDX", "\\RAID"));
}

TEST(TreeCache, KeepsFoldersTypesAndValues)
{
    TreeCache tree;
    tree.Set("\\", {"RAID@o--@14", "name@prw@vm"});
    tree.Set("\\RAID", {"MVP1@o--@26", "broken line", "@pr-@empty name"});
    tree.Set("\\RAID\\MVP1", {"System@o--@25", "HasEvent@pr-@3"});
    tree.Set("\\RAID\\MVP1\\System", {"Status@prv@-2147483647", "percent@prv@-1"});
    EXPECT_EQ(tree.Type("\\RAID\\MVP1"), halsend::kTypeAdapter);
    EXPECT_EQ(tree.Type("\\RAID\\MVP1\\System"), halsend::kTypeArray);
    EXPECT_EQ(tree.Type("\\"), -1);
    EXPECT_EQ(tree.Find("\\RAID")->size(), 1u);
    EXPECT_EQ(tree.Value("\\RAID\\MVP1", "HasEvent"), "3");
    EXPECT_EQ(tree.Value("\\RAID\\MVP1", "System", "none"), "none");
    EXPECT_EQ(halsend::AdapterOf(tree, "\\RAID\\MVP1\\System"), "RAID/MVP1");
    tree.Erase("\\RAID\\MVP1");
    EXPECT_EQ(tree.Size(), 2u);
}

TEST(TreeCache, StaysWithinItsBounds)
{
    TreeCache tree;
    std::vector<std::string> lines(TreeCache::kMaxEntries + 10, "x@pr-@" + std::string(5000, 'v'));
    tree.Set("\\", lines);
    EXPECT_EQ(tree.Find("\\")->size(), TreeCache::kMaxEntries);
    EXPECT_LE(tree.Find("\\")->at(0).value.size(), TreeCache::kMaxValue);
    for (size_t i = 1; i < TreeCache::kMaxFolders; ++i)
        ASSERT_TRUE(tree.Set("\\f" + std::to_string(i), {}));
    EXPECT_FALSE(tree.Set("\\one-too-many", {}));
    EXPECT_TRUE(tree.Set("\\f1", {"a@pr-@b"}));
}

struct StatusCase
{
    long status;
    int state;
    int activity;
};

TEST(RaidStates, ArrayStatusWords)
{
    const StatusCase cases[] = {
        {0, 0, halsend::kIdle},
        {static_cast<long>(0x80000001L), 1, halsend::kIdle},
        {static_cast<long>(0x80000002L), 2, halsend::kIdle},
        {256, 0, halsend::kSynchronising},
        {512, 1, halsend::kRebuilding},
        {768, 0, halsend::kExpanding},
        {1536, 0, halsend::kInitialising},
    };
    for (const StatusCase& c : cases)
    {
        EXPECT_EQ(halsend::ArrayState(c.status), c.state) << c.status;
        EXPECT_EQ(halsend::ArrayActivityOf(c.status), c.activity) << c.status;
    }
    EXPECT_EQ(halsend::StatusWord("-2147483647"), 0x80000001L);
    EXPECT_EQ(halsend::DiskState(halsend::StatusWord("-2147483647")), 2);
    EXPECT_EQ(halsend::DiskState(256), 1);
    EXPECT_EQ(halsend::DiskState(512), 0);
    EXPECT_TRUE(halsend::BatteryFailed("BATTERY_OVER_TEMP_ALARM"));
    EXPECT_FALSE(halsend::BatteryFailed("BATTERY_FULLY_CHARGED"));
}

TEST(ProgressTracker, EstimatesFromTheRateSinceTheTaskWasFirstSeen)
{
    halsend::ProgressTracker progress;
    const auto t0 = halsend::ProgressTracker::Clock::now();
    double eta = 0;
    progress.Observe("a", halsend::kRebuilding, 10, t0);
    EXPECT_FALSE(progress.Eta("a", t0, eta));
    progress.Observe("a", halsend::kRebuilding, 20, t0 + std::chrono::seconds(10));
    ASSERT_TRUE(progress.Eta("a", t0 + std::chrono::seconds(10), eta));
    EXPECT_NEAR(eta, 80.0, 0.01);
    ASSERT_TRUE(progress.Eta("a", t0 + std::chrono::seconds(15), eta));
    EXPECT_NEAR(eta, 75.0, 0.01);
    progress.Observe("a", halsend::kSynchronising, 5, t0 + std::chrono::seconds(20));
    EXPECT_FALSE(progress.Eta("a", t0 + std::chrono::seconds(20), eta));
    progress.Observe("a", halsend::kIdle, -1, t0 + std::chrono::seconds(30));
    EXPECT_FALSE(progress.Eta("a", t0 + std::chrono::seconds(30), eta));
}
} // namespace
