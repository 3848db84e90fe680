#pragma once

#include "CDevice.h"
#include "Raidapi.h"

// The model's value that an enclosure does not report.
const int ENCLOSURE_NO_VALUE = -2;

// One hot-swap enclosure in a slot of the enclosure channel, named after
// its model: publishes its fan speed, temperature and supply readings.
class CSwapEnclosure : public CDevice
{
public:
    CSwapEnclosure(int channel, int id, raeEnclosureType type)
        : CDevice(TYPE_SWAP_ENCLOSURE), m_iChannel(channel), m_iID(id), m_iEnclosureType(type)
    {
    }

    // Reads the enclosure and writes every property; 0 when the adapter
    // could not be selected (nothing is written then).
    int InitialProperty() override;
    // Publishes the readings that changed, and tells the folder when any did.
    void OnClockTick() override;

    // The object name of an enclosure model in slot channel; null for a
    // type that is no enclosure model.
    static const char* NameOf(raeEnclosureType type, int channel, char* buffer, int length);
    static bool IsModel(raeEnclosureType type);

    int GetSlot() const { return m_iChannel; }

protected:
    ~CSwapEnclosure() override = default;

private:
    // The enclosure's status from the selected adapter; the values its
    // model does not report are ENCLOSURE_NO_VALUE.
    bool ReadStatus(raeEnclosureType& type, rasCorrimontSwap& values);
    bool Update(int& field, int value, const char* property);

    int m_iChannel;
    int m_iID;
    int m_iEnclosureType;
    int m_FanStatus = 0;
    int m_Temperature = 0;
    int m_V5V = 0;
    int m_V12V = 0;
};
