#pragma once

#include "CRiver.h"

// The root of the plug-in's tree: one adapter object per controller that
// the driver API reports.
class Ci2o : public CRiver
{
public:
    Ci2o();

protected:
    ~Ci2o() override = default;

private:
    // Names the root after the adapters' hardware; the hardware's text.
    const char* NameAfterHardware();
    void CreateAdapters(int count);
};
