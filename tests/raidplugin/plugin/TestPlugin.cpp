// The tests' plug-in. Its tree, fixed at creation:
//
// testroot (14)   Model pr- "TR-1000", Label prw "spare", Ticks prv (timer
//                 calls so far), LastCheck prw; methods Succeed, Fail,
//                 Refuse, Check (two "@" fields), Notify (fires the code in
//                 its argument), LocalOnly (local-only mask), AddSpare and
//                 RemoveSpare (list or drop the child spare1)
//   MVP1 (26)     HasEvent pr- "1"; method RaiseEvent (queues its argument
//                 as an event line); IEventLog over the queue; methods
//                 ReadEvent and ClearEvent, which the agent serves
//     array1 (25) Size pr- "1.000 GB"
//     ch1 (20)
//       disk1 (21) model pr- "Disk A"
//   spare1 (21)   only after AddSpare
//
// With TESTRIVER_BIG_ENTRIES=N in the environment the root also lists N
// properties Big1 to BigN of 900 characters each, for listings longer
// than a connection may hold unsent.
#include "CRiver.h"
#include "CRiverRef.h"
#include "PluginExports.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

namespace
{
int g_nTicks = 0;

class TestNode : public CRiver
{
public:
    TestNode(CRiver* parent, const char* name, int type) { Init(parent, name, type); }

    // Creates a child and lists it; the parent's reference is the only one.
    TestNode* AddChild(const char* name, int type)
    {
        TestNode* child = new TestNode(this, name, type);
        child->AddRef();
        AddRiver(child);
        child->Release();
        return child;
    }

    STATUS OnGetProperty(CDrop* drop) override
    {
        if (drop->GetName() == "Ticks")
            drop->SetContent(std::to_string(g_nTicks).c_str());
        return S_OK;
    }

    STATUS InvokeDispatch(const char* method, const char* args) override
    {
        std::string name = method;
        if (name == "Succeed")
            return Fire_RAIDNotification(8194);
        if (name == "Fail")
            return E_FAIL;
        if (name == "Refuse")
            return E_ACCESSDENIED;
        if (name == "Check")
            return Check(args);
        if (name == "Notify")
            return Fire_RAIDNotification(strtoul(args, nullptr, 10));
        if (name == "AddSpare")
            return AddChild("spare1", 21) ? S_OK : E_FAIL;
        if (name == "RemoveSpare")
        {
            CDrop* drop = FindDrop("spare1");
            if (!drop)
                return E_FAIL;
            DeleteDrop(drop);
            return S_OK;
        }
        return S_OK;
    }

protected:
    ~TestNode() override = default;

private:
    STATUS Check(const char* args)
    {
        std::string text = args;
        int count = 0;
        char** fields = nullptr;
        ParseCommandString(&text[0], count, fields, '@');
        STATUS status = E_INVALIDARG;
        if (count == 2)
            status = SetPropertyString("LastCheck", DT_P_READ | DT_P_WRITE, "%s+%s", fields[0], fields[1]) ? S_OK
                                                                                                           : E_FAIL;
        delete[] fields;
        return status;
    }
};

class TestAdapter : public TestNode, public IEventLog
{
public:
    explicit TestAdapter(CRiver* parent) : TestNode(parent, "MVP1", 26)
    {
        SetPropertyString("HasEvent", DT_P_READ, "1");
        AddMethod("RaiseEvent", 1);
        AddMethod("ReadEvent", 0xF7FFFFFF);
        AddMethod("ClearEvent", 64);
    }

    long AddRef() override { return TestNode::AddRef(); }
    long Release() override { return TestNode::Release(); }
    STATUS QueryInterface(unsigned iid, void** out) override
    {
        if (iid != IID_IEventLog || !out)
            return TestNode::QueryInterface(iid, out);
        AddRef();
        *out = static_cast<IEventLog*>(this);
        return S_OK;
    }

    STATUS InvokeDispatch(const char* method, const char* args) override
    {
        if (strcmp(method, "ReadEvent") == 0 || strcmp(method, "ClearEvent") == 0)
            return E_FAIL;
        if (strcmp(method, "RaiseEvent") != 0)
            return TestNode::InvokeDispatch(method, args);
        m_Events.push_back(args);
        return Fire_RAIDNotification(8195);
    }

    STATUS ClearLog() override
    {
        m_Events.clear();
        return S_OK;
    }

    STATUS ReadEventLog(char** text, unsigned long* length) override
    {
        if (!text || !length || m_Events.empty())
            return S_FALSE;
        const std::string& line = m_Events.front();
        *length = line.size();
        *text = new char[line.size() + 1];
        memcpy(*text, line.c_str(), line.size() + 1);
        m_Events.pop_front();
        return S_OK;
    }

    STATUS GetNewCount(unsigned long* count) override
    {
        if (!count)
            return E_INVALIDARG;
        *count = m_Events.size();
        return S_OK;
    }

private:
    std::deque<std::string> m_Events;
};

TestNode* BuildTree()
{
    TestNode* root = new TestNode(nullptr, "testroot", 14);
    root->SetPropertyString("Model", DT_P_READ, "TR-1000");
    root->SetPropertyString("Label", DT_P_READ | DT_P_WRITE, "spare");
    root->SetPropertyString("Ticks", DT_P_READ | DT_P_VOLATILE, "0");
    const char* methods[] = {"Succeed", "Fail", "Refuse", "Check", "Notify", "AddSpare", "RemoveSpare"};
    for (const char* method : methods)
        root->AddMethod(method, 1);
    root->AddMethod("LocalOnly", 0x08000001);
    const char* big = getenv("TESTRIVER_BIG_ENTRIES");
    const std::string value(900, 'x');
    for (long i = 1; big && i <= strtol(big, nullptr, 10); ++i)
        root->SetPropertyString(("Big" + std::to_string(i)).c_str(), DT_P_READ, "%s", value.c_str());

    TestAdapter* adapter = new TestAdapter(root);
    adapter->AddRef();
    root->AddRiver(adapter);
    adapter->Release();
    adapter->AddChild("array1", 25)->SetPropertyString("Size", DT_P_READ, "1.000 GB");
    adapter->AddChild("ch1", 20)->AddChild("disk1", 21)->SetPropertyString("model", DT_P_READ, "Disk A");
    return root;
}

// The library's own reference on the last root it made.
CRiverRef g_Root;
} // namespace

STATUS CreateInstance(unsigned iid, void** out)
{
    if (out)
        *out = nullptr;
    TestNode* root = BuildTree();
    g_Root.Set(root);
    if (out)
        root->QueryInterface(iid, out);
    return S_OK;
}

STATUS MVRaid_TimerProc()
{
    ++g_nTicks;
    return S_OK;
}
