#include "CException.h"
#include "CString.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace
{
std::string Text(const CString& s) { return std::string(s.GetBuffer(), s.GetLength()); }

// Every byte after the text must be zero: other code hands the buffer out
// as a NUL-padded field.
void ExpectZeroTail(const CString& s)
{
    const char* buf = s.GetBuffer();
    for (int i = s.GetLength(); i < s.GetCapacity(); ++i)
        ASSERT_EQ(buf[i], 0) << "byte " << i << " of " << s.GetCapacity();
}
} // namespace

struct BlockCase
{
    int length;
    int capacity;
};

class CStringBlockTest : public ::testing::TestWithParam<BlockCase>
{
};

TEST_P(CStringBlockTest, CapacityFollowsBlockRule)
{
    const BlockCase c = GetParam();
    CString s(std::string(c.length, 'x').c_str());
    EXPECT_EQ(s.GetLength(), c.length);
    EXPECT_EQ(s.GetCapacity(), c.capacity);
    EXPECT_EQ(CString::BlockSize(c.length), c.capacity);
    ExpectZeroTail(s);
}

INSTANTIATE_TEST_SUITE_P(Lengths, CStringBlockTest,
                         ::testing::Values(BlockCase{0, 32}, BlockCase{1, 64}, BlockCase{31, 64},
                                           BlockCase{32, 96}, BlockCase{63, 96},
                                           BlockCase{64, 128}, BlockCase{65503, 65536}));

TEST(CStringTest, BlockSizeOfNegativeIsSmallest) { EXPECT_EQ(CString::BlockSize(-7), 32); }

TEST(CStringLimitTest, LongerThanMaximumThrowsBufferSizeText)
{
    const std::string tooLong(65504, 'y');
    try
    {
        CString s(tooLong.c_str());
        FAIL() << "no exception";
    }
    catch (const CException& e)
    {
        EXPECT_EQ(e.m_Info, "Exception:AllocateBuf,too large memory to allocate");
    }
}

TEST(CStringLimitTest, AppendPastMaximumThrowsAndKeepsText)
{
    CString s(std::string(65500, 'a').c_str());
    EXPECT_THROW(s += "abcd", CException);
    EXPECT_EQ(s.GetLength(), 65500);
    s += "abc";
    EXPECT_EQ(s.GetLength(), 65503);
}

TEST(CStringLimitTest, FormatPastMaximumThrows)
{
    CString s;
    EXPECT_THROW(s.Format("%70000d", 1), CException);
    s.Format("%65503d", 1);
    EXPECT_EQ(s.GetLength(), 65503);
}

TEST(CStringTest, NullPointerGivesEmpty)
{
    CString s(static_cast<const char*>(nullptr));
    EXPECT_TRUE(s.IsEmpty());
    s = "abc";
    s = static_cast<const char*>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.GetCapacity(), 32);
}

TEST(CStringTest, AssignmentReallocatesToBlockOfNewText)
{
    CString s(std::string(100, 'a').c_str());
    EXPECT_EQ(s.GetCapacity(), 160);
    s = "ab";
    EXPECT_EQ(s.GetCapacity(), 64);
    EXPECT_EQ(Text(s), "ab");
    ExpectZeroTail(s);
}

TEST(CStringTest, SelfAssignmentKeepsText)
{
    CString s("hello");
    const CString& same = s;
    s = same;
    EXPECT_EQ(Text(s), "hello");
    s = s.GetBuffer();
    EXPECT_EQ(Text(s), "hello");
}

TEST(CStringTest, AppendInPlaceUntilCapacityReached)
{
    CString s("a");
    ASSERT_EQ(s.GetCapacity(), 64);
    const char* before = s.GetBuffer();
    s += "b";
    EXPECT_EQ(s.GetBuffer(), before);
    EXPECT_EQ(s.GetCapacity(), 64);
    s += std::string(61, 'c').c_str(); // total 63 < 64: still in place
    EXPECT_EQ(s.GetCapacity(), 64);
    s += "d"; // total 64 reaches the capacity: a new block
    EXPECT_EQ(s.GetCapacity(), 128);
    EXPECT_EQ(s.GetLength(), 64);
    ExpectZeroTail(s);
}

