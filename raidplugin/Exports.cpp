#include "CRiverRef.h"
#include "Ci2o.h"
#include "PluginExports.h"

#include <new>

namespace
{
// The plug-in's root object: the library's own reference on the last root
// it made, given back when a new root replaces it or the library unloads.
CRiverRef pObject;
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
