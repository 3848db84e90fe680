// The README's example program, and the whole life of an array as a
// third party would drive it: the public header, the library and zelsim.

#include "ApiHelpers.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

using apitest::Select;
using simtest::LoadPreset;
using simtest::Shell;

namespace
{
std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ApiExample, ReadmeShowsTheProgramAsBuilt)
{
    std::string readme = ReadFile(std::string(TAVRINE_SOURCE_DIR) + "/README.md");
    size_t start = readme.find("```c\n");
    ASSERT_NE(start, std::string::npos);
    start += strlen("```c\n");
    size_t end = readme.find("```", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(readme.substr(start, end - start),
              ReadFile(std::string(TAVRINE_SOURCE_DIR) + "/raidapi/examples/lsarrays.c"));
}

TEST(ApiExample, ListsAdaptersAndArrays)
{
    LoadPreset("two-adapters");
    Shell("zelsim set hot-spares 0");
    Shell("zelsim fail-disk 0 4"); // a failed member is not counted
    int status = -1;
    std::string out = Shell(std::string(LSARRAYS_PATH) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "adapter 0: 4 channels, IRQ 10, slot 3\n"
                   "  array 0 \"System\": mirroring of 2 disks, functional\n"
                   "  array 1 \"Data\": distributed parity of 2 disks, critical\n"
                   "  array 2 \"Scratch\": striping of 2 disks, functional\n"
                   "adapter 1: 4 channels, IRQ 11, slot 4\n"
                   "  array 0 \"Archive\": stripe-mirroring of 4 disks, functional\n"
                   "  array 1 \"Vault\": parity of 3 disks, functional\n");
    Shell("zelsim driver none");
    out = Shell(std::string(LSARRAYS_PATH) + " 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "lsarrays: Driver Not Found\n");
}

raeArrayActivityStatus Activity(int id, int* percent, raeArrayFunctionalStatus* state)
{
    raeArrayActivityStatus activity = reArrayActivityStatusUnknown;
    EXPECT_EQ(raGetArrayStatus(id, state, &activity, percent), reSOK);
    return activity;
}

std::string Events()
{
    std::string texts;
    rasEvent ev[RA_MAX_EVENTS];
    int n = 0;
    while (raGetEvents(ev, &n) == reSOK)
        for (int i = 0; i < n; i++)
            texts += std::string(ev[i].desc) + "\n";
    return texts;
}

TEST(ApiExample, ARaid5FromCreationToDeletion)
{
    Select("one-adapter");
    Shell("zelsim set hot-spares 0");
    UCHAR name[] = "Tour";
    UCHAR disks[] = {0, 1, 2, 3};
    ASSERT_EQ(raCreateArray(name, reRaidModeParityDistributed, 4, disks, 64, reFlagRAID5Init),
              reSOK);
    int percent = 0;
    raeArrayFunctionalStatus state;
    EXPECT_EQ(Activity(0, &percent, &state), reArrayRaid5Initializing);
    Shell("zelsim step 60");
    EXPECT_EQ(Activity(0, &percent, &state), reArrayRaid5Initializing);
    EXPECT_EQ(percent, 60);
    Shell("zelsim step 40");
    EXPECT_EQ(Activity(0, &percent, &state), reArrayIdle);
    EXPECT_EQ(state, reArrayFunctional);

    Shell("zelsim fail-disk 0 2");
    EXPECT_EQ(Activity(0, &percent, &state), reArrayIdle);
    EXPECT_EQ(state, reArrayCritical);
    ASSERT_EQ(raArrayRebuildDisk(0, 2, raeStart), reSOK);
    EXPECT_EQ(Activity(0, &percent, &state), reArrayRebuilding);
    Shell("zelsim step 100");
    EXPECT_EQ(Activity(0, &percent, &state), reArrayIdle);
    EXPECT_EQ(state, reArrayFunctional);

    EXPECT_EQ(Events(), "Create Array arrid = 0\n"
                        "Disk Set Down : ZELSIM HD-40G ( 2, )\n"
                        "Array 1, Status Critical\n"
                        "Disk Rebuild Started : Array 1, Disk ZELSIM HD-40G ( 3, )\n"
                        "Array 1, Rebuild Completed on Disk ZELSIM HD-40G ( 3, )\n");

    ASSERT_EQ(raDeleteArray(0), reSOK);
    int n = -1;
    int ids[4];
    BOOL update = 0;
    raNeedUpdate(&update);
    EXPECT_EQ(raEnumerateAllArrays(&n, ids), reSOK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Events(), "Delete Array arrid = 0\n");
}
} // namespace
