// The adapter object's methods: array creation, deletion and conversion,
// the settings and the buzzer.

#include "CArray.h"
#include "CCommandArgs.h"
#include "CIDEDisk.h"
#include "CIOP.h"
#include "CProfile.h"
#include "PluginState.h"
#include "RaidModes.h"

#include <cstring>

namespace
{
const unsigned kSettingsRights = 0x800003C;
const int kMaxDisks = 8;
const long kMaxBlockSize = 0xFFFF;

// Reads a 0 or 1 setting.
bool ReadSwitch(const char* text, long& value) { return ReadNumber(text, value) && (value == 0 || value == 1); }

void WriteSetting(const char* key, long value)
{
    CProfile profile;
    profile.WriteProfile("MV7000", key, static_cast<int>(value));
}
} // namespace

struct CIOP::tagMETHOD
{
    const char* m_pName;
    unsigned m_nMask;
    // Null for the methods that the agent folder serves itself.
    STATUS (CIOP::*m_pHandler)(const char* args);
};

const CIOP::tagMETHOD CIOP::s_Methods[] = {
    {"CreateArray", 0x8000004, &CIOP::OnCreateArray},
    {"DeleteArray", 0x8000008, &CIOP::OnDeleteArray},
    {"ReadEvent", 0xF7FFFFFF, nullptr},
    {"ClearEvent", 64, nullptr},
    {"SetCachePolicy", kSettingsRights, &CIOP::OnSetCachePolicy},
    {"SetSmart", kSettingsRights, &CIOP::OnSetSmart},
    {"SetPCIBus", kSettingsRights, &CIOP::OnSetPCIBus},
    {"SetDisableHotSpare", kSettingsRights, &CIOP::OnSetDisableHotSpare},
    {"SetMaintenanceRate", kSettingsRights, &CIOP::OnSetMaintenanceRate},
    {"SetReadThreshold", kSettingsRights, &CIOP::OnSetReadThreshold},
    {"SetWriteThreshold", kSettingsRights, &CIOP::OnSetWriteThreshold},
    {"SetSubmitChannelThreshold", kSettingsRights, &CIOP::OnSetSubmitChannelThreshold},
    {"SetWriteMode", kSettingsRights, &CIOP::OnSetWriteMode},
    {"ConvArray", kSettingsRights, &CIOP::OnConvArray},
    {"TurnOnBuzzer", 64, &CIOP::OnTurnOnBuzzer},
    {"SilentBuzzer", 64, &CIOP::OnSilentBuzzer},
};

int CIOP::InitialMethod()
{
    for (const tagMETHOD& method : s_Methods)
        AddMethod(method.m_pName, method.m_nMask);
    return 1;
}

STATUS CIOP::InvokeDispatch(const char* method, const char* args)
{
    if (!SelectAdapter(m_AdapterID))
        return E_FAIL;
    for (const tagMETHOD& entry : s_Methods)
        if (strcmp(entry.m_pName, method) == 0)
            return entry.m_pHandler ? (this->*entry.m_pHandler)(args) : S_OK;
    return S_OK;
}

CArray* CIOP::FindArray(const char* identity) { return dynamic_cast<CArray*>(FindByIdentity(identity, TYPE_ARRAY)); }

int CIOP::DiskNumberOf(const char* identity)
{
    CIDEDisk* disk = dynamic_cast<CIDEDisk*>(FindByIdentity(identity, TYPE_DISK));
    return disk ? disk->GetDiskNumber() : -1;
}

STATUS CIOP::Changed(const char* property, long value)
{
    SetPropertyInt(property, DT_P_READ, static_cast<int>(value));
    IssueNotification(NOTICE_CHANGED);
    return S_OK;
}

