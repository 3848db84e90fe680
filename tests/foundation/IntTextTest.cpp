// The one reader of decimal property values that the agent's folders and
// the plug-in's rivers share.

#include "IntText.h"

#include <gtest/gtest.h>

namespace
{
TEST(IntText, TakesTheLeadingNumberWhenItFitsAnInt)
{
    const struct
    {
        const char* text;
        bool read;
        int value;
    } cases[] = {
        {"0", true, 0},
        {"42", true, 42},
        {"-7", true, -7},
        {"  12", true, 12},
        {"64 (kb)", true, 64},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 99},
        {"-2147483649", false, 99},
        {"99999999999999999999999", false, 99},
        {"", false, 99},
        {"x1", false, 99},
        {"-", false, 99},
        {nullptr, false, 99},
    };
    for (const auto& c : cases)
    {
        int value = 99;
        EXPECT_EQ(ParseLeadingInt(c.text, value), c.read) << (c.text ? c.text : "null");
        EXPECT_EQ(value, c.value) << (c.text ? c.text : "null");
    }
}
} // namespace
