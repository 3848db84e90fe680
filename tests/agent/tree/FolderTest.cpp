#include "CVirtualFolder.h"
#include "TestRivers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// The entries of a folder tree as indented name@attribute@value lines.
void Lines(CPea* pea, const std::string& indent, std::vector<std::string>& out)
{
    for (int i = 1; i <= pea->GetPeaCount(); ++i)
    {
        CPea* child = pea->GetPeaAt(i);
        CString text;
        child->ToString(text);
        out.push_back(indent + text.GetBuffer());
        if (CVirtualFolder* folder = CVirtualFolder::FromPea(child))
            Lines(folder->GetPea(), indent + "  ", out);
    }
}

std::vector<std::string> Lines(CVirtualFolder* folder)
{
    std::vector<std::string> out;
    Lines(folder->GetPea(), "", out);
    return out;
}

std::string Handle(CRiver* river) { return "handle@pr-@" + std::to_string(river->GetIdentity()) + ";" + std::to_string(river->GetType()); }

// A device folder under a machine root, mirroring an adapter river with
// one array below it.
class FolderTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pAdapter = MakeRiver("MVP1", 26, &m_nDestroyed);
        m_pAdapter->SetPropertyString("Model", DT_P_READ, "QV7000");
        m_pAdapter->AddMethod("Rebuild", 3);
        m_pArray = AddChild(m_pAdapter, "array1", 25, &m_nDestroyed);
        m_pArray->SetPropertyString("Size", DT_P_READ | DT_P_WRITE, "1 GB");
        m_pArray->AddMethod("SyncArray", 1);

        m_pRoot = new CVirtualFolder;
        m_pRoot->Init(nullptr, nullptr, nullptr);
        m_pRoot->GetPea()->SetName("host");
        m_pDevice = new CVirtualFolder;
        m_pDevice->GetPea()->SetName("MVP1");
        m_pDevice->GetPea()->SetAttribute("o--");
        m_pDevice->GetPea()->SetContent("14");
        // The folder takes over this reference.
        m_pAdapter->AddRef();
        m_pDevice->Init(m_pRoot->GetPea(), nullptr, m_pAdapter);
        m_pRoot->GetPea()->AddPea(m_pDevice->GetPea());
    }

    void TearDown() override
    {
        delete m_pRoot;
        if (m_pAdapter)
            m_pAdapter->Release();
        EXPECT_EQ(m_nMade, m_nDestroyed) << "every river reference given back";
    }

    CVirtualFolder* Sub(CVirtualFolder* folder, const char* name)
    {
        return CVirtualFolder::FromPea(folder->GetPea()->FindPea(name));
    }

    int m_nDestroyed = 0;
    int m_nMade = 2;
    TestRiver* m_pAdapter = nullptr;
    TestRiver* m_pArray = nullptr;
    CVirtualFolder* m_pRoot = nullptr;
    CVirtualFolder* m_pDevice = nullptr;
};

TEST_F(FolderTree, MirrorsTheRiverTreeLevelByLevel)
{
    EXPECT_EQ((std::vector<std::string>{"MVP1@o--@14", "  " + Handle(m_pAdapter), "  Model@pr-@QV7000",
                                        "  Rebuild@m--@3", "  array1@o--@25", "    " + Handle(m_pArray),
                                        "    Size@prw@1 GB", "    SyncArray@m--@1"}),
              Lines(m_pRoot));
    CVirtualFolder* array = Sub(m_pDevice, "array1");
    ASSERT_NE(nullptr, array);
    EXPECT_EQ(static_cast<IRiver*>(m_pArray), array->GetRiver());
    EXPECT_EQ("\\MVP1\\array1@", std::string(array->NoticeText("")));
    EXPECT_NE(0u, array->GetCookie());
    EXPECT_EQ(nullptr, Sub(m_pDevice, "Model"));
}

TEST_F(FolderTree, RefreshTakesNewValuesAndDropsVanishedEntries)
{
    m_pAdapter->SetPropertyString("Model", DT_P_READ, "QV7000-B");
    m_pAdapter->SetPropertyInt("Status", DT_P_READ, 256);
    m_pAdapter->DeleteDrop(m_pAdapter->FindDrop("Rebuild"));
    m_pDevice->Refresh();
    std::vector<std::string> lines = Lines(m_pRoot);
    lines.resize(5);
    EXPECT_EQ((std::vector<std::string>{"MVP1@o--@14", "  " + Handle(m_pAdapter), "  Model@pr-@QV7000-B",
                                        "  array1@o--@25", "    " + Handle(m_pArray)}),
              lines);
    EXPECT_STREQ("256", m_pDevice->GetPropertyString("Status", ""));
    EXPECT_EQ(nullptr, m_pDevice->GetPea()->FindPea("Rebuild"));
}