STATUS CIOP::OnCreateArray(const char* args)
{
    CTimerHold hold;
    CCommandArgs fields(args);
    int mode = StringToRAIDMode(fields.Field(1));
    if (fields.GetCount() < 2 || mode < 0)
        return E_INVALIDARG;
    int next = 2;
    long boundary = 0;
    long init = 0;
    long count = 0;
    if (!fields.Number(next++, boundary) || (mode == RAID_MODE_RAID5 && !fields.Number(next++, init)) ||
        !fields.Number(next++, count) || count < 1 || count > kMaxDisks ||
        fields.GetCount() != next + count + 1)
        return E_INVALIDARG;
    UCHAR disks[kMaxDisks];
    for (long i = 0; i < count; ++i)
    {
        int disk = DiskNumberOf(fields.Field(next++));
        if (disk < 0)
            return E_INVALIDARG;
        disks[i] = static_cast<UCHAR>(disk);
    }
    long block = 0;
    if (!fields.Number(next, block) || block < 0 || block > kMaxBlockSize)
        return E_INVALIDARG;
    int flags = (boundary ? reFlagGigaBoundary : 0) | (init ? reFlagRAID5Init : 0);
    UCHAR* name = reinterpret_cast<UCHAR*>(const_cast<char*>(fields.Field(0)));
    STATUS result = ApiResult(raCreateArray(name, RAIDModeOfIndex(mode), static_cast<int>(count), disks,
                                            static_cast<int>(block), static_cast<raeCreateAryFlag>(flags)));
    if (result != S_OK)
        return result;
    Resync();
    return S_OK;
}

STATUS CIOP::OnDeleteArray(const char* args)
{
    CArray* array = FindArray(args);
    if (!array)
        return E_INVALIDARG;
    if (!ApiOk(raDeleteArray(static_cast<int>(array->GetLogicalID()))))
        return E_FAIL;
    array->IssueNotification(NOTICE_REMOVED);
    Resync();
    return S_OK;
}

STATUS CIOP::OnConvArray(const char* args)
{
    CCommandArgs fields(args);
    long code = 0;
    CArray* array = FindArray(fields.Field(1));
    if (!fields.Number(0, code) || !array)
        return E_INVALIDARG;
    raeIgnoreFix action = raeStart;
    raeRaidMode type = static_cast<raeRaidMode>(array->GetRAIDMode());
    switch (code)
    {
    case 512:
        type = RAIDModeOfIndex(StringToRAIDMode(fields.Field(2)));
        if (type == reRaidModeUnknown)
            return E_INVALIDARG;
        break;
    case 1024:
        action = raePause;
        break;
    case 2048:
        action = raeStop;
        break;
    case 256:
        action = raeContinue;
        break;
    default:
        return E_INVALIDARG;
    }
    long stripe = 0;
    long count = 0;
    int disks[kMaxDisks];
    for (int& disk : disks)
        disk = -1;
    if (fields.GetCount() > 2)
    {
        if (!fields.Number(3, stripe) || !fields.Number(4, count) || count < 0 || count > kMaxDisks ||
            fields.GetCount() != 5 + count)
            return E_INVALIDARG;
        for (long i = 0; i < count; ++i)
            if ((disks[i] = DiskNumberOf(fields.Field(5 + static_cast<int>(i)))) < 0)
                return E_INVALIDARG;
    }
    else if (action == raeStart)
        return E_INVALIDARG;
    STATUS result = E_FAIL;
    if (SelectAdapter(m_AdapterID))
        result = ApiResult(raExpanConv(static_cast<int>(array->GetLogicalID()), type, static_cast<int>(count), disks,
                                       static_cast<int>(stripe), action));
    // Only a start carries a conversion whose arguments can be wrong; a
    // pause, stop or continue that fails found nothing to steer.
    if (result == E_INVALIDARG && action != raeStart)
        result = E_FAIL;
    if (result == S_OK)
        array->SetThrottleStatus(action);
    Resync();
    return result;
}

STATUS CIOP::SetRestartSetting(const char* args, const char* key, bool& field, const char* property)
{
    long value = 0;
    if (!ReadSwitch(args, value))
        return E_INVALIDARG;
    WriteSetting(key, value);
    m_reboot = true;
    field = value != 0;
    return Changed(property, value);
}

STATUS CIOP::OnSetCachePolicy(const char* args)
{
    return SetRestartSetting(args, "WRITEBACKCACHE", m_bEnableDiskCache, "GetCachePolicy");
}

