// Creating an array of each mode and deleting it, and the name box's
// refusals.

#include "VelconScreen.h"

namespace
{
struct ModeCase
{
    const char* mode;       // radio-list entry
    int downs;              // its place in the list
    const char* diskPrompt; // the check list's prompt
    int disks;              // disks marked
    const char* shown;      // "zelsim show" of the new array
};

void PrintTo(const ModeCase& c, std::ostream* os)
{
    *os << c.mode;
}

class CreateScreen : public VelconScreen, public ::testing::WithParamInterface<ModeCase>
{
protected:
    // From the adapter menu to the name box of `mode`, marking `disks`
    // disks from the top of the check list.
    void ChooseUpToName(const ModeCase& c)
    {
        Open("C", "Please select array mode:");
        for (int i = 0; i < c.downs; i++)
            Keys({"Down"});
        Keys({"Enter"});
        if (std::string(c.mode) == "RAID5")
        {
            See("Initialize?");
            Keys({"n"});
        }
        See(c.diskPrompt);
        for (int i = 0; i < c.disks; i++)
            Keys({"Space", "Down"});
        Keys({"Enter"});
        See("GIGA Boundary?");
        Keys({"n"});
        See("Enter array name to create:");
    }
};

TEST_P(CreateScreen, CreatesAndDeletesAnArray)
{
    const ModeCase& c = GetParam();
    Start();
    See("/adapter1");
    ChooseUpToName(c);
    Keys({"Enter"});
    See("Creation complete");
    See("You must reload driver");
    Keys({"Enter"});
    See("Delete");
    EXPECT_NE(Zelsim("show").find(c.shown), std::string::npos) << Zelsim("show");

    Open("D", "/adapter1/delete");
    Keys({"Enter"});
    See("Do you really want to delete this array:");
    Keys({"y"});
    See("Deletion complete");
    Keys({"Enter"});
    See("Create");
    EXPECT_EQ(Zelsim("show").find("array 0:"), std::string::npos) << Zelsim("show");
}

const ModeCase kModes[] = {
    {"JBOD", 0, "Select one disk:", 1, "array 0: \"JBOD\", jbod"},
    {"RAID1", 1, "Select2disks:", 2, "array 0: \"RAID1\", mirror"},
    {"RAID0", 2, "Select2(or more)disks:", 3, "array 0: \"RAID0\", stripe"},
    {"RAID5", 3, "Select3(or more)disks:", 3, "array 0: \"RAID5\", distributed-parity"},
    {"RAID0+1", 4, "Select4(or more)disks:", 4, "array 0: \"RAID01\", stripe-mirror"},
};
INSTANTIATE_TEST_SUITE_P(EachMode, CreateScreen, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<ModeCase>& p) {
                             return std::string(p.param.mode == std::string("RAID0+1") ? "RAID01" : p.param.mode);
                         });

using NameScreen = CreateScreen;

TEST_F(NameScreen, BadNamesAreRefusedAndLongOnesBounded)
{
    Start();
    See("/adapter1");
    ChooseUpToName(kModes[0]);
    Keys({"BSpace", "BSpace", "BSpace", "BSpace", "Enter"});
    See("Invalid array name");
    See("The array name is empty.");
    Keys({"Enter"});
    See("Enter array name to create:");
    EXPECT_NE(Zelsim("show").find("requests"), std::string::npos);
    EXPECT_EQ(Zelsim("show").find("array 0:"), std::string::npos);
    tmux->Type("   ");
    Keys({"Enter"});
    See("The array name is empty.");
    Keys({"Enter"});
    See("Enter array name to create:");
    Keys({"BSpace", "BSpace", "BSpace"});
    tmux->Type(std::string(40, 'n'));
    Keys({"Enter"});
    See("Creation complete");
    EXPECT_NE(Zelsim("show").find("array 0: \"" + std::string(31, 'n') + "\","), std::string::npos)
        << Zelsim("show");
}

TEST_F(NameScreen, CancellingTheNameCreatesNothing)
{
    Start();
    See("/adapter1");
    ChooseUpToName(kModes[1]);
    Keys({"Escape"});
    See("/adapter1");
    EXPECT_EQ(Zelsim("show").find("array 0:"), std::string::npos);
}

TEST_F(NameScreen, RaidOneInsistsOnExactlyTwoDisks)
{
    Start();
    See("/adapter1");
    Open("C", "Please select array mode:");
    Keys({"Down", "Enter"});
    See("Select2disks:");
    Keys({"Space", "Down", "Space", "Down", "Space", "Enter"});
    See("Select2disks:"); // three marked: asked again, with the marks cleared
    EXPECT_EQ(tmux->Screen().find("[X]"), std::string::npos) << tmux->Screen();
    Keys({"Down", "Down", "Space", "Up", "Up", "Space", "Enter"});
    See("GIGA Boundary?");
    Keys({"y"});
    See("Enter array name to create:");
    Keys({"Enter"});
    See("Creation complete");
    // In the order marked: the third disk first.
    EXPECT_NE(Zelsim("show").find("members 2 0"), std::string::npos) << Zelsim("show");
}
} // namespace
