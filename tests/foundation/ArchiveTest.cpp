#include "CArchive.h"
#include "TempDirTest.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
using Bytes = std::vector<unsigned char>;

class ArchiveTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        path = dir + "/data";
    }

    // The bytes that `write` puts into a fresh file.
    Bytes Written(const std::function<void(CArchive&)>& write) const
    {
        {
            CFile file;
            EXPECT_TRUE(file.Open(path.c_str(), 1));
            CArchive ar(&file, 0);
            write(ar);
        }
        std::string content = Take(path);
        return Bytes(content.begin(), content.end());
    }
    void PutBytes(const Bytes& bytes) const { Put(path, std::string(bytes.begin(), bytes.end())); }

    std::string path;
};

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}

TEST_F(ArchiveTest, ValuesHaveTheirLittleEndianLayout)
{
    struct Case
    {
        const char* name;
        std::function<void(CArchive&)> write;
        Bytes bytes;
    };
    const Case cases[] = {
        {"char", [](CArchive& a) { a << 'A'; }, {0x41}},
        {"short", [](CArchive& a) { a << static_cast<short>(-2); }, {0xFE, 0xFF}},
        {"int", [](CArchive& a) { a << 0x12345678; }, {0x78, 0x56, 0x34, 0x12}},
        {"long", [](CArchive& a) { a << -1L; }, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"long keeps its low four bytes", [](CArchive& a) { a << 0x100000002L; }, {0x02, 0, 0, 0}},
        {"unsigned long", [](CArchive& a) { a << 0xDEADBEEFUL; }, {0xEF, 0xBE, 0xAD, 0xDE}},
        {"float", [](CArchive& a) { a << 1.0f; }, {0x00, 0x00, 0x80, 0x3F}},
        {"double", [](CArchive& a) { a << -2.0; }, {0, 0, 0, 0, 0, 0, 0x00, 0xC0}},
        {"string", [](CArchive& a) { a << CString("hi"); }, {0x02, 0, 0, 0, 'h', 'i'}},
        {"empty string", [](CArchive& a) { a << CString(); }, {0, 0, 0, 0}},
        {"count 0", [](CArchive& a) { a.WriteCount(0); }, {0, 0}},
        {"count 65534", [](CArchive& a) { a.WriteCount(65534); }, {0xFE, 0xFF}},
        {"count 65535", [](CArchive& a) { a.WriteCount(65535); }, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {"count 70000", [](CArchive& a) { a.WriteCount(70000); }, {0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
        {"raw bytes", [](CArchive& a) { a.Write("\x01\x02", 2); }, {0x01, 0x02}},
        {"values follow each other without gaps",
         [](CArchive& a) { a << 'x' << static_cast<short>(1) << 2 << CString("z"); },
         {'x', 1, 0, 2, 0, 0, 0, 1, 0, 0, 0, 'z'}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Written(c.write), c.bytes) << c.name;
}

TEST_F(ArchiveTest, ValuesComeBackAsWritten)
{
    const CString text("event@12@3@title@detail");
    const CString longest(std::string(8192, 'q').c_str());
    Written([&](CArchive& a) {
        a << 'z' << static_cast<char>(-128) << static_cast<short>(SHRT_MIN) << static_cast<short>(SHRT_MAX)
          << INT_MIN << INT_MAX << -123456L << 4000000000UL << FLT_MIN << -3.5f << M_PI << -DBL_MAX << text
          << CString("1") << longest << CString();
    });
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), 0));
    CArchive ar(&file, 0);
    char c1, c2;
    short s1, s2;
    int i1, i2;
    long l;
    unsigned long ul;
    float f1, f2;
    double d1, d2;
    CString t1, t2, t3, t4("x");
    ar >> c1 >> c2 >> s1 >> s2 >> i1 >> i2 >> l >> ul >> f1 >> f2 >> d1 >> d2 >> t1 >> t2 >> t3 >> t4;
    EXPECT_EQ(c1, 'z');
    EXPECT_EQ(c2, static_cast<char>(-128));
    EXPECT_EQ(s1, SHRT_MIN);
    EXPECT_EQ(s2, SHRT_MAX);
    EXPECT_EQ(i1, INT_MIN);
    EXPECT_EQ(i2, INT_MAX);
    EXPECT_EQ(l, -123456L);
    EXPECT_EQ(ul, 4000000000UL);
    EXPECT_EQ(f1, FLT_MIN);
    EXPECT_EQ(f2, -3.5f);
    EXPECT_EQ(d1, M_PI);
    EXPECT_EQ(d2, -DBL_MAX);
    EXPECT_STREQ(t1, text);
    EXPECT_STREQ(t2, "1");
    EXPECT_EQ(t3.GetLength(), 8192);
    EXPECT_TRUE(t3 == longest);
    EXPECT_STREQ(t4, "");
    EXPECT_EQ(file.GetPosition(), file.GetLength());
}

TEST_F(ArchiveTest, CountsRoundTripAcrossTheMarker)
{
    struct Case
    {
        int count;
        size_t size;
    };
    const Case cases[] = {
        {0, 2}, {1, 2}, {65534, 2}, {65535, 6}, {65536, 6}, {INT_MAX, 6}, {-1, 6}, {INT_MIN, 6},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Written([&](CArchive& a) { a.WriteCount(c.count); a << 77; }).size(), c.size + 4) << c.count;
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), 0));
        CArchive ar(&file, 0);
        EXPECT_EQ(ar.ReadCount(), c.count);
        int after = 0;
        ar >> after;
        EXPECT_EQ(after, 77) << c.count;
    }
}

