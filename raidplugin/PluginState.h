#pragma once

#include "PluginInterfaces.h"
#include "Raidapi.h"

// State the plug-in shares among its objects: the driver API works on one
// selected adapter at a time, and every API result passes through one
// status word so that no value is used from a query that failed.

// The last driver API result.
extern raeStatus g_raStatus;
// The hardware type of the root's adapters (-1 unknown).
extern int g_nHardwareType;

// Records status in the global status word; true when it is success.
bool ApiOk(raeStatus status);
// A method's result from the status of the driver API call it rests on,
// recorded as ApiOk does: S_OK; E_INVALIDARG when the API found the
// arguments invalid (a name, disk count, disk, block size or conversion
// that cannot be), so the server hears 805 as for the arguments the
// plug-in refuses itself; E_FAIL for any other failure.
STATUS ApiResult(raeStatus status);

// Selects adapter in the driver API unless it is already selected.
bool SelectAdapter(unsigned long adapter);
// Closes the API and selects adapter again, so it rereads the driver.
bool ReopenAdapter(unsigned long adapter);
// The selected adapter, -1 when none is.
long SelectedAdapter();

// A decimal number filling the whole text; false for anything else.
bool ReadNumber(const char* text, long& value);

// The periodic procedure's guard against running inside itself (while an
// array is created, or from a notification that leads back into the
// plug-in).
bool IsTimerGuardOn();
void SetTimerGuard(bool on);

// Holds the timer guard off for its lifetime, and restores it after.
class CTimerHold
{
public:
    CTimerHold();
    ~CTimerHold();
    CTimerHold(const CTimerHold&) = delete;
    CTimerHold& operator=(const CTimerHold&) = delete;

private:
    bool m_bWasOn;
};
