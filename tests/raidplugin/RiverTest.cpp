#include "TestRivers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace
{
std::string Handle(CRiver* river)
{
    return std::to_string(river->GetIdentity()) + ";" + std::to_string(river->GetType());
}

TEST(RiverReferences, ReleaseToZeroDestroysAndParentHoldsOneReferencePerChild)
{
    int destroyed = 0;
    TestRiver* parent = MakeRiver("parent", 14, &destroyed);
    TestRiver* child = MakeRiver("child", 26, &destroyed);
    ASSERT_EQ(1, parent->AddRiver(child));
    // Listing the same child again under its name takes no second reference.
    ASSERT_EQ(1, parent->AddRiver(child));
    EXPECT_EQ(1, child->Release());
    EXPECT_EQ(0, destroyed);

    parent->DeleteDrop(parent->FindDrop("child"));
    EXPECT_EQ(1, destroyed);
    EXPECT_EQ(0, parent->Release());
    EXPECT_EQ(2, destroyed);
}

TEST(RiverReferences, ParentReleaseDestroysChildrenItAloneHolds)
{
    int destroyed = 0;
    TestRiver* parent = MakeRiver("parent", 14, &destroyed);
    AddChild(AddChild(parent, "child", 20, &destroyed), "disk1", 21, &destroyed);
    parent->Release();
    EXPECT_EQ(3, destroyed);
}

TEST(RiverReferences, CdAndDirHandOutOneReferenceEach)
{
    int destroyed = 0;
    TestRiver* parent = MakeRiver("parent", 14, &destroyed);
    TestRiver* child = AddChild(parent, "child", 26, &destroyed);

    IUnknown* got = nullptr;
    ASSERT_EQ(S_OK, parent->cd("child", &got));
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IRiver*>(child)), got);
    EXPECT_EQ(3, got->AddRef()); // parent, cd, this AddRef
    got->Release();
    got->Release();

    IUnknown* listing = nullptr;
    ASSERT_EQ(S_OK, child->dir(&listing));
    // The listing keeps the river alive after its parent lets it go.
    parent->DeleteDrop(parent->FindDrop("child"));
    EXPECT_EQ(0, destroyed);
    EXPECT_EQ(0, listing->Release());
    EXPECT_EQ(1, destroyed);
    parent->Release();
}

TEST(RiverReferences, ReplacingAnObjectDropGivesBackTheChild)
{
    int destroyed = 0;
    TestRiver* parent = MakeRiver("parent", 14, &destroyed);
    AddChild(parent, "slot", 21, &destroyed);
    AddChild(parent, "slot", 21, &destroyed);
    EXPECT_EQ(1, destroyed);
    // A property of the same name replaces the object and its reference.
    parent->SetPropertyString("slot", DT_P_READ, "empty");
    EXPECT_EQ(2, destroyed);
    parent->Release();
}

