#pragma once

// Tests of the RAID plug-in on the simulated controller: the real plug-in
// library loaded with dlopen as the agent loads it, and its tree walked
// through the plug-in interfaces only.

#include "PluginExports.h"
#include "RiverTexts.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace treetest
{

using ::DirTexts;

// A notification sink as an agent folder is one.
class Sink : public IRAIDEvent
{
public:
    long AddRef() override { return 1; }
    long Release() override { return 1; }
    STATUS QueryInterface(unsigned iid, void** out) override
    {
        *out = iid == IID_IUnknown || iid == IID_IRAIDEvent ? static_cast<IRAIDEvent*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STATUS RAIDNotification(unsigned long code) override
    {
        m_Codes.push_back(code);
        return S_OK;
    }
    int Count(unsigned long code) const
    {
        int n = 0;
        for (unsigned long c : m_Codes)
            n += c == code;
        return n;
    }

    std::vector<unsigned long> m_Codes;
};

// One river held by one reference, released at the end.
class Held
{
public:
    explicit Held(IRiver* river = nullptr) : m_pRiver(river) {}
    Held(Held&& other) noexcept : m_pRiver(other.m_pRiver) { other.m_pRiver = nullptr; }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held()
    {
        if (m_pRiver)
            m_pRiver->Release();
    }
    IRiver* operator->() const { return m_pRiver; }
    IRiver* Get() const { return m_pRiver; }
    explicit operator bool() const { return m_pRiver != nullptr; }

private:
    IRiver* m_pRiver;
};

// The plug-in over a fresh simulator preset.
class PluginFixture : public ::testing::Test
{
public:
    void Load(const std::string& preset)
    {
        simtest::LoadPreset(preset);
        Open();
    }

    void Open()
    {
        m_pHandle = dlopen(MVRAID_PATH, RTLD_NOW);
        ASSERT_NE(nullptr, m_pHandle) << dlerror();
        auto create = reinterpret_cast<PFNCREATEINSTANCE>(dlsym(m_pHandle, "CreateInstance"));
        m_pTick = reinterpret_cast<PFNMVRAIDTIMERPROC>(dlsym(m_pHandle, "MVRaid_TimerProc"));
        ASSERT_NE(nullptr, create);
        ASSERT_NE(nullptr, m_pTick);
        void* out = nullptr;
        ASSERT_EQ(S_OK, create(IID_IRiver, &out));
        m_pRoot = static_cast<IRiver*>(out);
        ASSERT_NE(nullptr, m_pRoot);
    }

    void TearDown() override
    {
        if (m_pRoot)
            m_pRoot->Release();
        if (m_pHandle)
            dlclose(m_pHandle);
    }

    // The river at a path of names separated by "/", from the root.
    Held At(const std::string& path) const
    {
        IRiver* river = m_pRoot;
        river->AddRef();
        size_t start = 0;
        while (river && start < path.size())
        {
            size_t end = path.find('/', start);
            std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
            IUnknown* unknown = nullptr;
            IRiver* child = nullptr;
            if (river->cd(name.c_str(), &unknown) == S_OK)
            {
                unknown->QueryInterface(IID_IRiver, reinterpret_cast<void**>(&child));
                unknown->Release();
            }
            river->Release();
            river = child;
            start = end == std::string::npos ? path.size() : end + 1;
        }
        return Held(river);
    }

    // A property's value as dir lists it; "<none>" when it is not listed.
    static std::string Prop(IRiver* river, const std::string& name)
    {
        for (const std::string& text : DirTexts(river))
            if (text.compare(0, name.size() + 1, name + "@") == 0)
                return text.substr(text.find('@', name.size() + 1) + 1);
        return "<none>";
    }

    std::string Prop(const std::string& path, const std::string& name) const
    {
        Held river = At(path);
        return river ? Prop(river.Get(), name) : "<no " + path + ">";
    }

    // A property as a table of expectations names it: the property may
    // carry the path of a child ("disk5/Channel"), and a "handle" shows
    // its type part only (";17").
    std::string Expected(const std::string& path, const std::string& property) const
    {
        size_t slash = property.rfind('/');
        if (slash != std::string::npos)
            return Expected(path + "/" + property.substr(0, slash), property.substr(slash + 1));
        std::string value = Prop(path, property);
        return property == "handle" ? value.substr(value.find(';')) : value;
    }

    // The identity number that a method argument names an object by.
    std::string Identity(const std::string& path) const
    {
        std::string handle = Prop(path, "handle");
        return handle.substr(0, handle.find(';'));
    }

    // The names of the object drops of a river, in order.
    std::vector<std::string> Children(const std::string& path) const
    {
        std::vector<std::string> names;
        Held river = At(path);
        if (!river)
            return names;
        for (const std::string& text : DirTexts(river.Get()))
            if (text.find("@o--@") != std::string::npos)
                names.push_back(text.substr(0, text.find('@')));
        return names;
    }

    STATUS Invoke(const std::string& path, const char* method, const std::string& args) const
    {
        Held river = At(path);
        return river ? river->invoke(method, args.c_str()) : S_FALSE;
    }

    void Advise(const std::string& path, Sink& sink) const
    {
        Held river = At(path);
        ASSERT_TRUE(river) << path;
        IConnection* connection = nullptr;
        ASSERT_EQ(S_OK, river->QueryInterface(IID_IConnection, reinterpret_cast<void**>(&connection)));
        unsigned long cookie = 0;
        EXPECT_EQ(S_OK, connection->Advise(&sink, &cookie));
        connection->Release();
    }

    void Ticks(int n) const
    {
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(S_OK, m_pTick());
    }

    void* m_pHandle = nullptr;
    PFNMVRAIDTIMERPROC m_pTick = nullptr;
    IRiver* m_pRoot = nullptr;
};

} // namespace treetest
