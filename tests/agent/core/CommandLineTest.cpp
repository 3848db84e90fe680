#include "AgentProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace
{
struct CommandLineCase
{
    const char* name;
    std::vector<std::string> args;
    // True when the agent starts and runs until it is stopped.
    bool starts;
    int status;
    std::string out;
};

const std::string kIgnored = "Ignored error parameter!\n";
const std::string kVersion = "current version is : 1.30.10.\n";
const std::string kInitFailed = "Failed to initialize system sccount!\n";
const std::string kInitDone =
    "System initialize successful!\nnew account generated:\naccount name:admin\n";

const CommandLineCase kCases[] = {
    {"NoArguments", {}, true, 0, ""},
    {"ShortVersion", {"-V"}, false, 0, kVersion},
    {"LongVersion", {"--version"}, false, 0, kVersion},
    {"ShortDebug", {"-d"}, true, 0, ""},
    {"LongDebug", {"--debug"}, true, 0, ""},
    {"ShortVerbose", {"-v"}, true, 0, ""},
    {"LongVerbose", {"--verbose"}, true, 0, ""},
    {"SlashInit", {"/i", "admin", "secret"}, false, 0, kInitDone},
    {"ShortInit", {"-i", "admin", "secret"}, false, 0, kInitDone},
    {"LongInit", {"--init", "admin", "secret"}, false, 0, kInitDone},
    {"InitEmptyName", {"--init", "", "secret"}, false, 1, kInitFailed},
    {"InitAlone", {"--init"}, true, 0, kIgnored},
    {"InitWithNameOnly", {"--init", "admin"}, true, 0, kIgnored},
    {"InitWithTooMany", {"--init", "admin", "secret", "more"}, true, 0, kIgnored},
    {"UnknownOption", {"-x"}, true, 0, kIgnored},
    {"OptionsAreCaseSensitive", {"--VERSION"}, true, 0, kIgnored},
    {"TwoOptions", {"-v", "-V"}, true, 0, kIgnored},
    {"VersionWithExtra", {"-V", "extra"}, true, 0, kIgnored},
    {"DebugWithExtra", {"-d", "extra"}, true, 0, kIgnored},
};

void PrintTo(const CommandLineCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLineTest : public testing::TestWithParam<CommandLineCase>
{
};

TEST_P(CommandLineTest, PrintsItsTextAndEndsWithItsStatus)
{
    const CommandLineCase& c = GetParam();
    AgentResult result = c.starts ? StartAndStopAgent(c.args) : RunAgent(c.args);
    std::string out = c.out;
    if (c.starts)
        out += kRunningText + std::string(kShutdownText);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.out, out);
    EXPECT_EQ(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(Shapes, CommandLineTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CommandLineCase>& param)
                         { return std::string(param.param.name); });

const char kMissingConfig[] = "config file does not exist,error: No such file or directory\n";

// The document is built before the command line is looked at, so a missing
// configuration directory ends even a version query.
TEST(ConfigCheckTest, MissingDirectoryEndsEveryStart)
{
    std::filesystem::remove_all("/etc/tavrine");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"}, std::vector<std::string>{}})
    {
        AgentResult result = RunAgent(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, kMissingConfig);
        EXPECT_EQ(result.out, kShutdownText);
        EXPECT_FALSE(std::filesystem::exists("/etc/tavrine"));
    }
}

TEST(ConfigCheckTest, MissingProfileInExistingDirectoryIsFine)
{
    std::filesystem::remove("/etc/tavrine/Dorvik.rc");
    AgentResult result = RunAgent({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kVersion);
    EXPECT_EQ(result.err, "");
}

TEST(ConfigCheckTest, MissingProfileStillLetsTheAgentRun)
{
    std::filesystem::remove("/etc/tavrine/Dorvik.rc");
    AgentResult result = StartAndStopAgent({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kRunningText + std::string(kShutdownText));
}
} // namespace
