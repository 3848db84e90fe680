#include "TestRivers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
// name@xxx@value with its NUL is exactly this many bytes.
size_t TextSize(const std::string& name, const std::string& value) { return name.size() + value.size() + 6; }

TEST(RiverBounds, NamesThatTextsOrPathsCannotCarryAreRefused)
{
    TestRiver* river = MakeRiver("adapter");
    TestRiver* child = MakeRiver("child");
    const char* names[] = {"a@b", "@", "ch\\1", "\\", "", nullptr};
    for (const char* name : names)
    {
        EXPECT_EQ(0, river->AddDrop(name, DT_P_READ, "1")) << (name ? name : "null");
        EXPECT_EQ(0, river->SetPropertyInt(name, DT_P_READ, 1));
        EXPECT_EQ(0, river->AddMethod(name, 1));
        EXPECT_EQ(0, river->AddRiver(child, name ? name : "x@y"));
    }
    EXPECT_EQ(1, river->GetDropCount()) << "only the handle";
    // A river with such a name cannot be initialised, and so is never listed.
    TestRiver* bad = new TestRiver;
    bad->AddRef();
    EXPECT_FALSE(bad->Init(river, "MVP@1", 26));
    EXPECT_FALSE(bad->IsInited());
    EXPECT_EQ(0, river->AddRiver(bad));
    bad->Release();
    child->Release();
    river->Release();
}

TEST(RiverBounds, TextsOfTheBufferSizeOrMoreAreRefused)
{
    TestRiver* river = MakeRiver("adapter");
    std::string longest(RIVER_TEXT_SIZE - TextSize("Key", ""), 'v');
    std::string tooLong = longest + "v";
    ASSERT_EQ(RIVER_TEXT_SIZE, TextSize("Key", longest));

    EXPECT_EQ(1, river->AddDrop("Key", DT_P_READ | DT_P_WRITE, longest.c_str()));
    EXPECT_EQ(0, river->AddDrop("Key", DT_P_READ | DT_P_WRITE, tooLong.c_str()));
    EXPECT_EQ(0, river->SetPropertyString("Key", DT_P_READ, "%s", tooLong.c_str()));
    EXPECT_EQ(0, river->SetPropertyString("Other", DT_P_READ, "%s%s", tooLong.c_str(), tooLong.c_str()));
    EXPECT_EQ(E_INVALIDARG, river->set("Key", tooLong.c_str(), 0));
    EXPECT_EQ(longest, river->FindDrop("Key")->GetContent().GetBuffer()) << "a refused change leaves the value";
    EXPECT_EQ(nullptr, river->FindDrop("Other"));

    std::string longName(RIVER_TEXT_SIZE, 'n');
    EXPECT_EQ(0, river->AddDrop(longName.c_str(), DT_METHOD, "1"));

    std::vector<unsigned char> bytes(RIVER_TEXT_SIZE / 2, 0x11);
    EXPECT_EQ(0, river->SetPropertyBinary("Blob", DT_P_READ, bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(0, river->SetPropertyBinary("Blob", DT_P_READ, nullptr, 4));
    EXPECT_EQ(0, river->SetPropertyBinary("Blob", DT_P_READ, bytes.data(), -1));
    river->Release();
}

TEST(RiverBounds, TheLongestTextFillsTheBufferExactly)
{
    TestRiver* river = MakeRiver("adapter");
    std::string longest(RIVER_TEXT_SIZE - TextSize("Key", ""), 'v');
    river->AddDrop("Key", DT_P_READ, longest.c_str());
    IUnknown* unknown = nullptr;
    river->dir(&unknown);
    IEnumString* drops = nullptr;
    unknown->QueryInterface(IID_IEnumString, reinterpret_cast<void**>(&drops));
    unknown->Release();
    drops->Skip(1);

    // The buffer sits inside a larger block whose tail must stay untouched.
    std::vector<char> block(RIVER_TEXT_SIZE + 64, '#');
    char* buffers[1] = {block.data()};
    unsigned long fetched = 0;
    ASSERT_EQ(S_OK, drops->Next(1, buffers, &fetched));
    EXPECT_EQ(RIVER_TEXT_SIZE - 1, strlen(block.data()));
    EXPECT_EQ(std::string(64, '#'), std::string(block.data() + RIVER_TEXT_SIZE, 64));
    drops->Release();
    river->Release();
}

TEST(RiverBounds, NullOutPointersAreRefused)
{
    TestRiver* river = MakeRiver("adapter");
    EXPECT_EQ(E_INVALIDARG, river->cd("handle", nullptr));
    EXPECT_EQ(E_INVALIDARG, river->dir(nullptr));
    EXPECT_EQ(E_INVALIDARG, river->QueryInterface(IID_IRiver, nullptr));
    EXPECT_EQ(E_INVALIDARG, river->GetHead(nullptr));
    unsigned long cookie = 0;
    TestSink sink;
    EXPECT_EQ(E_INVALIDARG, river->Advise(&sink, nullptr));
    EXPECT_EQ(S_FALSE, river->Unadvise(cookie));
    IUnknown* out = nullptr;
    EXPECT_EQ(S_FALSE, river->cd(nullptr, &out));
    EXPECT_EQ(S_FALSE, river->cd("handle", &out)) << "a property is not a folder";
    EXPECT_EQ(S_FALSE, river->set(nullptr, "1", 0));
    river->Release();
}
} // namespace
