#pragma once

#include "BatteryStatus.h"
#include "CChannel.h"

#include <cstdint>

// The last readings of a battery back-up module.
struct tagBATTERYREADING
{
    uint16_t m_iTemperature;
    uint16_t m_iVoltage;
    uint16_t m_iChargeStatus; // index of the charge status texts
    uint16_t m_iChargeCycle;
};

// Reads the battery of the selected adapter into reading, leaving the
// fields whose query failed as they were.
void ReadBattery(unsigned long adapter, tagBATTERYREADING& reading);

// The battery channel of an adapter ("battery"): publishes the readings.
class CBatteryChannel : public CChannel
{
public:
    CBatteryChannel() : CChannel(TYPE_BATTERY_CHANNEL) {}

    int InitialProperty() override;
    void OnRefresh() override;

    const tagBATTERYREADING& GetReading() const { return m_Reading; }
    // Shows readings the adapter's poll took, and tells the folder.
    void Publish(const tagBATTERYREADING& reading);

protected:
    ~CBatteryChannel() override = default;
    // A battery has no devices: its scan reads the battery.
    void ScanChannel() override;

private:
    tagBATTERYREADING m_Reading{0, 0, CHARGE_STATUS_UNKNOWN, 0};
};
