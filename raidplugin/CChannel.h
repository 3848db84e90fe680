#pragma once

#include "CDevice.h"

// A channel of an adapter: lists the devices found on it.
class CChannel : public CDevice
{
public:
    explicit CChannel(int type = TYPE_CHANNEL) : CDevice(type) {}

    using CDevice::Create;
    // Names the channel with index id of adapter adapterID and scans it.
    virtual int Create(CDevice* parent, const char* name, unsigned long id, unsigned long adapterID);
    void OnRefresh() override { ScanChannel(); }
    // The device object at index of the channel, made or found; null when
    // there is none.
    virtual CDevice* CreateDeviceObject(unsigned long index, unsigned long channel, unsigned long adapter);

    unsigned long GetChannelID() const { return m_id; }

protected:
    ~CChannel() override = default;
    // Lists the devices the channel has now and removes those gone.
    virtual void ScanChannel();

    int m_MaxNumOfDevice = 3;
    unsigned long m_controllerID = 0;
    unsigned long m_id = static_cast<unsigned long>(-1);
};
