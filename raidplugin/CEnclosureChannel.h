#pragma once

#include "CChannel.h"
#include "Raidapi.h"

// The enclosure channel of an adapter ("enclosure%d"): one object per
// hot-swap enclosure found in the adapter's four slots, and the switch of
// the adapter's alarm buzzer.
class CEnclosureChannel : public CChannel
{
public:
    CEnclosureChannel() : CChannel(TYPE_ENCLOSURE_CHANNEL) {}

    int InitialProperty() override;
    int InitialMethod() override;
    void OnClockTick() override;
    STATUS InvokeDispatch(const char* method, const char* args) override;
    // The enclosure of slot index, made or found; null when the slot holds
    // no enclosure model.
    CDevice* CreateDeviceObject(unsigned long index, unsigned long id, unsigned long unused) override;

protected:
    ~CEnclosureChannel() override = default;
    void ScanChannel() override;

private:
    // The model in the slot of the selected adapter that device numbers;
    // false when the driver could not be asked.
    static bool ModelAt(int device, raeEnclosureType& type);
    // Lists in found the enclosures of slot.
    void KeepSlot(int slot, TPtrList<CDevice>& found);
    STATUS SetBuzzer(BOOL on);

    unsigned long m_BuzzStatus = 0;
};
