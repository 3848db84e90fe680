// Start and end of the utility: the adapter choice, the missing adapter,
// and the kernel message level put back on every way out.

#include "VelconScreen.h"

#include <unistd.h>

namespace
{
using StartScreen = VelconScreen;

TEST_F(StartScreen, OneAdapterOpensItsMenuAndQuitRestoresTheLevel)
{
    Start();
    SeeRows("/adapter1\nDisk\nCreate\nMiscellaneous\n<Select>|<Quit>");
    EXPECT_EQ(tmux->Screen().find("Array "), std::string::npos);
    EXPECT_EQ(PrintkWrites(), "write \"0\\n\"\n");
    Keys({"Tab", "Enter"});
    See("[exit 0]");
    QuitAndExpectRestored();
}

TEST_F(StartScreen, TwoAdaptersAreChosenFirst)
{
    Start("two-adapters");
    SeeRows("First Adapter\nSecond Adapter\n<Select>|<Quit>");
    Open("S", "/adapter2");
    SeeRows("Disk\nArray\nDelete\nMaintenance\n<Select>|<Cancel>");
    EXPECT_EQ(tmux->Screen().find("Create"), std::string::npos); // no free disk there
    Keys({"Escape"});
    See("First Adapter");
    Keys({"Escape"});
    See("[exit 0]");
    QuitAndExpectRestored();
}

TEST_F(StartScreen, NoDriverIsToldAndEndsCleanly)
{
    Start("one-adapter", "zelsim driver none");
    See("Initialization failed");
    See("Driver Not Found");
    Keys({"Enter"});
    See("[exit 0]");
    QuitAndExpectRestored();
}

// The ways out that are not the Quit button: the level comes back all the
// same.
TEST_F(StartScreen, InterruptRestoresTheLevel)
{
    Start();
    See("/adapter1");
    Keys({"C-c"});
    See("[exit 130]");
    QuitAndExpectRestored();
}

TEST_F(StartScreen, LostTerminalRestoresTheLevel)
{
    Start();
    See("/adapter1");
    tmux.reset(); // the terminal goes away: a hangup
    for (int i = 0; i < 100 && PrintkWrites().find("7") == std::string::npos; i++)
        usleep(50000);
    EXPECT_EQ(PrintkWrites(), "write \"0\\n\"\nwrite \"7\\n\"\n");
}
} // namespace
