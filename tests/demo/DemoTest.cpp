// The demonstration as a newcomer runs it: the story must reach its end
// with every step's key line in the section that tells it, and the shell
// must leave nothing running behind.

#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace
{
const std::string kDemo = "TAVRINE_DEMO_BUILD=" TAVRINE_BUILD_DIR " " TAVRINE_SOURCE_DIR "/tools/demo";

// The story's sections by their headings ("=== NAME ===").
std::map<std::string, std::string> Sections(const std::string& story)
{
    std::map<std::string, std::string> sections;
    std::istringstream lines(story);
    std::string line, heading;
    while (std::getline(lines, line))
    {
        if (line.size() > 8 && line.compare(0, 4, "=== ") == 0 && line.compare(line.size() - 4, 4, " ===") == 0)
            heading = line.substr(4, line.size() - 8);
        else
            sections[heading] += line + "\n";
    }
    return sections;
}

TEST(Demo, TheStoryTellsEveryStepToTheEnd)
{
    int status = -1;
    const std::string story = simtest::Shell(kDemo + " --inside-story 2>&1", &status);
    ASSERT_EQ(status, 0) << story;
    const std::map<std::string, std::string> sections = Sections(story);
    const struct
    {
        const char* heading;
        const char* text;
    } cases[] = {
        {"The agent", "Device1=RAID\n"},
        {"The agent", "dorvik daemon is running well..."},
        {"Finding the agent, as a management server does", "\t127.0.0.1\n"},
        {"What the agent shows: its tree", "o-- MVP1 (type 26)"},
        {"What the agent shows: its tree", "prv Status = 256 (free or spare)\n"},
        {"Telling the agent where to mail", "800 Functional"},
        {"Creating a RAID 5 array of four disks", "800 Functional"},
        {"Creating a RAID 5 array of four disks", " done\n"},
        {"Creating a RAID 5 array of four disks", "Status 0 (functional), members: disk1 disk2 disk3 disk4\n"},
        {"A disk fails", " 256 Drv. Fail: "},
        {"A disk fails", "Status -2147483647 (critical), members: disk1 disk2 disk4\n"},
        {"Rebuilding the array", "Status 0 (functional), members: disk1 disk2 disk4 disk5\n"},
        {"The events the agent stored", " 519 Array Create: "},
        {"The events the agent stored", " 256 Drv. Fail: "},
        {"The events the agent stored", " 523 Rebuild Complete: "},
        {"The events the agent stored", "next "},
        {"The events pushed to the watching server", " 522 Ary. Critical: "},
        {"The events pushed to the watching server", " 523 Rebuild Complete: "},
        {"The mails the agent sent", "to ann@example.com: Error-Drv. Fail\n"},
        {"The mails the agent sent", "to ann@example.com: Information-Rebuild Complete\n"},
        {"Stopping the agent", "dorvik and the mail server stopped"},
    };
    for (const auto& c : cases)
    {
        const auto section = sections.find(c.heading);
        ASSERT_NE(section, sections.end()) << "no section \"" << c.heading << "\"\n" << story;
        EXPECT_NE(section->second.find(c.text), std::string::npos)
            << "\"" << c.text << "\" missing under \"" << c.heading << "\":\n" << section->second;
    }
    EXPECT_EQ(story.find("demo:"), std::string::npos) << story;
}

TEST(Demo, TheShellHasTheToolsAndExitLeavesNothingRunning)
{
    {
        std::ofstream typed("/tmp/typed");
        typed << "command -v halsenctl velcon zelsim\n"
              << "halsenctl --user admin cd '\\RAID' get handle\n"
              << "exit\n";
    }
    int status = -1;
    const std::string session = simtest::Shell(kDemo + " --inside-shell </tmp/typed 2>&1", &status);
    EXPECT_EQ(status, 0) << session;
    for (const char* tool : {"/halsenctl\n", "/velcon\n", "/zelsim\n"})
        EXPECT_NE(session.find(tool), std::string::npos) << tool << " not on the PATH\n" << session;
    EXPECT_NE(session.find("pr- handle = 1;14"), std::string::npos) << "the agent did not answer\n" << session;
    const std::string left = simtest::Shell("pgrep -a -f '[d]orvik|[s]mtp_peer' || true");
    EXPECT_EQ(left, "") << "still running after exit";
}
} // namespace
