// The temporary files that killed rewrites of the profile leave behind, as
// the agent meets them when it starts.

#include "AgentProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

const char kDir[] = "/etc/tavrine/";

struct Leftover
{
    const char* name;
    bool removed;
};

// Only files of the rewrites' own pattern that belong to the agent's user
// go; a link of that pattern stays, and so does what it points to.
TEST(ProfileLeftoverTest, TheAgentRemovesWhatKilledRewritesLeftWhenItStarts)
{
    std::ofstream(std::string(kDir) + "Dorvik.rc") << "[LogFile]\nMaxNumber=10\n";
    std::ofstream(std::string(kDir) + "linked") << "kept";
    const Leftover leftovers[] = {
        {"Dorvik.rc.Q1w2E3", true},
        {"Dorvik.rc.a0B9c8", true},
        {"Dorvik.rc.link01", false},
        {"Dorvik.rc.uid001", false},
        {"ZELRAID.PWD.Q1w2E3", false},
    };
    for (const Leftover& l : leftovers)
    {
        const std::string path = std::string(kDir) + l.name;
        if (std::string(l.name).find("link") != std::string::npos)
        {
            ASSERT_EQ(symlink("linked", path.c_str()), 0);
            continue;
        }
        std::ofstream(path) << std::string(1 << 20, '#');
        if (std::string(l.name).find("uid") != std::string::npos)
        {
            ASSERT_EQ(chown(path.c_str(), 4242, 4242), 0);
        }
    }
    AgentResult result = StartAndStopAgent({});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const Leftover& l : leftovers)
        EXPECT_EQ(fs::exists(fs::symlink_status(std::string(kDir) + l.name)), !l.removed) << l.name;
    std::ifstream linked(std::string(kDir) + "linked");
    std::string text;
    linked >> text;
    EXPECT_EQ(text, "kept");
}
} // namespace
