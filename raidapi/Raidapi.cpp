// Selecting an adapter, the status texts and the versions.

#include "RaidapiSupport.h"

#include <stdio.h>
#include <string.h>

namespace
{
// Indexed by status + 1.
const char* const kStatusTexts[] = {
    "Not Implemented for this platform",
    "OK",
    "API Not Initialized",
    "Generic Error",
    "Function Not Supported",
    "No Adapter",
    "Driver Not Found",
    "Version Mismatch",
    "No Disk Present",
    "Invalid Array Id",
    "Array Status Error",
    "Cannot create Mailslot, max=4",
    "Cannot Delete: No Such Array Exists",
    "Cannot Create: Invalid Array Number",
    "Error Creating Array, Please Wait Driver Free",
    "Cannot Create: Invalid RAID Mode",
    "Cannot Create: Invalid Array Configuration",
    "Cannot Conversion: Target Size Too Small",
    "Cannot Conversion: Same Array Error",
    "Cannot Conversion: Invalid Disk",
    "Cannot DeleteArray:Array Busy",
    "Cannot Synchronize JBOD or Striping",
    "Cannot Rebuild JBOD or Striping",
    "Cannot Convert",
    "Driver is busy",
    "Not find the adapter",
};
static_assert(sizeof(kStatusTexts) / sizeof(kStatusTexts[0]) == reSInvalidAdapter + 2,
              "status texts");

const char kUnknownStatus[] = "Unknown Status";
const char kDllVersion[] = "v1.30.0.23";
const int kVersionBuffer = 256;
const int kValidityText = 128;
} // namespace

raeStatus raInitialize(void** pHandle)
{
    if (!pHandle)
        return reSGenericError;
    int index = *pHandle ? *static_cast<const int*>(*pHandle) : 0;
    *pHandle = nullptr;
    // There are two adapter objects; any other index would point past them.
    if (index < 0 || index >= MAX_ADAPTERS)
        return reSInvalidAdapter;
    theMorliven = &mvs[index];
    char text[kValidityText] = "";
    UINT err = theMorliven->IsValid(text);
    if (err == Morliven::ERR_VERSION_MISMATCH || err == Morliven::ERR_DRIVER_NOT_FOUND)
    {
        // Cleared so that the next selection asks the driver again.
        theMorliven->m_errno = 0;
        return err == Morliven::ERR_VERSION_MISMATCH ? reSVersionMismatch : reSDriverNotFound;
    }
    *pHandle = &theMorliven;
    return reSOK;
}

raeStatus raTerminate(void*)
{
    if (theMorliven)
        theMorliven->StopUtility();
    return reSOK;
}

const char* raErrorDescription(raeStatus status)
{
    if (status < reSNotImplemented || status > reSInvalidAdapter)
        return kUnknownStatus;
    return kStatusTexts[status + 1];
}

raeStatus raGetDriverVersion(char* version, char* timestamp)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            char v[kVersionBuffer];
            char t[kVersionBuffer];
            memset(v, 0, sizeof(v));
            memset(t, 0, sizeof(t));
            if (!m.GetDriverVersion(v, t))
                return reSGenericError;
            snprintf(version, kVersionBuffer, "%s", v);
            snprintf(timestamp, kVersionBuffer, "%s", t);
            return reSOK;
        });
}

raeStatus raGetDLLVersion(char* Version)
{
    return WithAdapter(
        [&](Morliven&)
        {
            strcpy(Version, kDllVersion);
            return reSOK;
        });
}

raeStatus raGetHardwareType(ULONG AdapterId, raeHardwareType* eType)
{
    // The adapter is named explicitly, so no selection is needed; the
    // first object serves to reach the driver.
    Morliven& m = theMorliven ? *theMorliven : mvs[0];
    ULONG type = m.GetHardwareType(AdapterId);
    if (type == Morliven::HARDWARE_QV7K)
        *eType = reMorlivenQV7K;
    else if (type == Morliven::HARDWARE_Q150)
        *eType = reMorlivenQ150QV7;
    return reSOK;
}