TEST(RiverReferences, QueryInterfaceGivesTheAskedPartWithAReference)
{
    TestRiver* river = MakeRiver("r");
    void* out = nullptr;
    ASSERT_EQ(S_OK, river->QueryInterface(IID_IConnection, &out));
    EXPECT_EQ(static_cast<IConnection*>(river), out);
    static_cast<IConnection*>(out)->Release();
    ASSERT_EQ(S_OK, river->QueryInterface(IID_IRiver, &out));
    EXPECT_EQ(static_cast<IRiver*>(river), out);
    static_cast<IRiver*>(out)->Release();
    out = &out;
    EXPECT_EQ(E_NOINTERFACE, river->QueryInterface(IID_IEventLog, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(0, river->Release());
}

TEST(RiverSinks, CookiesNameTheirSinkAfterAnEarlierOneLeaves)
{
    TestRiver* river = MakeRiver("adapter");
    IConnection* connection = river;
    TestSink first, second, third;
    unsigned long c1 = 0, c2 = 0, c3 = 0;
    ASSERT_EQ(S_OK, connection->Advise(&first, &c1));
    ASSERT_EQ(S_OK, connection->Advise(&second, &c2));
    EXPECT_EQ(1u, c1);
    EXPECT_EQ(2u, c2);

    ASSERT_EQ(S_OK, connection->Unadvise(1));
    IUnknown* head = nullptr;
    connection->GetHead(&head);
    EXPECT_EQ(static_cast<IUnknown*>(&second), head);
    // A sink advised later does not take over the cookie still held.
    connection->Advise(&third, &c3);
    EXPECT_NE(c2, c3);
    ASSERT_EQ(S_OK, connection->Unadvise(c2));
    connection->GetHead(&head);
    EXPECT_EQ(static_cast<IUnknown*>(&third), head);
    IUnknown* next = &first;
    connection->GetNext(&next);
    EXPECT_EQ(nullptr, next);

    EXPECT_EQ(S_FALSE, connection->Unadvise(c2));
    EXPECT_EQ(0, first.m_nRef + second.m_nRef + third.m_nRef) << "sinks are not referenced";
    river->Release();
}

TEST(RiverSinks, FireTellsEverySinkAndReturnsTheLastAnswer)
{
    TestRiver* river = MakeRiver("adapter");
    EXPECT_EQ(S_OK, river->Fire_RAIDNotification(8194));
    TestSink first, second;
    second.m_Answer = E_FAIL;
    unsigned long cookie = 0;
    river->Advise(&first, &cookie);
    river->Advise(&second, &cookie);
    EXPECT_EQ(E_FAIL, river->Fire_RAIDNotification(8194));
    EXPECT_EQ(std::vector<unsigned long>{8194}, first.m_Codes);
    EXPECT_EQ(std::vector<unsigned long>{8194}, second.m_Codes);
    river->Release();
}

TEST(RiverSinks, AdviseRefusesWhatCannotTakeNotifications)
{
    TestRiver* river = MakeRiver("adapter");
    TestRiver* notSink = MakeRiver("other");
    unsigned long cookie = 0;
    EXPECT_EQ(E_NOINTERFACE, river->Advise(static_cast<IRiver*>(notSink), &cookie));
    EXPECT_EQ(E_INVALIDARG, river->Advise(nullptr, &cookie));
    EXPECT_EQ(S_OK, river->Fire_RAIDNotification(1));
    notSink->Release();
    river->Release();
}

TEST(RiverDrops, FlagsGiveTheirAttribute)
{
    struct Row
    {
        unsigned flags;
        const char* attribute;
    } rows[] = {
        {DT_P_READ, "pr-"},
        {DT_P_READ | DT_P_WRITE, "prw"},
        {DT_P_READ | DT_P_VOLATILE, "prv"},
        {DT_PROPERTY, "p--"},
        {DT_P_WRITE, "p-w"},
        {DT_METHOD, "m--"},
        {DT_METHOD | DT_P_READ, "m--"},
        {DT_OBJECT, "o--"},
        {DT_OBJECT | DT_METHOD | 0xF, "o--"},
        {0, ""},
    };
    for (const Row& row : rows)
    {
        CDrop drop;
        ASSERT_TRUE(drop.Init("x", row.flags, "v"));
        EXPECT_STREQ(row.attribute, drop.GetAttribute()) << std::hex << row.flags;
    }
}

TEST(RiverDrops, FlagsWithoutKindKeepThePreviousAttribute)
{
    CDrop drop;
    drop.Init("x", DT_P_READ | DT_P_WRITE, "1");
    drop.Init("x", 0x40, "2");
    EXPECT_STREQ("prw", drop.GetAttribute());
    EXPECT_FALSE(drop.IsPropWrite());
}

TEST(RiverDrops, PropertySettersAndReaders)
{
    TestRiver* river = MakeRiver("r");
    river->SetPropertyInt("Count", DT_P_READ, -12);
    EXPECT_EQ(-12, river->GetPropertyInt("Count", 5));
    EXPECT_EQ(5, river->GetPropertyInt("Missing", 5));
    river->SetPropertyString("Text", DT_P_READ, "%s", "abc");
    EXPECT_EQ(7, river->GetPropertyInt("Text", 7));

    // Without flags a new property is readable and writable, an existing one
    // keeps its flags.
    river->SetPropertyString("New", 0, "1");
    EXPECT_STREQ("prw", river->FindDrop("New")->GetAttribute());
    river->SetPropertyString("Count", 0, "3");
    EXPECT_STREQ("pr-", river->FindDrop("Count")->GetAttribute());
    EXPECT_EQ(3, river->GetPropertyInt("Count", 0));

    river->AddMethod("Rebuild", 0x08000002);
    EXPECT_STREQ("134217730", river->FindDrop("Rebuild")->GetContent());
    EXPECT_STREQ("m--", river->FindDrop("Rebuild")->GetAttribute());
    river->Release();
}

TEST(RiverDrops, BinaryPropertyWritesLowNibbleFirst)
{
    struct Row
    {
        std::vector<unsigned char> bytes;
        const char* letters;
    } rows[] = {
        {{0x00, 0xFF}, "AAPP"},
        {{0x3F}, "PD"},
        {{0x12, 0xA0}, "CBAK"},
        {{}, ""},
    };
    TestRiver* river = MakeRiver("r");
    for (const Row& row : rows)
    {
        ASSERT_EQ(1, river->SetPropertyBinary("Key", DT_P_READ, row.bytes.data(),
                                              static_cast<int>(row.bytes.size())));
        EXPECT_STREQ(row.letters, river->FindDrop("Key")->GetContent());
    }
    river->Release();
}

TEST(RiverDrops, OrderIsThatOfFirstCreation)
{
    TestRiver* river = MakeRiver("r");
    river->SetPropertyInt("A", DT_P_READ, 1);
    river->SetPropertyInt("B", DT_P_READ, 2);
    river->SetPropertyInt("A", DT_P_READ | DT_P_VOLATILE, 3);
    EXPECT_EQ((std::vector<std::string>{"handle@pr-@" + Handle(river), "A@prv@3", "B@pr-@2"}),
              DirTexts(river));
    river->Release();
}

TEST(RiverDrops, NextRiverWalksChildrenOnly)
{
    TestRiver* parent = MakeRiver("adapter", 26);
    TestRiver* a = AddChild(parent, "ch1", 20);
    parent->SetPropertyInt("Status", DT_P_READ, 0);
    TestRiver* b = AddChild(parent, "ch2", 20);

    std::vector<CRiver*> seen;
    int pos = 1;
    CDrop* drop = nullptr;
    while (CRiver* child = parent->GetNextRiver(pos, drop))
    {
        EXPECT_EQ(child, drop->GetChild());
        seen.push_back(child);
    }
    EXPECT_EQ((std::vector<CRiver*>{a, b}), seen);
    EXPECT_EQ(-1, pos);
    EXPECT_EQ(nullptr, drop);
    parent->Release();
}

TEST(RiverIdentity, HandleNamesTheLiveRiver)
{
    TestRiver* a = MakeRiver("a", 26);
    TestRiver* b = MakeRiver("b", 25);
    EXPECT_NE(a->GetIdentity(), b->GetIdentity());
    EXPECT_GT(a->GetIdentity(), 0);
    EXPECT_STREQ(Handle(b).c_str(), b->FindDrop("handle")->GetContent());
    EXPECT_EQ(b, CRiver::FromIdentity(b->GetIdentity()));
    int gone = b->GetIdentity();
    b->Release();
    EXPECT_EQ(nullptr, CRiver::FromIdentity(gone));
    EXPECT_EQ(a, CRiver::FromIdentity(a->GetIdentity()));
    a->Release();
}

TEST(RiverIdentity, AnUninitialisedRiverIsNotListed)
{
    TestRiver* parent = MakeRiver("adapter");
    TestRiver* raw = new TestRiver;
    raw->AddRef();
    EXPECT_EQ(0, parent->AddRiver(raw));
    EXPECT_EQ(0, parent->AddRiver(parent));
    raw->Release();
    parent->Release();
}

struct InvokeRow
{
    const char* name;
    STATUS handler;
    STATUS expected;
    bool runs;
};

void PrintTo(const InvokeRow& row, std::ostream* os)
{
    *os << (row.name ? row.name : "null") << " answering " << std::hex << row.handler;
}

class RiverInvoke : public ::testing::TestWithParam<InvokeRow>
{
};

TEST_P(RiverInvoke, ReportsTheHandlersStatus)
{
    const InvokeRow& row = GetParam();
    TestRiver* river = MakeRiver("adapter");
    river->AddMethod("CreateArray", 1);
    river->SetPropertyInt("Status", DT_P_READ, 0);
    river->m_Answer = row.handler;
    EXPECT_EQ(row.expected, river->invoke(row.name, "1@2"));
    EXPECT_EQ(row.runs ? 1u : 0u, river->m_Calls.size());
    river->Release();
}

INSTANTIATE_TEST_SUITE_P(Rows, RiverInvoke,
                         ::testing::Values(InvokeRow{"CreateArray", S_OK, S_OK, true},
                                           InvokeRow{"CreateArray", E_INVALIDARG, E_INVALIDARG, true},
                                           InvokeRow{"CreateArray", E_FAIL, E_FAIL, true},
                                           InvokeRow{"CreateArray", E_ACCESSDENIED, E_ACCESSDENIED, true},
                                           InvokeRow{"Status", S_OK, S_FALSE, false},
                                           InvokeRow{"Missing", S_OK, S_FALSE, false},
                                           InvokeRow{nullptr, S_OK, S_FALSE, false}));

TEST(RiverInvoke, NullArgumentsReachTheHandlerAsEmpty)
{
    TestRiver* river = MakeRiver("adapter");
    river->AddMethod("Rescan", 1);
    EXPECT_EQ(S_OK, river->invoke("Rescan", nullptr));
    EXPECT_EQ(std::vector<std::string>{"Rescan|"}, river->m_Calls);
    river->Release();
}

TEST(RiverSetGet, SetChangesOnlyWritableProperties)
{
    struct Row
    {
        const char* name;
        STATUS expected;
    } rows[] = {{"Label", S_OK}, {"Model", S_FALSE}, {"Rescan", S_FALSE}, {"child", S_FALSE}, {"Missing", S_FALSE}};
    TestRiver* river = MakeRiver("adapter");
    AddChild(river, "child");
    river->SetPropertyString("Label", DT_P_READ | DT_P_WRITE, "old");
    river->SetPropertyString("Model", DT_P_READ, "old");
    river->AddMethod("Rescan", 1);
    for (const Row& row : rows)
    {
        std::string before = river->FindDrop(row.name) ? river->FindDrop(row.name)->GetContent().GetBuffer() : "";
        EXPECT_EQ(row.expected, river->set(row.name, "new", 0)) << row.name;
        if (row.expected != S_OK && river->FindDrop(row.name))
        {
            EXPECT_EQ(before, river->FindDrop(row.name)->GetContent().GetBuffer()) << row.name;
        }
    }
    EXPECT_STREQ("new", river->FindDrop("Label")->GetContent());
    river->Release();
}

TEST(RiverSetGet, GetHandsOutAnUpToDateCopy)
{
    TestRiver* river = MakeRiver("adapter");
    river->SetPropertyString("Temperature", DT_P_READ | DT_P_VOLATILE, "30");
    river->m_Fresh = "41";
    char* value = nullptr;
    ASSERT_EQ(S_OK, river->get("Temperature", &value));
    EXPECT_STREQ("41", value);
    EXPECT_EQ(1, river->m_nGets);
    delete[] value;

    value = reinterpret_cast<char*>(&value);
    EXPECT_EQ(S_FALSE, river->get("Missing", &value));
    EXPECT_EQ(nullptr, value);
    EXPECT_EQ(E_INVALIDARG, river->get("Temperature", nullptr));
    river->Release();
}
} // namespace
