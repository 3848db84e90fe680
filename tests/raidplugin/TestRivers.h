#pragma once

#include "CRiver.h"
#include "PluginInterfaces.h"
#include "RiverTexts.h"

#include <string>
#include <vector>

// A river whose method handler answers a chosen status and which counts
// its own destruction, so reference slips show as a wrong count.
class TestRiver : public CRiver
{
public:
    explicit TestRiver(int* destroyed = nullptr) : m_pDestroyed(destroyed) {}

    STATUS InvokeDispatch(const char* method, const char* args) override
    {
        m_Calls.push_back(std::string(method) + "|" + args);
        return m_Answer;
    }

    STATUS OnGetProperty(CDrop* drop) override
    {
        ++m_nGets;
        if (!m_Fresh.empty())
            drop->SetContent(m_Fresh.c_str());
        return S_OK;
    }

    STATUS m_Answer = S_OK;
    std::vector<std::string> m_Calls;
    int m_nGets = 0;
    // When set, every read of a property first brings it to this value.
    std::string m_Fresh;

protected:
    ~TestRiver() override
    {
        if (m_pDestroyed)
            ++*m_pDestroyed;
    }

private:
    int* m_pDestroyed;
};

// A notification sink such as an agent folder: counted but never destroyed
// by Release.
class TestSink : public IRAIDEvent
{
public:
    long AddRef() override { return ++m_nRef; }
    long Release() override { return --m_nRef; }
    STATUS QueryInterface(unsigned iid, void** out) override
    {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IRAIDEvent)
            return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IRAIDEvent*>(this);
        return S_OK;
    }
    STATUS RAIDNotification(unsigned long code) override
    {
        m_Codes.push_back(code);
        return m_Answer;
    }

    long m_nRef = 0;
    STATUS m_Answer = S_OK;
    std::vector<unsigned long> m_Codes;
};

// An initialised river held by one reference, as a parent or the agent
// would hold it.
inline TestRiver* MakeRiver(const char* name, int type = 16, int* destroyed = nullptr)
{
    TestRiver* river = new TestRiver(destroyed);
    river->Init(nullptr, name, type);
    river->AddRef();
    return river;
}

// A new river listed by parent, which holds its only reference.
inline TestRiver* AddChild(CRiver* parent, const char* name, int type = 16, int* destroyed = nullptr)
{
    TestRiver* child = MakeRiver(name, type, destroyed);
    parent->AddRiver(child);
    child->Release();
    return child;
}

