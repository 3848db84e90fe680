// Maintenance: a rebuild after a disk failed followed to its end, and a
// running activity paused and resumed from the maintenance screen.

#include "VelconScreen.h"

namespace
{
using MaintenanceScreen = VelconScreen;

TEST_F(MaintenanceScreen, RebuildAfterAFailedDiskReachesCompletion)
{
    Start("enclosure-battery", "zelsim set hot-spares 0 && zelsim fail-disk 0 2 && zelsim set-rate 20");
    See("Maintenance");
    Open("M", "/adapter1/maintenance");
    // The line names the member that is rebuilt, the mirror's second on
    // device 3, not the healthy one left; the driver writes it onto a
    // free disk.
    SeeRows("Rebuild array1 disk2:3");
    EXPECT_EQ(tmux->Screen().find("disk1:1"), std::string::npos) << tmux->Screen();
    EXPECT_EQ(tmux->Screen().find("Synchronize"), std::string::npos) << tmux->Screen();
    Keys({"Enter"});
    See("Percent done:(press any key to exit gauge)");
    See("Rebuilding");
    std::string last;
    ASSERT_TRUE(tmux->WaitFor("Success", false, &last, 30000)) << last;
    See("adapter1/array1 Rebuilding  complete");
    Keys({"Enter"});
    See("/adapter1");
    EXPECT_NE(Zelsim("show").find("array 0: \"Mirror\", mirror, 156296385 sectors, stripe 64, online"),
              std::string::npos)
        << Zelsim("show");
}

TEST_F(MaintenanceScreen, SynchronisationIsPausedAndResumed)
{
    Start("enclosure-battery", "zelsim set-rate 2");
    Open("M", "/adapter1/maintenance");
    SeeRows("Synchronize array 1\nRebuild array1 disk1:1\nMigrate array1=>2 RAID0|No new disk\n"
            "              =>2+1 RAID5|Add disk 5");
    Keys({"Enter"});
    See("Synchronizing");
    Keys({"x"}); // leaves the gauge; the activity goes on
    See("/adapter1");
    Open("M", "Percent done:(press any key to pause)");
    Keys({"x"});
    See("Do you really want to pause adapter1/array1 Synchronizing?");
    Keys({"y"});
    See("Maintenance is paused");
    EXPECT_NE(Zelsim("show").find("sync-paused"), std::string::npos) << Zelsim("show");
    Keys({"Enter"});
    See("/adapter1");
    Open("M", "Continue?");
    Keys({"y"});
    See("Percent done:(press any key to pause)");
    Zelsim("set-rate 50");
    std::string last;
    ASSERT_TRUE(tmux->WaitFor("Success", false, &last, 30000)) << last;
    See("adapter1/array1 Functional  complete");
}
} // namespace