TEST_F(FolderTree, AVanishedRiverLivesUntilItsFolderGoes)
{
    m_pAdapter->DeleteDrop(m_pAdapter->FindDrop("array1"));
    EXPECT_EQ(0, m_nDestroyed) << "the folder still holds the array";
    CVirtualFolder* array = Sub(m_pDevice, "array1");
    EXPECT_EQ(800, array->InvokeDispatch(nullptr, "SyncArray", "512"));
    m_pDevice->Refresh();
    EXPECT_EQ(1, m_nDestroyed);
    EXPECT_EQ(nullptr, m_pDevice->GetPea()->FindPea("array1"));
}

TEST_F(FolderTree, ARiverListedAnewUnderTheSameNameIsFollowed)
{
    m_pAdapter->DeleteDrop(m_pAdapter->FindDrop("array1"));
    TestRiver* replacement = AddChild(m_pAdapter, "array1", 25, &m_nDestroyed);
    ++m_nMade;
    replacement->SetPropertyInt("Size", DT_P_READ, 2);
    m_pDevice->Refresh();
    EXPECT_EQ(1, m_nDestroyed);
    CVirtualFolder* array = Sub(m_pDevice, "array1");
    ASSERT_NE(nullptr, array);
    EXPECT_EQ(static_cast<IRiver*>(replacement), array->GetRiver());
    EXPECT_STREQ("2", array->GetPropertyString("Size", ""));
}

TEST_F(FolderTree, AnEntryThatChangesKindIsMadeAnew)
{
    m_pAdapter->SetPropertyString("array1", DT_P_READ, "gone");
    m_pDevice->Refresh();
    CPea* entry = m_pDevice->GetPea()->FindPea("array1");
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(nullptr, CVirtualFolder::FromPea(entry));
    EXPECT_STREQ("pr-", entry->GetAttribute());
    EXPECT_EQ(1, m_nDestroyed);
    TestRiver* again = AddChild(m_pAdapter, "array1", 25, &m_nDestroyed);
    ++m_nMade;
    m_pDevice->Refresh();
    ASSERT_NE(nullptr, Sub(m_pDevice, "array1"));
    EXPECT_EQ(static_cast<IRiver*>(again), Sub(m_pDevice, "array1")->GetRiver());
}

TEST_F(FolderTree, NoticesOfTheRiverReachItsFolder)
{
    struct Recorder : CVirtualFolder
    {
        STATUS RAIDNotification(unsigned long code) override
        {
            m_Codes.push_back(code);
            return CVirtualFolder::RAIDNotification(code);
        }
        std::vector<unsigned long> m_Codes;
    };
    Recorder* recorder = new Recorder;
    recorder->GetPea()->SetName("MVP2");
    recorder->GetPea()->SetAttribute("o--");
    m_pAdapter->AddRef();
    recorder->Init(m_pRoot->GetPea(), nullptr, m_pAdapter);
    m_pRoot->GetPea()->AddPea(recorder->GetPea());
    EXPECT_EQ(S_OK, m_pAdapter->Fire_RAIDNotification(8194));
    EXPECT_EQ(std::vector<unsigned long>{8194}, recorder->m_Codes);

    // A folder that goes takes its sink with it.
    m_pRoot->GetPea()->DelPea(recorder->GetPea());
    delete recorder;
    IUnknown* sink = nullptr;
    m_pAdapter->GetHead(&sink);
    EXPECT_EQ(static_cast<IUnknown*>(m_pDevice), sink) << "only the device folder is left";
    m_pAdapter->GetNext(&sink);
    EXPECT_EQ(nullptr, sink);
}

TEST_F(FolderTree, InvokeMapsTheMethodsStatus)
{
    struct Row
    {
        const char* method;
        STATUS answer;
        int code;
    } rows[] = {
        {"Rebuild", S_OK, 800},    {"Rebuild", E_INVALIDARG, 805}, {"Rebuild", E_ACCESSDENIED, 802},
        {"Rebuild", E_FAIL, 801},  {"Rebuild", S_FALSE, 801},      {"Model", S_OK, 801},
        {"Missing", S_OK, 801},
    };
    for (const Row& row : rows)
    {
        m_pAdapter->m_Answer = row.answer;
        EXPECT_EQ(row.code, m_pDevice->InvokeDispatch(nullptr, row.method, "1@2")) << row.method << " " << row.answer;
    }
    EXPECT_EQ(801, m_pRoot->InvokeDispatch(nullptr, "Rebuild", "")) << "no river";
}

TEST_F(FolderTree, SetOfAPropertyReachesTheRiver)
{
    CVirtualFolder* array = Sub(m_pDevice, "array1");
    std::string tooLong(RIVER_TEXT_SIZE, 'x');
    struct Row
    {
        const char* name;
        const char* value;
        int code;
    } rows[] = {
        {"Size", "2 GB", 800}, {"Size", tooLong.c_str(), 805}, {"handle", "1;1", 801}, {"Missing", "1", 801},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.code, array->OnSetProperty(row.name, row.value, 0xFFFFFFFF)) << row.name;
    EXPECT_STREQ("2 GB", m_pArray->FindDrop("Size")->GetContent());
    EXPECT_EQ(0, m_pRoot->OnSetProperty("Size", "1", 0xFFFFFFFF)) << "no river, nothing written";
}

