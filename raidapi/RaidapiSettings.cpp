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

raeStatus ByteSetting(raeAction eAction, int* value, UCHAR (Morliven::*get)(),
                      UCHAR (Morliven::*put)(UCHAR))
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (eAction == reGET)
                *value = (m.*get)();
            else if (eAction == reSET)
                (m.*put)(static_cast<UCHAR>(*value & 0xFF));
            return reSOK;
        });
}

// checked: a failed request gives reSGenericError; otherwise the result
// is not examined.
raeStatus SwitchSetting(raeAction eAction, BOOL* enabled, int (Morliven::*get)(BOOL&),
                        int (Morliven::*set)(BOOL), bool checked)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            int r = 0;
            if (eAction == reGET)
                r = (m.*get)(*enabled);
            else if (eAction == reSET)
                r = (m.*set)(*enabled);
            return checked && r != 0 ? reSGenericError : reSOK;
        });
}

raeStatus WordSetting(raeAction eAction, ULONG* value, ULONG (Morliven::*get)(),
                      ULONG (Morliven::*set)(ULONG))
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (eAction == reGET)
                *value = (m.*get)();
            else if (eAction == reSET && (m.*set)(*value) == 0)
                return reSNotImplemented;
            return reSOK;
        });
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

template <typename T> raeStatus AdapterValue(T* out, T (Morliven::*read)(ULONG), ULONG adapter)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *out = (m.*read)(adapter);
            return reSOK;
        });
}

template <typename T> raeStatus AdapterFlag(BOOL* out, T (Morliven::*read)(ULONG), ULONG adapter)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *out = static_cast<BOOL>((m.*read)(adapter));
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

raeStatus raOriginalChannelCount(raeAction eAction, int* count)
{
    return ByteSetting(eAction, count, &Morliven::GetOriginalChannelCount,
                       &Morliven::PutOriginalChannelCount);
}

raeStatus raChannelThreshold(raeAction eAction, int* count)
{
    return ByteSetting(eAction, count, &Morliven::GetChannelThreshold,
                       &Morliven::PutChannelThreshold);
}

raeStatus raMaintenanceLength(raeAction eAction, int* length)
{
    return ByteSetting(eAction, length, &Morliven::GetMaintenanceLength,
                       &Morliven::PutMaintenanceLength);
}

raeStatus raSmartCheckEnabled(raeAction eAction, BOOL* enabled)
{
    return SwitchSetting(eAction, enabled, &Morliven::GetSmartCheckEnabled,
                         &Morliven::SetSmartCheckEnable, false);
}

raeStatus raAlarmBuzzerEnabled(raeAction eAction, BOOL* enabled)
{
    return SwitchSetting(eAction, enabled, &Morliven::GetAlarmBuzzerEnabled,
                         &Morliven::SetAlarmBuzzerEnabled, false);
}

raeStatus raHotSparesEnabled(raeAction eAction, BOOL* enabled)
{
    return SwitchSetting(eAction, enabled, &Morliven::GetHotSparesEnabled,
                         &Morliven::SetHotSparesEnabled, false);
}

raeStatus raWriteCacheEnabled(raeAction eAction, BOOL* enabled)
{
    return SwitchSetting(eAction, enabled, &Morliven::GetWriteCacheEnabled,
                         &Morliven::SetWriteCacheEnabled, true);
}

raeStatus raHotSwapEnabled(raeAction eAction, BOOL* enabled)
{
    return SwitchSetting(eAction, enabled, &Morliven::GetHotSwapEnabled,
                         &Morliven::SetHotSwapEnabled, true);
}

raeStatus raReadThreshold(raeAction eAction, ULONG* count)
{
    return WordSetting(eAction, count, &Morliven::GetReadThreshold, &Morliven::SetReadThreshold);
}

raeStatus raWriteThreshold(raeAction eAction, ULONG* count)
{
    return WordSetting(eAction, count, &Morliven::GetWriteThreshold, &Morliven::SetWriteThreshold);
}

raeStatus raSubmitChannelThreshold(raeAction eAction, ULONG* count)
{
    return WordSetting(eAction, count, &Morliven::GetSubmitChannelThreshold,
                       &Morliven::SetSubmitChannelThreshold);
}

raeStatus raWriteMode(raeAction eAction, raeWriteMode* mode)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            if (eAction == reSET)
                return m.SetWriteMode(static_cast<ULONG>(*mode)) == 0 ? reSNotImplemented : reSOK;
            if (eAction != reGET)
                return reSOK;
            ULONG v = m.GetWriteMode();
            if (v == 0)
                *mode = reWriteBack;
            else if (v == 1)
                *mode = reWriteThrough;
            else if (v == kWriteModeNotSupported)
                *mode = reNotSupport;
            return reSOK;
        });
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

raeStatus raCheckBatteryBackModule(ULONG AdapterId, BOOL* bexist)
{
    return AdapterFlag(bexist, &Morliven::CheckBatteryBackModule, AdapterId);
}

raeStatus raCheckBatteryPack(ULONG AdapterId, BOOL* bexist)
{
    return AdapterFlag(bexist, &Morliven::CheckBatteryPack, AdapterId);
}

raeStatus raGetChargeStatus(ULONG AdapterId, raeBatteryStatus* eStatus)
{
    return WithAdapter(
        [&](Morliven& m)
        {
            *eStatus = ChargeStatus(m.GetChargeStatus(AdapterId));
            return reSOK;
        });
}

raeStatus raGetChargeCycle(ULONG AdapterId, USHORT* cycles)
{
    return AdapterValue(cycles, &Morliven::GetChargeCycle, AdapterId);
}

raeStatus raGetBatteryTemperature(ULONG AdapterId, USHORT* temperature)
{
    return AdapterValue(temperature, &Morliven::GetBatteryTemperature, AdapterId);
}

raeStatus raGetBatteryVoltage(ULONG AdapterId, USHORT* voltage)
{
    return AdapterValue(voltage, &Morliven::GetBatteryVoltage, AdapterId);
}

raeStatus raGetDimmSize(ULONG AdapterId, ULONG* size)
{
    return AdapterValue(size, &Morliven::GetDimmSize, AdapterId);
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
