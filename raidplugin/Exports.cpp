#include "Ci2o.h"
#include "PluginExports.h"

#include <new>

namespace
{
// The plug-in's root object. It holds one reference, given back when a new
// root replaces it or when the library is unloaded.
class CRootObject
{
public:
    ~CRootObject() { Set(nullptr); }

    void Set(CRiver* root)
    {
        if (root)
            root->AddRef();
        if (m_pRoot)
            m_pRoot->Release();
        m_pRoot = root;
    }

    CRiver* Get() const { return m_pRoot; }

private:
    CRiver* m_pRoot = nullptr;
};

CRootObject pObject;
} // namespace

STATUS CreateInstance(unsigned iid, void** out)
{
    if (out)
        *out = nullptr;
    Ci2o* root = new (std::nothrow) Ci2o;
    if (!root)
        return S_OK;
    pObject.Set(root);
    if (out)
        root->QueryInterface(iid, out);
    return S_OK;
}

STATUS MVRaid_TimerProc()
{
    // No adapter objects yet: the procedure has nothing to poll.
    return S_OK;
}
