// Adapter settings, enclosures and the battery.

#include "RaidapiSupport.h"

#include <string.h>

namespace
{
const int kNoSensor = -2;
const ULONG kCapFanAndTemperature = 1 << 3;
const ULONG kCapVoltage = 1 << 2;
const int kCapKeyBit = 6;
const ULONG kWriteModeNotSupported = 0xFFFFFFFF;

// Enclosure type answers of the driver.
const int kEncCorrimont = 0;
const int kEncBramwell = 1;
const int kEncTindalow = 17;

// How the answer of a setting's request is judged.
enum class Judged
{
    Never,     // not examined
    ByRequest, // a read or write whose request failed gives reSGenericError
    BySetter   // a write that the driver answers with 0 gives reSNotImplemented
};

// A value read through the adapter object: a getter that answers it, one
// that fills it in and answers its request's result, or a routine of the
// API's own.  The answer is what the judgement looks at.
template <typename T, typename R> long Read(Morliven& m, R (Morliven::*get)(), T& value)
{
    value = static_cast<T>((m.*get)());
    return 0;
}

long Read(Morliven& m, int (Morliven::*get)(BOOL&), BOOL& value)
{
    return (m.*get)(value);
}

template <typename T> long Read(Morliven& m, long (*get)(Morliven&, T&), T& value)
{
    return get(m, value);
}

template <typename T, typename R, typename A>
long Write(Morliven& m, R (Morliven::*set)(A), T value)
{
    return static_cast<long>((m.*set)(static_cast<A>(value)));
}

// One adapter setting: reGET reads it into *value, reSET writes *value
// (a byte setting its low byte); any other action does nothing.
template <typename T, typename Get, typename Set>
raeStatus Setting(raeAction eAction, T* value, Get get, Set set, Judged judged)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (eAction == reGET && Read(m, get, *value) != 0 && judged == Judged::ByRequest)
                return reSGenericError;
            if (eAction != reSET)
                return reSOK;
            long answer = Write(m, set, *value);
            if (judged == Judged::ByRequest && answer != 0)
                return reSGenericError;
            if (judged == Judged::BySetter && answer == 0)
                return reSNotImplemented;
            return reSOK;
        });
}

// The driver's write mode word as the API names it; a word of no known
// mode leaves the caller's value.
long ReadWriteMode(Morliven& m, raeWriteMode& mode)
{
    ULONG v = m.GetWriteMode();
    if (v == 0)
        mode = reWriteBack;
    else if (v == 1)
        mode = reWriteThrough;
    else if (v == kWriteModeNotSupported)
        mode = reNotSupport;
    return 0;
}

// The master position of a channel carries its enclosure.
bool EnclosurePosition(int iDeviceID)
{
    return ValidDeviceId(iDeviceID) && iDeviceID % 2 == 0;
}

int Sensor(Morliven& m, bool present, int (Morliven::*read)(ULONG, ULONG), ULONG channel)
{
    return present ? (m.*read)(channel, 0) : kNoSensor;
}

// A value of the adapter named by its index, as the driver answers it.
template <typename Out, typename T>
raeStatus AdapterValue(Out* out, T (Morliven::*read)(ULONG), ULONG adapter)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *out = static_cast<Out>((m.*read)(adapter));
            return reSOK;
        });
}

// Smart battery status words: error code in bits 0..3, status bits 4..7,
// alarm bits above.
struct ChargeState
{
    USHORT value;
    raeBatteryStatus status;
};

const ChargeState kChargeStates[] = {
    {0x10, reBatteryFullyDischarged},
    {0x20, reBatteryFullyCharged},
    {0x30, reBatteryFullyChargedFullyDischarged},
    {0x40, reBatteryDischarging},
    {0x50, reBatteryDischargingFullyDischarged},
    {0x60, reBatteryDischargingFullyCharged},
    {0x80, reBatteryInitialized},
    {0x100, reBatteryRemainingTimeAlarm},
    {0x200, reBatteryRemainingCapacityAlarm},
    {0x800, reBatteryTerminateDischargeAlarm},
    {0x1000, reBatteryOverTempAlarm},
    {0x4000, reBatteryTerminateChargeAlarm},
    {0x8000, reBatteryOverChargedAlarm},
};

const USHORT kErrorBits = 0x0F;
const USHORT kAlarmBits = 0xDB00;
const USHORT kStatusBits = 0xF0;
const USHORT kInitialized = 0x80;

// An error code takes precedence over alarms and alarms over status bits.
raeBatteryStatus ChargeStatus(USHORT s)
{
    if (s != kInitialized)
        s &= static_cast<USHORT>(~kInitialized);
    USHORT v = s & kErrorBits;
    if (v)
        return static_cast<raeBatteryStatus>(v); // the codes 1..7 share their numbers
    v = (s & kAlarmBits) ? s & kAlarmBits : s & kStatusBits;
    if (v == 0)
        return reBatteryOK;
    for (const ChargeState& c : kChargeStates)
        if (c.value == v)
            return c.status;
    return reBatteryStatusUnknown;
}
} // namespace

