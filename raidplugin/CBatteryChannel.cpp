#include "CBatteryChannel.h"

#include "BatteryStatus.h"
#include "PluginState.h"

void ReadBattery(unsigned long adapter, tagBATTERYREADING& reading)
{
    USHORT value = 0;
    if (ApiOk(raGetBatteryTemperature(adapter, &value)))
        reading.m_iTemperature = value;
    if (ApiOk(raGetBatteryVoltage(adapter, &value)))
        reading.m_iVoltage = value;
    raeBatteryStatus status = reBatteryStatusUnknown;
    if (ApiOk(raGetChargeStatus(adapter, &status)))
        reading.m_iChargeStatus = static_cast<uint16_t>(ChargeStatusIndex(status));
    if (ApiOk(raGetChargeCycle(adapter, &value)))
        reading.m_iChargeCycle = value;
}

void CBatteryChannel::ScanChannel()
{
    // The battery is read afresh, not from what the API kept of it.
    if (!ReopenAdapter(m_controllerID))
        return;
    ReadBattery(m_controllerID, m_Reading);
    InitialProperty();
    InitialMethod();
}

int CBatteryChannel::InitialProperty()
{
    const unsigned volatileRead = DT_P_READ | DT_P_VOLATILE;
    SetPropertyInt("BatteryTemperature", volatileRead, m_Reading.m_iTemperature);
    SetPropertyInt("BatteryVoltage", volatileRead, m_Reading.m_iVoltage);
    SetPropertyString("BatteryChargeStatus", volatileRead, "%s", ChargeStatusText(m_Reading.m_iChargeStatus));
    SetPropertyInt("BatteryChargeCycle", volatileRead, m_Reading.m_iChargeCycle);
    return 1;
}

void CBatteryChannel::OnRefresh()
{
    m_Reading = tagBATTERYREADING{0, 0, CHARGE_STATUS_UNKNOWN, 0};
    ScanChannel();
}

void CBatteryChannel::Publish(const tagBATTERYREADING& reading)
{
    m_Reading = reading;
    InitialProperty();
    IssueNotification(NOTICE_CHANGED);
}
