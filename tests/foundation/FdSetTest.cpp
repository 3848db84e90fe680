#include "CFdSet.h"

#include <gtest/gtest.h>

#include <climits>
#include <sys/socket.h>
#include <unistd.h>

TEST(CFdSetTest, NewSetIsEmpty)
{
    CFdSet set;
    for (int fd = 0; fd < FD_SETSIZE; ++fd)
        ASSERT_FALSE(set.IsSet(fd)) << fd;
}

TEST(CFdSetTest, SetMarksOnlyThatDescriptorAndZeroClears)
{
    CFdSet set;
    for (int fd : {0, 5, 63, 64, FD_SETSIZE - 1})
    {
        EXPECT_TRUE(set.Set(fd)) << fd;
        EXPECT_TRUE(set.IsSet(fd)) << fd;
    }
    EXPECT_FALSE(set.IsSet(4));
    EXPECT_FALSE(set.IsSet(65));
    EXPECT_FALSE(set.IsSet(FD_SETSIZE - 2));
    set.Zero();
    EXPECT_FALSE(set.IsSet(5));
    EXPECT_FALSE(set.IsSet(FD_SETSIZE - 1));
}

// Descriptors outside the set's range must be refused, not written past it.
TEST(CFdSetTest, DescriptorsOutsideTheRangeAreRefused)
{
    struct Guarded
    {
        char before[64];
        CFdSet set;
        char after[64];
    } g{};
    for (int fd : {-1, -1000, INT_MIN, FD_SETSIZE, FD_SETSIZE + 1, FD_SETSIZE * 8, INT_MAX})
    {
        EXPECT_FALSE(g.set.Set(fd)) << fd;
        EXPECT_FALSE(g.set.IsSet(fd)) << fd;
    }
    for (int fd = 0; fd < FD_SETSIZE; ++fd)
        ASSERT_FALSE(g.set.IsSet(fd)) << fd;
    for (char c : g.before)
        ASSERT_EQ(c, 0);
    for (char c : g.after)
        ASSERT_EQ(c, 0);
}

TEST(CFdSetTest, SelectReportsAReadableDescriptor)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ASSERT_EQ(write(pair[1], "x", 1), 1);
    CFdSet set;
    ASSERT_TRUE(set.Set(pair[0]));
    ASSERT_TRUE(set.Set(pair[1]));
    timeval wait{0, 0};
    int top = pair[0] > pair[1] ? pair[0] : pair[1];
    EXPECT_EQ(select(top + 1, set.GetSet(), nullptr, nullptr, &wait), 1);
    EXPECT_TRUE(set.IsSet(pair[0]));
    EXPECT_FALSE(set.IsSet(pair[1]));
    close(pair[0]);
    close(pair[1]);
}
