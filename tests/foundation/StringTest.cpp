#include "CException.h"
#include "CString.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

TEST(CStringTest, EmptyHasSmallestBlock)
{
    CString s;
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetCapacity(), 32);
    EXPECT_STREQ(s, "");
}
