#include "CIOP.h"
#include "CRiverRef.h"
#include "Ci2o.h"
#include "PluginExports.h"
#include "PluginState.h"

#include <new>

namespace
{
// The plug-in's root object: the library's own reference on the last root
// it made, given back when a new root replaces it or the library unloads.
CRiverRef pObject;

// Ticks since the enclosures and batteries were last checked.
int g_nTimerTicks = 0;
const int kChecksEveryTicks = 10;
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
    TPtrList<CIOP>& adapters = CIOP::AllIOPs();
    if (!IsTimerGuardOn() || adapters.IsEmpty())
    {
        ++g_nTimerTicks;
        return S_OK;
    }
    CTimerHold hold;
    long previous = SelectedAdapter();
    bool check = ++g_nTimerTicks >= kChecksEveryTicks;
    CIOP::CollectEvents();
    // By position: a notice may lead the agent to release objects.
    for (int i = 1; i <= adapters.GetCount(); ++i)
        adapters.GetAt(i)->PollDriver();
    if (check)
    {
        for (int i = 1; i <= adapters.GetCount(); ++i)
        {
            adapters.GetAt(i)->CheckEnclosure();
            adapters.GetAt(i)->CheckBattery();
        }
        g_nTimerTicks = 0;
    }
    if (previous >= 0)
        SelectAdapter(static_cast<unsigned long>(previous));
    return S_OK;
}
