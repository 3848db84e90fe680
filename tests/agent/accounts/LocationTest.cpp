#include "CProfile.h"
#include "CXCrypt.h"
#include "StatusWords.h"

#include <gtest/gtest.h>

namespace
{
TEST(Location, IsFreshEachTimeAndGoesToTheProfile)
{
    unsigned long a[2] = {0, 0}, b[2] = {0, 0};
    ASSERT_EQ(CXCrypt::InitLocation("host", a), S_OK);
    ASSERT_EQ(CXCrypt::InitLocation("host", b), S_OK);
    EXPECT_TRUE(a[0] != b[0] || a[1] != b[1]);
    int first = 0, second = 0;
    CProfile profile("/etc/tavrine/Dorvik.rc");
    profile.GetProfile("Location", "Value1", &first);
    profile.GetProfile("Location", "Value2", &second);
    EXPECT_EQ(uint32_t(first), b[0]);
    EXPECT_EQ(uint32_t(second), b[1]);
}
} // namespace
