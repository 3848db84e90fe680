#include "CProfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace
{
const char kAgentProfile[] = "/etc/tavrine/Dorvik.rc";

std::string ReadAgentProfile()
{
    std::ifstream in(kAgentProfile, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}
}

TEST(DefaultProfileTest, DefaultProfileIsTheAgentsFile)
{
    {
        CProfile profile;
        profile.WriteProfile("LogFile", "MaxNumber", 1000000);
    }
    EXPECT_EQ(ReadAgentProfile(), "[LogFile]\nMaxNumber=1000000\n");
    struct stat st;
    ASSERT_EQ(stat(kAgentProfile, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    CProfile again;
    int value = 0;
    again.GetProfile("LogFile", "MaxNumber", &value);
    EXPECT_EQ(value, 1000000);
}

TEST(DefaultProfileTest, ReadOfAMissingProfileLeavesAnEmptyFile)
{
    {
        CProfile profile;
        CString value("x");
        profile.GetProfile("Morliven", "NumOfDevice", value);
        EXPECT_STREQ(value, "");
    }
    struct stat st;
    ASSERT_EQ(stat(kAgentProfile, &st), 0);
    EXPECT_EQ(st.st_size, 0);
}