// The adapter settings of the API, one row each: the exported function,
// the type of its value, how the adapter object reads and writes it, and
// how the answer is judged.
#define RA_SETTINGS(SETTING)                                                                         \
    SETTING(raOriginalChannelCount, int, GetOriginalChannelCount, PutOriginalChannelCount, Never)    \
    SETTING(raChannelThreshold, int, GetChannelThreshold, PutChannelThreshold, Never)                \
    SETTING(raMaintenanceLength, int, GetMaintenanceLength, PutMaintenanceLength, Never)             \
    SETTING(raSmartCheckEnabled, BOOL, GetSmartCheckEnabled, SetSmartCheckEnable, Never)             \
    SETTING(raAlarmBuzzerEnabled, BOOL, GetAlarmBuzzerEnabled, SetAlarmBuzzerEnabled, Never)         \
    SETTING(raHotSparesEnabled, BOOL, GetHotSparesEnabled, SetHotSparesEnabled, Never)               \
    SETTING(raWriteCacheEnabled, BOOL, GetWriteCacheEnabled, SetWriteCacheEnabled, ByRequest)        \
    SETTING(raHotSwapEnabled, BOOL, GetHotSwapEnabled, SetHotSwapEnabled, ByRequest)                 \
    SETTING(raReadThreshold, ULONG, GetReadThreshold, SetReadThreshold, BySetter)                    \
    SETTING(raWriteThreshold, ULONG, GetWriteThreshold, SetWriteThreshold, BySetter)                 \
    SETTING(raSubmitChannelThreshold, ULONG, GetSubmitChannelThreshold, SetSubmitChannelThreshold,     \
            BySetter)

#define RA_SETTING_FUNCTION(name, type, get, set, judged)                                            \
    raeStatus name(raeAction eAction, type* value)                                                   \
    {                                                                                                \
        return Setting(eAction, value, &Morliven::get, &Morliven::set, Judged::judged);              \
    }

RA_SETTINGS(RA_SETTING_FUNCTION)

#undef RA_SETTING_FUNCTION
#undef RA_SETTINGS

raeStatus raWriteMode(raeAction eAction, raeWriteMode* mode)
{
    return Setting(eAction, mode, ReadWriteMode, &Morliven::SetWriteMode, Judged::BySetter);
}

raeStatus raEnclosureType(int iDeviceID, raeEnclosureType* eType)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *eType = raeNone;
            if (!EnclosurePosition(iDeviceID))
                return reSOK;
            int type = m.GetEnclosureType(static_cast<ULONG>(iDeviceID / 2), 0);
            if (type == -1 || type == kEncCorrimont)
                *eType = raeUnknown;
            else if (type == kEncBramwell)
                *eType = raeBramwell;
            else if (type == kEncTindalow)
                *eType = raeTindalow;
            return reSOK;
        });
}

raeStatus raGetEnclosureStatus(int iDeviceID, raeEnclosureType* eType, int* sSize, void* sEncData)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *eType = raeNone;
            *sSize = 0;
            if (!EnclosurePosition(iDeviceID))
                return reSOK;
            ULONG channel = static_cast<ULONG>(iDeviceID / 2);
            int type = m.GetEnclosureType(channel, 0);
            ULONG caps = static_cast<ULONG>(m.EnclosureCommand(ENC_CAPABILITIES, channel, 0));
            rasCorrimontSwap v;
            v.wFanSpeed = Sensor(m, caps & kCapFanAndTemperature, &Morliven::GetFanStatus, channel);
            v.wTemperature =
                Sensor(m, caps & kCapFanAndTemperature, &Morliven::GetTemperature, channel);
            v.w5VVoltage = Sensor(m, caps & kCapVoltage, &Morliven::GetV5VStatus, channel);
            v.w12VVoltage = Sensor(m, caps & kCapVoltage, &Morliven::GetV12VStatus, channel);
            v.wKey = static_cast<int>((caps >> kCapKeyBit) & 1);
            rauEnclosureData data;
            memset(&data, 0, sizeof(data));
            if (type == -1)
                *eType = raeUnknown;
            else if (type == kEncCorrimont)
            {
                *eType = raeCorrimontSwap;
                data.sCorrimontSwap = v;
                *sSize = sizeof(rasCorrimontSwap);
            }
            else if (type == kEncBramwell)
            {
                *eType = raeBramwell;
                data.sBramwell.wFanSpeed = v.wFanSpeed;
                *sSize = sizeof(rasBramwell);
            }
            else if (type == kEncTindalow)
            {
                *eType = raeTindalow;
                memcpy(&data.sTindalow, &v, sizeof(rasTindalow));
                *sSize = sizeof(rasTindalow);
            }
            memcpy(sEncData, &data, static_cast<size_t>(*sSize));
            return reSOK;
        });
}

// The values of an adapter named by its index, one row each: the exported
// function, the type of its value and the adapter object's reader.
#define RA_ADAPTER_VALUES(VALUE)                                                                     \
    VALUE(raCheckBatteryBackModule, BOOL, CheckBatteryBackModule)                                    \
    VALUE(raCheckBatteryPack, BOOL, CheckBatteryPack)                                                \
    VALUE(raGetChargeCycle, USHORT, GetChargeCycle)                                                  \
    VALUE(raGetBatteryTemperature, USHORT, GetBatteryTemperature)                                    \
    VALUE(raGetBatteryVoltage, USHORT, GetBatteryVoltage)                                            \
    VALUE(raGetDimmSize, ULONG, GetDimmSize)

#define RA_ADAPTER_VALUE_FUNCTION(name, type, read)                                                  \
    raeStatus name(ULONG AdapterId, type* value)                                                     \
    {                                                                                                \
        return AdapterValue(value, &Morliven::read, AdapterId);                                      \
    }

RA_ADAPTER_VALUES(RA_ADAPTER_VALUE_FUNCTION)

#undef RA_ADAPTER_VALUE_FUNCTION
#undef RA_ADAPTER_VALUES

raeStatus raGetChargeStatus(ULONG AdapterId, raeBatteryStatus* eStatus)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *eStatus = ChargeStatus(m.GetChargeStatus(AdapterId));
            return reSOK;
        });
}

raeStatus raClearLog(void)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            m.ClearLog();
            return reSOK;
        });
}