TEST(CStringTest, EmptyStringAppendMovesOnlyAtCapacity)
{
    CString s;
    s += std::string(31, 'x').c_str();
    EXPECT_EQ(s.GetCapacity(), 32);
    s += "y";
    EXPECT_EQ(s.GetCapacity(), 96);
}

TEST(CStringTest, AppendItselfWhileGrowing)
{
    CString s(std::string(40, 'q').c_str());
    s += s;
    EXPECT_EQ(Text(s), std::string(80, 'q'));
    CString t("ab");
    t += t;
    EXPECT_EQ(Text(t), "abab");
}

TEST(CStringTest, ConcatenationOperators)
{
    CString a("ab");
    CString b("cd");
    EXPECT_EQ(Text(a + "x"), "abx");
    EXPECT_EQ(Text(a + b), "abcd");
    EXPECT_EQ(Text("x" + b), "xcd");
    EXPECT_EQ(Text(a), "ab");
}

TEST(CStringTest, Comparisons)
{
    CString s("ABC");
    EXPECT_TRUE(s == "ABC");
    EXPECT_FALSE(s == "abc");
    EXPECT_TRUE(s != "abc");
    EXPECT_TRUE(s == CString("ABC"));
    EXPECT_TRUE(s.EqualByNoCase("abc"));
    EXPECT_FALSE(s.EqualByNoCase("abcd"));
    EXPECT_FALSE(s.EqualByNoCase("ab"));
    EXPECT_FALSE(s.EqualByNoCase(nullptr));
}

TEST(CStringTest, GetAtBounds)
{
    CString s("abc");
    EXPECT_EQ(s.GetAt(0), 'a');
    EXPECT_EQ(s[2], 'c');
    EXPECT_EQ(s.GetAt(3), 0);
    EXPECT_EQ(static_cast<unsigned char>(s.GetAt(4)), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(s.GetAt(-1)), 0xFF);
}

struct FindCase
{
    const char* text;
    const char* needle;
    int index;
};

class CStringFindTest : public ::testing::TestWithParam<FindCase>
{
};

TEST_P(CStringFindTest, FindIndexOfText)
{
    const FindCase c = GetParam();
    CString s(c.text);
    EXPECT_EQ(s.FindIndex(c.needle), c.index);
    if (c.index < 0)
        EXPECT_EQ(s.Find(c.needle), nullptr);
    else
        EXPECT_EQ(s.Find(c.needle), s.GetBuffer() + c.index);
}

INSTANTIATE_TEST_SUITE_P(Texts, CStringFindTest,
                         ::testing::Values(FindCase{"hello world", "world", 6},
                                           FindCase{"hello", "hello", 0},
                                           FindCase{"hello", "xyz", -1}, FindCase{"", "a", -1},
                                           FindCase{"a@b@c", "@", 1}));

TEST(CStringTest, CharacterSearch)
{
    CString empty;
    EXPECT_EQ(empty.FindIndex('a'), -1);
    EXPECT_EQ(empty.Find('a'), nullptr);
    EXPECT_EQ(empty.ReverseFindIndex('a'), -1);
    CString path("/a/b");
    EXPECT_EQ(path.FindIndex('/'), 0);
    EXPECT_EQ(path.ReverseFindIndex('/'), 2);
    EXPECT_EQ(path.FindIndex('z'), -1);
    // The terminating NUL is not part of the text.
    EXPECT_EQ(path.FindIndex('\0'), -1);
}

struct EditCase
{
    const char* name;
    const char* text;
    void (*edit)(CString&);
    const char* result;
};

