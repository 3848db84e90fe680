#pragma once

#include "CChannel.h"

// The enclosure channel of an adapter ("enclosure%d"): one object per
// hot-swap enclosure found in the adapter's four slots.
class CEnclosureChannel : public CChannel
{
public:
    CEnclosureChannel() : CChannel(TYPE_ENCLOSURE_CHANNEL) {}

    int InitialProperty() override;
    void OnClockTick() override;

protected:
    ~CEnclosureChannel() override = default;
    void ScanChannel() override;
};