STATUS CIOP::OnSetDisableHotSpare(const char* args)
{
    return SetRestartSetting(args, "DISABLEHOTSPARE", m_bDisableHotSpare, "GetDisableHotSpare");
}

STATUS CIOP::OnSetSmart(const char* args)
{
    long value = 0;
    if (!ReadSwitch(args, value))
        return E_INVALIDARG;
    BOOL enabled = static_cast<BOOL>(value);
    if (!ApiOk(raSmartCheckEnabled(reSET, &enabled)) || !ApiOk(raSmartCheckEnabled(reGET, &enabled)))
        return E_FAIL;
    // What the driver now holds, which need not be what was asked.
    WriteSetting("SMARTENABLE", enabled);
    m_bEnableSmart = enabled != 0;
    return Changed("GetSmart", enabled);
}

STATUS CIOP::OnSetPCIBus(const char* args)
{
    long value = 0;
    if (!ReadNumber(args, value) || value < 0 || value > 100)
        return E_INVALIDARG;
    int threshold = UIToDriver(static_cast<int>(value), m_bOriginalChannelCount);
    if (!ApiOk(raChannelThreshold(reSET, &threshold)))
        return E_FAIL;
    m_iChannelThresholdUI = static_cast<int>(value);
    m_iChannelThresholdDriver = threshold;
    WriteSetting("COUNTTHRESHOLD", threshold);
    return Changed("GetPCIBus", value);
}

STATUS CIOP::OnSetMaintenanceRate(const char* args)
{
    long value = 0;
    if (!ReadNumber(args, value) || value < 0 || value > 0x7FFFFFFF)
        return E_INVALIDARG;
    int length = static_cast<int>(value);
    if (!ApiOk(raMaintenanceLength(reSET, &length)))
        return E_FAIL;
    m_iMaintenanceLength = length;
    WriteSetting("MAINTENANCELENGTH", length);
    return Changed("GetMaintenanceRate", length);
}

STATUS CIOP::SetThreshold(raeStatus (*call)(raeAction, ULONG*), const char* args, unsigned long& field,
                          const char* property)
{
    long value = 0;
    if (!ReadNumber(args, value) || value < 0 || value > 0x7FFFFFFF)
        return E_INVALIDARG;
    ULONG threshold = static_cast<ULONG>(value);
    if (!ApiOk(call(reSET, &threshold)))
        return E_FAIL;
    field = threshold;
    return Changed(property, value);
}

STATUS CIOP::OnSetReadThreshold(const char* args)
{
    return SetThreshold(raReadThreshold, args, m_ulReadThreshold, "ReadThreshold");
}

STATUS CIOP::OnSetWriteThreshold(const char* args)
{
    return SetThreshold(raWriteThreshold, args, m_ulWriteThreshold, "WriteThreshold");
}

STATUS CIOP::OnSetSubmitChannelThreshold(const char* args)
{
    return SetThreshold(raSubmitChannelThreshold, args, m_ulSubmitChannelThreshold, "SubmitChannelThreshold");
}

STATUS CIOP::OnSetWriteMode(const char* args)
{
    long value = 0;
    if (!ReadSwitch(args, value))
        return E_INVALIDARG;
    raeWriteMode mode = static_cast<raeWriteMode>(value);
    if (!ApiOk(raWriteMode(reSET, &mode)))
        return E_FAIL;
    m_ulWriteMode = static_cast<unsigned long>(value);
    return Changed("WriteMode", value);
}

STATUS CIOP::SetBuzzer(BOOL on)
{
    BOOL state = 0;
    if (!ApiOk(raAlarmBuzzerEnabled(reGET, &state)))
        return E_FAIL;
    if ((state != 0) == (on != 0))
        return S_OK;
    return ApiOk(raAlarmBuzzerEnabled(reSET, &on)) ? S_OK : E_FAIL;
}

STATUS CIOP::OnTurnOnBuzzer(const char*) { return SetBuzzer(1); }

STATUS CIOP::OnSilentBuzzer(const char*) { return SetBuzzer(0); }
