#pragma once

#include "CDevice.h"

// A disk of a channel or an array.
class CDisk : public CDevice
{
public:
    CDisk() : CDevice(TYPE_DISK) {}

protected:
    ~CDisk() override = default;
};
