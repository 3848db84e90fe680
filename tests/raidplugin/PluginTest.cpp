#include "PluginExports.h"
#include "TestRivers.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
// A plug-in library opened as the agent opens it, closed at the end.
class LoadedPlugin
{
public:
    explicit LoadedPlugin(const char* path) : m_pHandle(dlopen(path, RTLD_LAZY)) {}
    ~LoadedPlugin()
    {
        if (m_pHandle)
            dlclose(m_pHandle);
    }

    template <class F> F Symbol(const char* name) { return reinterpret_cast<F>(dlsym(m_pHandle, name)); }

    // The root river from CreateInstance, asked for iid.
    IRiver* Create(unsigned iid = IID_IRiver)
    {
        PFNCREATEINSTANCE create = Symbol<PFNCREATEINSTANCE>("CreateInstance");
        void* out = &out;
        EXPECT_EQ(S_OK, create(iid, &out));
        return static_cast<IRiver*>(out);
    }

    void* m_pHandle;
};

IRiver* Cd(IRiver* river, const char* name)
{
    IUnknown* unknown = nullptr;
    if (river->cd(name, &unknown) != S_OK)
        return nullptr;
    IRiver* child = nullptr;
    unknown->QueryInterface(IID_IRiver, reinterpret_cast<void**>(&child));
    unknown->Release();
    return child;
}

// The whole tree below river as indented dir texts, walked through the
// interfaces only.
void Walk(IRiver* river, const std::string& indent, std::vector<std::string>& lines)
{
    for (const std::string& text : DirTexts(river))
    {
        if (text.compare(0, 7, "handle@") == 0)
            continue;
        lines.push_back(indent + text);
        std::string name = text.substr(0, text.find('@'));
        if (text.find("@o--@") == std::string::npos)
            continue;
        IRiver* child = Cd(river, name.c_str());
        ASSERT_NE(nullptr, child) << name;
        Walk(child, indent + "  ", lines);
        child->Release();
    }
}

class TestPlugin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, m_Plugin.m_pHandle) << dlerror();
        m_pRoot = m_Plugin.Create();
        ASSERT_NE(nullptr, m_pRoot);
    }
    void TearDown() override
    {
        if (m_pRoot)
            m_pRoot->Release();
    }

    LoadedPlugin m_Plugin{TEST_PLUGIN_PATH};
    IRiver* m_pRoot = nullptr;
};

TEST_F(TestPlugin, TheWholeTreeIsReachedThroughTheInterfaces)
{
    std::vector<std::string> lines;
    Walk(m_pRoot, "", lines);
    std::vector<std::string> expected = {
        "Model@pr-@TR-1000",  "Label@prw@spare",    "Ticks@prv@0",          "Succeed@m--@1",
        "Fail@m--@1",         "Refuse@m--@1",       "Check@m--@1",          "Notify@m--@1",
        "AddSpare@m--@1",     "RemoveSpare@m--@1",  "LocalOnly@m--@134217729", "MVP1@o--@26",
        "  HasEvent@pr-@1",   "  RaiseEvent@m--@1", "  ReadEvent@m--@-134217729",
        "  ClearEvent@m--@64", "  array1@o--@25",      "    Size@pr-@1.000 GB",
        "  ch1@o--@20",       "    disk1@o--@21",   "      model@pr-@Disk A",
    };
    EXPECT_EQ(expected, lines);
}

TEST_F(TestPlugin, MethodsReportTheirOwnStatus)
{
    struct Row
    {
        const char* method;
        const char* args;
        STATUS expected;
    } rows[] = {
        {"Succeed", "", S_OK},         {"Fail", "", E_FAIL},          {"Refuse", "", E_ACCESSDENIED},
        {"Check", "a@\"b@c\"", S_OK}, {"Check", "only", E_INVALIDARG}, {"Model", "", S_FALSE},
        {"Missing", "", S_FALSE},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, m_pRoot->invoke(row.method, row.args)) << row.method << " " << row.args;
    char* value = nullptr;
    ASSERT_EQ(S_OK, m_pRoot->get("LastCheck", &value));
    EXPECT_STREQ("a+b@c", value);
    delete[] value;
}