class CStringEditTest : public ::testing::TestWithParam<EditCase>
{
};

TEST_P(CStringEditTest, KeepsCapacityAndZeroTail)
{
    const EditCase c = GetParam();
    CString s(c.text);
    const int capacity = s.GetCapacity();
    c.edit(s);
    EXPECT_EQ(Text(s), c.result);
    EXPECT_EQ(s.GetCapacity(), capacity);
    ExpectZeroTail(s);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, CStringEditTest,
    ::testing::Values(
        EditCase{"TrimLeftBlanks", "   ab", [](CString& s) { s.TrimLeft(' '); }, "ab"},
        EditCase{"TrimLeftOnlyThatCharacter", "\t ab", [](CString& s) { s.TrimLeft(' '); },
                 "\t ab"},
        EditCase{"TrimRightNewlines", "ab\n\n", [](CString& s) { s.TrimRight('\n'); }, "ab"},
        EditCase{"TrimAllLeft", "xxx", [](CString& s) { s.TrimLeft('x'); }, ""},
        EditCase{"TrimAllRight", "xxx", [](CString& s) { s.TrimRight('x'); }, ""},
        EditCase{"MidTwo", "abcd", [](CString& s) { s.Mid(2); }, "cd"},
        EditCase{"MidAll", "abcd", [](CString& s) { s.Mid(4); }, ""},
        EditCase{"MidBeyond", "abcd", [](CString& s) { s.Mid(9); }, ""},
        EditCase{"MidZero", "abcd", [](CString& s) { s.Mid(0); }, "abcd"},
        EditCase{"LeftBeyond", "abc", [](CString& s) { s.Left(9); }, "abc"},
        EditCase{"LeftTwo", "abc", [](CString& s) { s.Left(2); }, "ab"},
        EditCase{"LeftNegative", "abc", [](CString& s) { s.Left(-1); }, ""},
        EditCase{"Upper", "aB1c", [](CString& s) { s.MakeUpper(); }, "AB1C"},
        EditCase{"Lower", "aB1C", [](CString& s) { s.MakeLower(); }, "ab1c"},
        EditCase{"Empty", "abc", [](CString& s) { s.Empty(); }, ""}),
    [](const ::testing::TestParamInfo<EditCase>& p) { return std::string(p.param.name); });

TEST(CStringFormatTest, FitsKeepsBufferAndZeroesRest)
{
    CString s(std::string(50, 'z').c_str());
    const char* before = s.GetBuffer();
    s.Format("%d-%s", 42, "x");
    EXPECT_EQ(Text(s), "42-x");
    EXPECT_EQ(s.GetBuffer(), before);
    EXPECT_EQ(s.GetCapacity(), 96);
    ExpectZeroTail(s);
}

TEST(CStringFormatTest, GrowsToBlockOfResult)
{
    CString s;
    s.Format("%s", std::string(200, 'k').c_str());
    EXPECT_EQ(s.GetLength(), 200);
    EXPECT_EQ(s.GetCapacity(), CString::BlockSize(200));
}

TEST(CStringFormatTest, ArgumentMayBeTheStringItself)
{
    CString s("abc");
    s.Format("[%s]", s.GetBuffer());
    EXPECT_EQ(Text(s), "[abc]");
}

TEST(CStringStreamTest, WritesTextAndReadsOneWord)
{
    std::ostringstream out;
    out << CString("hi there");
    EXPECT_EQ(out.str(), "hi there");

    std::istringstream in("  first second");
    CString word;
    in >> word;
    EXPECT_EQ(Text(word), "first");
    in >> word;
    EXPECT_EQ(Text(word), "second");
    EXPECT_FALSE(in >> word);
}

TEST(CStringStreamTest, ReadsWordLongerThanOnePiece)
{
    const std::string big(1000, 'w');
    std::istringstream in(big + " tail");
    CString word;
    in >> word;
    EXPECT_EQ(Text(word), big);
}