// Only lengths 1..8192 are read as text; for any other length only the
// length word is consumed.
TEST_F(ArchiveTest, StoredStringLengthsOutsideTheRangeReadEmpty)
{
    const Bytes after = {'n', 'e', 'x', 't'};
    struct Case
    {
        Bytes length;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}},
        {{0xFF, 0xFF, 0xFF, 0xFF}},
        {{0x01, 0x20, 0, 0}},
        {{0xFF, 0xFF, 0xFF, 0x7F}},
        {{0, 0, 0, 0x80}},
    };
    for (const Case& c : cases)
    {
        PutBytes(Concat(c.length, after));
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), 0));
        CArchive ar(&file, 0);
        CString value("stale");
        ar >> value;
        EXPECT_STREQ(value, "");
        EXPECT_EQ(file.GetPosition(), 4);
    }
}

// A longer text would be unreadable and put the reader out of step with
// everything after it, so it is stored cut to the longest readable length.
TEST_F(ArchiveTest, OverLongStringIsStoredAtTheReadableLength)
{
    const CString huge(std::string(9000, 'h').c_str());
    Bytes bytes = Written([&](CArchive& a) { a << huge << 42; });
    EXPECT_EQ(bytes.size(), 4u + 8192u + 4u);
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), 0));
    CArchive ar(&file, 0);
    CString value;
    int after = 0;
    ar >> value >> after;
    EXPECT_EQ(value.GetLength(), 8192);
    EXPECT_EQ(after, 42);
}

TEST_F(ArchiveTest, ShortReadsKeepWhatArrived)
{
    PutBytes({10, 0, 0, 0, 'a', 'b', 'c'});
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), 0));
        CArchive ar(&file, 0);
        CString value;
        ar >> value;
        EXPECT_STREQ(value, "abc");
    }
    PutBytes({0x34, 0x12});
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), 0));
    CArchive ar(&file, 0);
    int value = -1;
    ar >> value;
    EXPECT_EQ(value, 0x1234);
}

TEST_F(ArchiveTest, ArchiveWithoutAnOpenFileDoesNothing)
{
    CArchive unbound(nullptr, 0);
    EXPECT_FALSE(unbound.IsValid());
    char buf[4];
    EXPECT_EQ(unbound.Read(buf, sizeof(buf)), 0);
    unbound.Write("x", 1);
    int value = 5;
    CString text("t");
    unbound << 1 << CString("x");
    unbound >> value >> text;
    EXPECT_EQ(value, 0);
    EXPECT_STREQ(text, "");
    unbound.WriteCount(70000);
    EXPECT_EQ(unbound.ReadCount(), 0);
    unbound.Flush();
    unbound.Close();

    CFile closed;
    CArchive onClosed(&closed, 0);
    EXPECT_FALSE(onClosed.IsValid());
}

TEST_F(ArchiveTest, CloseFlushesAndUnbinds)
{
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), 1));
    CArchive ar(&file, 3);
    EXPECT_TRUE(ar.IsValid());
    ar << 0x01020304;
    ar.Close();
    EXPECT_FALSE(ar.IsValid());
    EXPECT_TRUE(file.IsValid());
    EXPECT_EQ(fs::file_size(path), 4u);
    ar << 5;
    file.Close();
    EXPECT_EQ(fs::file_size(path), 4u);
}
