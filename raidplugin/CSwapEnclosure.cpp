#include "CSwapEnclosure.h"

#include "PluginState.h"

#include <cstdio>

namespace
{
const unsigned kVolatileRead = DT_P_READ | DT_P_VOLATILE;
} // namespace

bool CSwapEnclosure::IsModel(raeEnclosureType type)
{
    return type == raeBramwell || type == raeTindalow || type == raeCorrimontSwap;
}

const char* CSwapEnclosure::NameOf(raeEnclosureType type, int channel, char* buffer, int length)
{
    const char* model = type == raeBramwell        ? "bramwell"
                        : type == raeTindalow      ? "tindalow"
                        : type == raeCorrimontSwap ? "corrimont"
                                                   : nullptr;
    if (!model)
        return nullptr;
    snprintf(buffer, length, "%s%d", model, channel + 1);
    return buffer;
}

bool CSwapEnclosure::ReadStatus(raeEnclosureType& type, rasCorrimontSwap& values)
{
    // A model fills only the part of the record it reports.
    values = rasCorrimontSwap{ENCLOSURE_NO_VALUE, ENCLOSURE_NO_VALUE, ENCLOSURE_NO_VALUE, ENCLOSURE_NO_VALUE,
                              ENCLOSURE_NO_VALUE};
    type = raeUnknown;
    int size = 0;
    return ApiOk(raGetEnclosureStatus(m_iID + 2 * m_iChannel, &type, &size, &values));
}

int CSwapEnclosure::InitialProperty()
{
    raeEnclosureType type = raeUnknown;
    rasCorrimontSwap values;
    if (!SelectAdapter(m_adapterID))
        return 0;
    if (ReadStatus(type, values) && IsModel(type))
    {
        int* fields[] = {&m_FanStatus, &m_Temperature, &m_V5V, &m_V12V};
        const int readings[] = {values.wFanSpeed, values.wTemperature, values.w5VVoltage, values.w12VVoltage};
        for (int i = 0; i < 4; ++i)
            if (readings[i] != ENCLOSURE_NO_VALUE)
                *fields[i] = readings[i];
        m_iEnclosureType = type;
    }
    SetPropertyInt("Channel", DT_P_READ, m_iChannel);
    SetPropertyInt("ID", DT_P_READ, m_iID);
    SetPropertyInt("Status", kVolatileRead, 0);
    SetPropertyInt("Temperature", kVolatileRead, m_Temperature);
    SetPropertyInt("FanRPM", kVolatileRead, m_FanStatus);
    SetPropertyInt("Power5VStatus", kVolatileRead, m_V5V);
    SetPropertyInt("Power12VStatus", kVolatileRead, m_V12V);
    SetPropertyInt("EnclosureType", DT_P_READ, m_iEnclosureType);
    return 1;
}

bool CSwapEnclosure::Update(int& field, int value, const char* property)
{
    if (value == ENCLOSURE_NO_VALUE || value == field)
        return false;
    field = value;
    SetPropertyInt(property, kVolatileRead, value);
    return true;
}

void CSwapEnclosure::OnClockTick()
{
    raeEnclosureType type = raeUnknown;
    rasCorrimontSwap values;
    if (!SelectAdapter(m_adapterID) || !ReadStatus(type, values) || type == raeUnknown)
        return;
    bool changed = false;
    if (IsModel(type))
    {
        changed |= Update(m_FanStatus, values.wFanSpeed, "FanRPM");
        changed |= Update(m_Temperature, values.wTemperature, "Temperature");
        changed |= Update(m_V5V, values.w5VVoltage, "Power5VStatus");
        changed |= Update(m_V12V, values.w12VVoltage, "Power12VStatus");
    }
    if (type != m_iEnclosureType)
    {
        m_iEnclosureType = type;
        SetPropertyInt("EnclosureType", DT_P_READ, type);
        changed = true;
    }
    if (changed)
        IssueNotification(NOTICE_CHANGED);
}
