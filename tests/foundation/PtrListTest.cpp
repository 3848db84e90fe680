#include "TPtrList.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class PtrListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int& v : values)
            list.AppendTail(&v);
    }

    std::vector<int> Walk()
    {
        std::vector<int> seen;
        for (int* p = list.GetHead(); p; p = list.GetNext())
            seen.push_back(*p);
        return seen;
    }

    int values[4] = {10, 20, 30, 40};
    TPtrList<int> list;
};
} // namespace

TEST(TPtrListEmptyTest, StartsEmpty)
{
    TPtrList<int> list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHead(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
    int pos = 1;
    EXPECT_EQ(list.GetNext(pos), nullptr);
    EXPECT_EQ(list.GetAt(1), nullptr);
    list.RemoveAt(1);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(PtrListTest, AppendNullIsIgnored)
{
    list.AppendTail(nullptr);
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(Walk(), (std::vector<int>{10, 20, 30, 40}));
}

TEST_F(PtrListTest, PositionsCountFromOne)
{
    struct Case
    {
        int position;
        int* expected;
    };
    const Case cases[] = {{0, nullptr},      {1, &values[0]}, {2, &values[1]},
                          {4, &values[3]},   {5, nullptr},    {-1, nullptr}};
    for (const Case& c : cases)
        EXPECT_EQ(list.GetAt(c.position), c.expected) << "position " << c.position;
}

TEST_F(PtrListTest, FindAndFindIndex)
{
    int absent = 99;
    EXPECT_TRUE(list.Find(&values[2]));
    EXPECT_FALSE(list.Find(&absent));
    EXPECT_EQ(list.FindIndex(&values[0]), 1);
    EXPECT_EQ(list.FindIndex(&values[3]), 4);
    EXPECT_EQ(list.FindIndex(&absent), 0);
}

TEST_F(PtrListTest, RemoveAtOutOfRangeChangesNothing)
{
    list.RemoveAt(0);
    list.RemoveAt(5);
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(Walk(), (std::vector<int>{10, 20, 30, 40}));
}

TEST_F(PtrListTest, RemoveHeadMiddleAndTailKeepsLinks)
{
    list.RemoveAt(1);
    EXPECT_EQ(Walk(), (std::vector<int>{20, 30, 40}));
    list.RemoveAt(2);
    EXPECT_EQ(Walk(), (std::vector<int>{20, 40}));
    list.RemoveAt(2);
    EXPECT_EQ(Walk(), (std::vector<int>{20}));
    // The tail was updated: appending after removing it links correctly.
    list.AppendTail(&values[3]);
    EXPECT_EQ(Walk(), (std::vector<int>{20, 40}));
    list.RemoveAt(1);
    list.RemoveAt(1);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHead(), nullptr);
    list.AppendTail(&values[0]);
    EXPECT_EQ(Walk(), (std::vector<int>{10}));
}

TEST_F(PtrListTest, RemovingCursorNodeSkipsFollowingOnNext)
{
    EXPECT_EQ(list.GetHead(), &values[0]);
    EXPECT_EQ(list.GetNext(), &values[1]);
    list.RemoveAt(2); // the cursor's node: the cursor moves on to 30
    EXPECT_EQ(list.GetNext(), &values[3]);
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
}

TEST_F(PtrListTest, AppendResetsCursorToHead)
{
    list.GetHead();
    list.GetNext();
    list.GetNext();
    int extra = 50;
    list.AppendTail(&extra);
    EXPECT_EQ(list.GetNext(), &values[1]);
}

TEST_F(PtrListTest, PositionalWalk)
{
    std::vector<int> seen;
    int pos = 1;
    while (pos > 0)
    {
        int* p = list.GetNext(pos);
        ASSERT_NE(p, nullptr);
        seen.push_back(*p);
    }
    EXPECT_EQ(seen, (std::vector<int>{10, 20, 30, 40}));
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(list.GetNext(), nullptr); // the tail ended the list's cursor too
}

TEST_F(PtrListTest, PositionalWalkBorders)
{
    struct Case
    {
        int start;
        int* expected;
        int after;
    };
    const Case cases[] = {{0, nullptr, 0},
                          {-3, nullptr, -3},
                          {1, &values[0], 2},
                          {3, &values[2], 4},
                          {4, &values[3], -1},
                          {9, &values[3], -1}};
    for (const Case& c : cases)
    {
        int pos = c.start;
        EXPECT_EQ(list.GetNext(pos), c.expected) << "from " << c.start;
        EXPECT_EQ(pos, c.after) << "from " << c.start;
    }
}

TEST_F(PtrListTest, PositionalWalkMovesSharedCursor)
{
    int pos = 2;
    EXPECT_EQ(list.GetNext(pos), &values[1]);
    EXPECT_EQ(list.GetNext(), &values[3]);
}

TEST_F(PtrListTest, RemoveAllFreesNodesNotElements)
{
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetHead(), nullptr);
    EXPECT_EQ(values[2], 30);
}

TEST(CPtrListTest, HoldsUntypedPointers)
{
    CPtrList list;
    int a = 1;
    double b = 2;
    list.AppendTail(&a);
    list.AppendTail(&b);
    EXPECT_EQ(list.GetAt(2), static_cast<void*>(&b));
}
