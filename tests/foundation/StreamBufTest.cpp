#include "CException.h"
#include "CStreamBuf.h"
#include "StreamBufRecord.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(CStreamBufTest, AllocateBounds)
{
    CStreamBuf buf;
    buf.AllocateBuf(65536);
    EXPECT_EQ(buf.GetLength(), 65536);
    ASSERT_NE(buf.GetBuf(), nullptr);
    buf.GetBuf()[65535] = 1;
    try
    {
        buf.AllocateBuf(65537);
        FAIL() << "no exception";
    }
    catch (const CException& e)
    {
        EXPECT_EQ(e.m_Info, "Exception:AllocateBuf,too large memory to allocate");
    }
    // A refused request leaves the old buffer in place.
    EXPECT_EQ(buf.GetLength(), 65536);
    buf.AllocateBuf(0);
    EXPECT_EQ(buf.GetLength(), 0);
    EXPECT_EQ(buf.GetBuf(), nullptr);
}

TEST(CStreamBufTest, ZeroFromOffset)
{
    CStreamBuf buf;
    buf.AllocateBuf(8);
    memset(buf.GetBuf(), 'x', 8);
    buf.Zero(5);
    EXPECT_EQ(memcmp(buf.GetBuf(), "xxxxx\0\0\0", 8), 0);
    buf.Zero(8);
    buf.Zero(-3);
    EXPECT_EQ(buf.GetBuf()[0], 'x');
}

TEST(CStreamBufTest, ReleaseHandsOverBuffer)
{
    CStreamBuf buf;
    buf.AllocateBuf(16);
    char* p = buf.Release();
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(buf.GetBuf(), nullptr);
    EXPECT_EQ(buf.GetLength(), 0);
    delete[] p;
}

TEST(CExceptionTest, TextCarriesPrefix)
{
    EXPECT_EQ(CException().m_Info, "Exception:");
    EXPECT_EQ(CException("boom").m_Info, "Exception:boom");
    CException copy(CException("x"));
    EXPECT_EQ(copy.m_Info, "Exception:x");
}

TEST(StreamBufRecordTest, AllocateAndFree)
{
    tagSTREAMBUF b{12, nullptr};
    ASSERT_EQ(AllocStreamBuf(b), 0u);
    ASSERT_NE(b.data, nullptr);
    memset(b.data, 0xAB, b.length);
    EXPECT_EQ(FreeStreamBuf(b), 0u);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.length, 0u);
    EXPECT_EQ(FreeStreamBuf(b), 0u);
}