TEST_F(TestPlugin, NoticesReachAdvisedSinks)
{
    TestSink rootSink, adapterSink;
    IConnection* connection = nullptr;
    ASSERT_EQ(S_OK, m_pRoot->QueryInterface(IID_IConnection, reinterpret_cast<void**>(&connection)));
    unsigned long rootCookie = 0, adapterCookie = 0;
    connection->Advise(&rootSink, &rootCookie);

    IRiver* adapter = Cd(m_pRoot, "MVP1");
    ASSERT_NE(nullptr, adapter);
    IConnection* adapterConnection = nullptr;
    adapter->QueryInterface(IID_IConnection, reinterpret_cast<void**>(&adapterConnection));
    adapterConnection->Advise(&adapterSink, &adapterCookie);

    EXPECT_EQ(S_OK, m_pRoot->invoke("Succeed", ""));
    EXPECT_EQ(S_OK, m_pRoot->invoke("Notify", "8193"));
    EXPECT_EQ(S_OK, adapter->invoke("RaiseEvent", "7@1000@1@Disk failed@disk1"));
    EXPECT_EQ((std::vector<unsigned long>{8194, 8193}), rootSink.m_Codes);
    EXPECT_EQ(std::vector<unsigned long>{8195}, adapterSink.m_Codes);

    // The event line waits in the adapter's log until read.
    IEventLog* log = nullptr;
    ASSERT_EQ(S_OK, adapter->QueryInterface(IID_IEventLog, reinterpret_cast<void**>(&log)));
    unsigned long count = 0;
    EXPECT_EQ(S_OK, log->GetNewCount(&count));
    EXPECT_EQ(1u, count);
    char* text = nullptr;
    unsigned long length = 0;
    ASSERT_EQ(S_OK, log->ReadEventLog(&text, &length));
    EXPECT_STREQ("7@1000@1@Disk failed@disk1", text);
    delete[] text;
    log->Release();

    adapterConnection->Unadvise(adapterCookie);
    adapterConnection->Release();
    adapter->Release();
    connection->Unadvise(rootCookie);
    EXPECT_EQ(S_OK, m_pRoot->invoke("Succeed", ""));
    EXPECT_EQ(2u, rootSink.m_Codes.size());
    connection->Release();
}

TEST_F(TestPlugin, ChildrenComeAndGoAndTheTimerIsCounted)
{
    EXPECT_EQ(nullptr, Cd(m_pRoot, "spare1"));
    ASSERT_EQ(S_OK, m_pRoot->invoke("AddSpare", ""));
    IRiver* spare = Cd(m_pRoot, "spare1");
    ASSERT_NE(nullptr, spare);
    // The agent's reference keeps the river alive after the plug-in drops it.
    ASSERT_EQ(S_OK, m_pRoot->invoke("RemoveSpare", ""));
    EXPECT_EQ(nullptr, Cd(m_pRoot, "spare1"));
    EXPECT_EQ(1u, DirTexts(spare).size());
    spare->Release();

    PFNMVRAIDTIMERPROC timer = m_Plugin.Symbol<PFNMVRAIDTIMERPROC>("MVRaid_TimerProc");
    ASSERT_NE(nullptr, timer);
    timer();
    timer();
    char* ticks = nullptr;
    m_pRoot->get("Ticks", &ticks);
    EXPECT_STREQ("2", ticks);
    delete[] ticks;
}

TEST(PluginExports, OnlyTheContractIsExported)
{
    struct Row
    {
        const char* path;
        const char* symbol;
        bool found;
    } rows[] = {
        {MVRAID_PATH, "CreateInstance", true},          {MVRAID_PATH, "MVRaid_TimerProc", true},
        {MVRAID_PATH, "_ZN6CRiver6AddRefEv", false},    {TEST_PLUGIN_PATH, "CreateInstance", true},
        {TEST_PLUGIN_PATH, "_ZN6CRiver6AddRefEv", false},
    };
    for (const Row& row : rows)
    {
        LoadedPlugin plugin(row.path);
        ASSERT_NE(nullptr, plugin.m_pHandle) << dlerror();
        EXPECT_EQ(row.found, plugin.Symbol<void*>(row.symbol) != nullptr) << row.path << " " << row.symbol;
    }
}

} // namespace
