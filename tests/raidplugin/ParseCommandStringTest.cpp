#include "CRiver.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace
{
struct Row
{
    const char* text;
    char separator;
    int count;
    std::vector<std::string> fields;
    // The uncounted field of an unterminated quote, if any.
    const char* unterminated;
};

void PrintTo(const Row& row, std::ostream* os) { *os << "[" << row.text << "]"; }

class ParseCommandStringCase : public ::testing::TestWithParam<Row>
{
};

TEST_P(ParseCommandStringCase, SplitsInPlace)
{
    const Row& row = GetParam();
    std::string text = row.text;
    int count = -1;
    char** fields = nullptr;
    ParseCommandString(&text[0], count, fields, row.separator);
    ASSERT_NE(nullptr, fields);
    ASSERT_EQ(row.count, count);
    std::vector<std::string> got(fields, fields + count);
    EXPECT_EQ(row.fields, got);
    if (row.unterminated)
    {
        EXPECT_STREQ(row.unterminated, fields[count]);
    }
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(fields[i] >= &text[0] && fields[i] < &text[0] + text.size() + 1) << "fields point into the text";
    delete[] fields;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseCommandStringCase,
    ::testing::Values(Row{"a@\"b@c\"@d", '@', 3, {"a", "b@c", "d"}, nullptr},
                      Row{"a@\"b", '@', 1, {"a"}, "b"},
                      Row{"1@2@3", '@', 3, {"1", "2", "3"}, nullptr},
                      Row{"single", '@', 1, {"single"}, nullptr},
                      Row{"", '@', 1, {""}, nullptr},
                      Row{"@@", '@', 3, {"", "", ""}, nullptr},
                      Row{"\"x@y\"@z", '@', 2, {"x@y", "z"}, nullptr},
                      Row{"\"\"@z", '@', 2, {"", "z"}, nullptr},
                      Row{"\"open", '@', 0, {}, "open"},
                      Row{"a@\"b\"tail@c", '@', 3, {"a", "b", "c"}, nullptr},
                      Row{"k=v;w", ';', 2, {"k=v", "w"}, nullptr}));

TEST(ParseCommandString, NullTextGivesNoFields)
{
    int count = -1;
    char** fields = reinterpret_cast<char**>(&count);
    ParseCommandString(nullptr, count, fields, '@');
    EXPECT_EQ(0, count);
    EXPECT_EQ(nullptr, fields);
}
} // namespace