TEST_F(FolderTree, ARiverThatListsItsAncestorEndsTheMirror)
{
    // The array lists the adapter again: a loop in the plug-in's tree.
    m_pArray->AddRiver(m_pAdapter, "back");
    CVirtualFolder* array = Sub(m_pDevice, "array1");
    array->Refresh();
    EXPECT_EQ(nullptr, array->GetPea()->FindPea("back"));
    // The loop holds the adapter; the plug-in breaks it.
    m_pArray->DeleteDrop(m_pArray->FindDrop("back"));
}

TEST(Folder, AddPeaParsesDirEntries)
{
    struct Row
    {
        const char* entry;
        const char* result; // the entry's ToString, or null when refused
    } rows[] = {
        {"CacheSize@pr-@64", "CacheSize@pr-@64"},
        {"Text@prw@a@b", "Text@prw@a@b"},
        {"Empty@pr-@", "Empty@pr-@"},
        {"OnlyOne@pr-", nullptr},
        {"@pr-@1", nullptr},
        {"NoAttr@@1", nullptr},
        {"Long@prww@1", nullptr},
        {"", nullptr},
        {"Leaf@m--@7", "Leaf@m--@7"},
        {"Sub@o--@25", "Sub@o--@25"},
    };
    CVirtualFolder folder;
    for (const Row& row : rows)
    {
        CPea* pea = folder.AddPea(CString(row.entry));
        if (!row.result)
        {
            EXPECT_EQ(nullptr, pea) << row.entry;
            continue;
        }
        ASSERT_NE(nullptr, pea) << row.entry;
        CString text;
        pea->ToString(text);
        EXPECT_STREQ(row.result, text) << row.entry;
        EXPECT_EQ(folder.GetPea(), pea->GetParent());
    }
    EXPECT_EQ(5, folder.GetPea()->GetPeaCount());
    // An update keeps the entry and its place.
    CPea* first = folder.GetPea()->GetPeaAt(1);
    EXPECT_EQ(first, folder.AddPea(CString("CacheSize@prv@128")));
    EXPECT_EQ(first, folder.GetPea()->GetPeaAt(1));
    EXPECT_STREQ("128", first->GetContent());
    ASSERT_NE(nullptr, CVirtualFolder::FromPea(folder.GetPea()->FindPea("Sub")));
}

TEST(Folder, PropertiesAndMethodsOfTheAgentsOwn)
{
    CVirtualFolder folder;
    EXPECT_TRUE(folder.SetPropertyString("IPAddress", "127.0.0.1"));
    EXPECT_STREQ("prw", folder.GetPea()->FindPea("IPAddress")->GetAttribute());
    EXPECT_TRUE(folder.SetPropertyInt("Count", -4));
    EXPECT_EQ(-4, folder.GetPropertyInt("Count", 9));
    EXPECT_TRUE(folder.SetPropertyString("Name", "host"));
    EXPECT_EQ(9, folder.GetPropertyInt("Name", 9));
    folder.SetPropertyString("Huge", "99999999999999");
    EXPECT_EQ(9, folder.GetPropertyInt("Huge", 9));
    EXPECT_EQ(9, folder.GetPropertyInt("Missing", 9));
    EXPECT_STREQ("x", folder.GetPropertyString("Missing", "x"));
    EXPECT_TRUE(folder.AddMethod("Shutdown", 0x08000001));
    EXPECT_STREQ("m--", folder.GetPea()->FindPea("Shutdown")->GetAttribute());
    EXPECT_STREQ("134217729", folder.GetPea()->FindPea("Shutdown")->GetContent());
    EXPECT_FALSE(folder.AddMethod("", 1));
}

TEST(Folder, EffectiveRightsHideLocalOnlyMethodsFromRemoteClients)
{
    struct Row
    {
        unsigned user, mask;
        bool local;
        unsigned expected;
    } rows[] = {
        {0xFFFFFFFF, 0x3, false, 0x3},
        {0x1, 0x6, true, 0},
        {0xFFFFFFFF, 0x08000001, false, 0},
        {0xFFFFFFFF, 0x08000001, true, 0x08000001},
        {0x1, 0x08000001, true, 0x1},
        {0, 0x1, true, 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, CVirtualFolder::EffectiveRights(row.user, row.mask, row.local))
            << std::hex << row.user << " " << row.mask << " " << row.local;
}

TEST(Folder, ReleaseToZeroLeavesTheFolder)
{
    CVirtualFolder folder;
    void* out = nullptr;
    ASSERT_EQ(S_OK, folder.QueryInterface(IID_IRAIDEvent, &out));
    EXPECT_EQ(static_cast<IRAIDEvent*>(&folder), out);
    EXPECT_EQ(0, folder.Release());
    EXPECT_EQ(-1, folder.Release());
    EXPECT_EQ(E_NOINTERFACE, folder.QueryInterface(IID_IRiver, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, folder.RAIDNotification(8194));
}
} // namespace
