#include "CEnumDrop.h"
#include "TestRivers.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// A dir listing of a river, held the way the agent holds one.
class Listing
{
public:
    explicit Listing(IRiver* river)
    {
        IUnknown* unknown = nullptr;
        EXPECT_EQ(S_OK, river->dir(&unknown));
        EXPECT_EQ(S_OK, unknown->QueryInterface(IID_IEnumString, reinterpret_cast<void**>(&m_pDrops)));
        unknown->Release();
    }
    ~Listing() { m_pDrops->Release(); }

    // The next text, or "<end>" when Next fails.
    std::string Next(IEnumString* drops = nullptr)
    {
        char buffer[RIVER_TEXT_SIZE] = "unchanged";
        char* buffers[1] = {buffer};
        unsigned long fetched = 99;
        STATUS status = (drops ? drops : m_pDrops)->Next(1, buffers, &fetched);
        EXPECT_EQ(status == S_OK ? 1u : 0u, fetched);
        return status == S_OK ? std::string(buffer) : "<end>";
    }

    IEnumString* m_pDrops = nullptr;
};

TEST(EnumDrop, ListsEveryKindOfDrop)
{
    TestRiver* river = MakeRiver("adapter", 26);
    AddChild(river, "array1", 25);
    river->AddMethod("Rebuild", 3);
    river->SetPropertyString("Model", DT_P_READ, "%s", "QV@7000");
    // An object without "id;type" shows nothing at all.
    river->AddDrop("broken", DT_OBJECT, "17");

    Listing listing(river);
    EXPECT_EQ("handle@pr-@" + std::string(river->FindDrop("handle")->GetContent()), listing.Next());
    EXPECT_EQ("array1@o--@25", listing.Next());
    EXPECT_EQ("Rebuild@m--@3", listing.Next());
    EXPECT_EQ("Model@pr-@QV@7000", listing.Next());
    EXPECT_EQ("", listing.Next());
    EXPECT_EQ("<end>", listing.Next());
    EXPECT_EQ("<end>", listing.Next());
    river->Release();
}

TEST(EnumDrop, ARiverWithoutDropsListsNothing)
{
    TestRiver* empty = new TestRiver;
    empty->AddRef();
    Listing listing(empty);
    EXPECT_EQ(S_FALSE, listing.m_pDrops->Reset());
    EXPECT_EQ("<end>", listing.Next());
    empty->Release();
}

TEST(EnumDrop, NextFillsSeveralBuffersAndCountsThem)
{
    TestRiver* river = MakeRiver("r");
    river->SetPropertyInt("A", DT_P_READ, 1);
    Listing listing(river);
    char one[RIVER_TEXT_SIZE], two[RIVER_TEXT_SIZE], three[RIVER_TEXT_SIZE];
    char* buffers[3] = {one, two, three};
    unsigned long fetched = 0;
    EXPECT_EQ(S_OK, listing.m_pDrops->Next(3, buffers, &fetched));
    EXPECT_EQ(2u, fetched);
    EXPECT_STREQ("A@pr-@1", two);
    EXPECT_EQ(S_FALSE, listing.m_pDrops->Next(3, buffers, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_OK, listing.m_pDrops->Reset());
    EXPECT_EQ(S_OK, listing.m_pDrops->Next(1, buffers, nullptr));
    EXPECT_EQ(S_FALSE, listing.m_pDrops->Next(1, nullptr, &fetched));
    river->Release();
}

TEST(EnumDrop, SkipAndClone)
{
    TestRiver* river = MakeRiver("r");
    river->SetPropertyInt("A", DT_P_READ, 1);
    river->SetPropertyInt("B", DT_P_READ, 2);
    Listing listing(river);
    EXPECT_EQ(S_OK, listing.m_pDrops->Skip(2));

    IEnumString* clone = nullptr;
    ASSERT_EQ(S_OK, listing.m_pDrops->Clone(&clone));
    EXPECT_EQ("B@pr-@2", listing.Next(clone));
    EXPECT_EQ("<end>", listing.Next(clone));
    EXPECT_EQ(0, clone->Release());
    // The original is where it was.
    EXPECT_EQ("B@pr-@2", listing.Next());

    EXPECT_EQ(S_OK, listing.m_pDrops->Reset());
    EXPECT_EQ(S_FALSE, listing.m_pDrops->Skip(4));
    EXPECT_EQ("<end>", listing.Next());
    river->Release();
}

TEST(EnumDrop, AnEnumeratorWithoutRiverFails)
{
    CEnumDrop* drops = new CEnumDrop;
    drops->AddRef();
    char buffer[RIVER_TEXT_SIZE];
    char* buffers[1] = {buffer};
    unsigned long fetched = 5;
    EXPECT_EQ(S_FALSE, drops->Next(1, buffers, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_FALSE, drops->Reset());
    void* out = nullptr;
    EXPECT_EQ(E_NOINTERFACE, drops->QueryInterface(IID_IRiver, &out));
    EXPECT_EQ(0, drops->Release());
}
} // namespace
