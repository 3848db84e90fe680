#include "PluginState.h"

#include <cerrno>
#include <cstdlib>

raeStatus g_raStatus = reSOK;
int g_nHardwareType = -1;

namespace
{
long g_nSelected = -1;
bool g_bTimerGuard = true;
} // namespace

bool ApiOk(raeStatus status)
{
    g_raStatus = status;
    return status == reSOK;
}

STATUS ApiResult(raeStatus status)
{
    if (ApiOk(status))
        return S_OK;
    switch (status)
    {
    case reSInvalidArrayNumber:
    case reSInvalidRAIDMode:
    case reSInvalidArrayConfiguration:
    case reSTargetSizeToosmall:
    case reSSameArrayError:
    case reSInvalidDisk:
    case reSExpanInvalid:
        return E_INVALIDARG;
    default:
        return E_FAIL;
    }
}

bool SelectAdapter(unsigned long adapter)
{
    if (g_nSelected >= 0 && static_cast<unsigned long>(g_nSelected) == adapter)
        return true;
    return ReopenAdapter(adapter);
}

bool ReopenAdapter(unsigned long adapter)
{
    if (g_nSelected >= 0)
        raTerminate(nullptr);
    g_nSelected = -1;
    int index = static_cast<int>(adapter);
    void* handle = &index;
    if (!ApiOk(raInitialize(&handle)) || !handle)
        return false;
    g_nSelected = index;
    return true;
}

long SelectedAdapter() { return g_nSelected; }

bool ReadNumber(const char* text, long& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    long number = strtol(text, &end, 10);
    if (*end || errno == ERANGE)
        return false;
    value = number;
    return true;
}

bool IsTimerGuardOn() { return g_bTimerGuard; }

void SetTimerGuard(bool on) { g_bTimerGuard = on; }

CTimerHold::CTimerHold() : m_bWasOn(g_bTimerGuard) { g_bTimerGuard = false; }

CTimerHold::~CTimerHold() { g_bTimerGuard = m_bWasOn; }
