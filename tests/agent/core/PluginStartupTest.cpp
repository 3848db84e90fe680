#include "AgentProcess.h"
#include "CProfile.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
TEST(PluginStartupTest, AFailedDeviceIsToldAndTheAgentServesOn)
{
    {
        CProfile profile("/etc/tavrine/Dorvik.rc");
        profile.WriteProfile("Morliven", "NumOfDevice", 2);
        profile.WriteProfile("Morliven", "Device1", "Broken");
        profile.WriteProfile("Morliven", "Path1", "/nonexistent/libnone.so");
        profile.WriteProfile("Morliven", "Device2", "Good");
        profile.WriteProfile("Morliven", "Path2", TEST_PLUGIN_PATH);
    }
    AgentResult result = StartAndStopAgent({});
    EXPECT_EQ(0, result.status) << result.out << result.err;
    EXPECT_NE(std::string::npos, result.out.find("Failed to load /nonexistent/libnone.so!\n")) << result.out;
    EXPECT_EQ(std::string::npos, result.out.find("Couldn't find")) << result.out;
    EXPECT_NE(std::string::npos, result.out.find(kRunningText)) << result.out;
}

TEST(PluginStartupTest, EveryStartMakesANewIdentity)
{
    int first[2] = {0, 0};
    int second[2] = {0, 0};
    for (int* values : {first, second})
    {
        AgentResult result = StartAndStopAgent({});
        ASSERT_EQ(0, result.status) << result.out << result.err;
        CProfile profile("/etc/tavrine/Dorvik.rc");
        profile.GetProfile("Location", "Value1", &values[0]);
        profile.GetProfile("Location", "Value2", &values[1]);
    }
    EXPECT_TRUE(first[0] != second[0] || first[1] != second[1]);
}
} // namespace
