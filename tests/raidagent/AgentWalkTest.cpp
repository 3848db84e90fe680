// An administrator's whole session through the agent: walk the adapter,
// make a RAID 5 array of four disks, follow its initialisation through its
// status, lose a disk, rebuild it, and delete the array.

#include "RaidAgent.h"

#include <map>
#include <string>
#include <vector>

namespace
{
using raidagent::kCritical;
using raidagent::Names;

class AgentWalk : public raidagent::RaidAgentTest
{
protected:
    void Step(int percent) { simtest::Shell("zelsim step " + std::to_string(percent)); }
};

TEST_F(AgentWalk, ARaid5ArrayIsMadeInitialisedDegradedRebuiltAndDeleted)
{
    Start("one-adapter");
    SKIP_UNLESS_LOCAL();

    // The walk finds the disks and the identities that name them.
    ASSERT_TRUE(At("MVP1"));
    std::map<std::string, std::string> identities;
    Names path;
    std::string problem;
    ASSERT_TRUE(Client().Walk(
        [&](int depth, const halsen::Entry& entry)
        {
            path.resize(static_cast<size_t>(depth));
            if (entry.IsObject())
                path.push_back(entry.name);
            else if (entry.name == "handle" && path.size() == 3)
                identities[path[1] + "\\" + path[2]] = entry.value.substr(0, entry.value.find(';'));
        },
        problem))
        << problem;
    ASSERT_EQ(8u, identities.size());
    std::string args = "Data@RAID5(PARITY-DISTRIBUTED)@0@1@4";
    for (const char* disk : {"ch1\\master", "ch1\\slave", "ch2\\master", "ch2\\slave"})
        args += "@" + identities[disk];

    ASSERT_TRUE(At("MVP1"));
    EXPECT_EQ(800, Client().Invoke("CreateArray", args + "@64").code);
    EXPECT_TRUE(WaitForNotice(8194, "MVP1", 0));
    EXPECT_EQ((Names{"disk1", "disk2", "disk3", "disk4"}), Children("MVP1\\Data"));
    EXPECT_EQ("512", Prop("MVP1\\ch1\\master", "Status")) << "the disk is now assigned";

    EXPECT_EQ("1536", Prop("MVP1\\Data", "Status"));
    EXPECT_EQ("0", Prop("MVP1\\Data", "percent"));
    Step(50);
    EXPECT_EQ("50", Prop("MVP1\\Data", "percent"));
    Step(50);
    EXPECT_EQ("0", Prop("MVP1\\Data", "Status"));

    // The degrade comes to the connected server unasked.
    simtest::Shell("zelsim fail-disk 0 2");
    EXPECT_TRUE(WaitForNotice(8194, "MVP1\\Data", 8000));
    EXPECT_EQ(kCritical, Prop("MVP1\\Data", "Status"));
    EXPECT_EQ((Names{"disk1", "disk2", "disk4"}), Children("MVP1\\Data"));

    const std::string failed = Identity("MVP1\\ch2\\master");
    ASSERT_TRUE(At("MVP1\\Data"));
    EXPECT_EQ(800, Client().Invoke("RebuildArray", "512@" + failed).code);
    EXPECT_EQ("512", Prop("MVP1\\Data", "Status")) << "rebuilding shows over critical";
    Step(40);
    EXPECT_EQ("40", Prop("MVP1\\Data", "percent"));
    Step(60);
    EXPECT_EQ("0", Prop("MVP1\\Data", "Status"));
    // That refresh read the change before any tick could: the members are
    // counted anew all the same. The controller rebuilt onto the first free
    // disk (ch3's master) in the failed one's place.
    EXPECT_EQ((Names{"disk1", "disk2", "disk4", "disk5"}), Children("MVP1\\Data"));

    const std::string data = Identity("MVP1\\Data");
    ASSERT_TRUE(At("MVP1"));
    m_Notices.clear();
    EXPECT_EQ(800, Client().Invoke("DeleteArray", data).code);
    EXPECT_TRUE(WaitForNotice(8193, "MVP1\\Data", 0));
    EXPECT_EQ((Names{"ch1", "ch2", "ch3", "ch4", "enclosure1"}), Children("MVP1"));
    EXPECT_EQ("256", Prop("MVP1\\ch1\\master", "Status")) << "the disk is free again";
    EXPECT_EQ(1u, simtest::Snapshot()->counters.creates);
}
} // namespace
