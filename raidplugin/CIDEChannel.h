#pragma once

#include "CChannel.h"

// An IDE channel of an adapter, with its master and slave disks.
class CIDEChannel : public CChannel
{
public:
    CDevice* CreateDeviceObject(unsigned long index, unsigned long channel, unsigned long adapter) override;

protected:
    ~CIDEChannel() override = default;
};
