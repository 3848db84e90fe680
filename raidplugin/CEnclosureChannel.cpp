#include "CEnclosureChannel.h"

#include "PluginState.h"

namespace
{
const int kEnclosureSlots = 4;
} // namespace

int CEnclosureChannel::InitialProperty()
{
    SetPropertyInt("HardwareType", DT_P_READ, 1);
    return 1;
}

void CEnclosureChannel::OnClockTick()
{
    if (ReopenAdapter(m_controllerID))
        TickChildren(TYPE_SWAP_ENCLOSURE);
}

void CEnclosureChannel::ScanChannel()
{
    if (!SelectAdapter(m_controllerID))
        return;
    TPtrList<CDevice> found;
    int counter = 1;
    for (int k = 0; k < kEnclosureSlots; ++k)
    {
        raeEnclosureType type = raeUnknown;
        if (!ApiOk(raEnclosureType(2 * k, &type)) || type == raeUnknown)
            continue;
        found.AppendTail(CreateDeviceObject(static_cast<unsigned long>(k), 0, 9));
        ++counter;
    }
    InitialProperty();
    SetPropertyInt("NumEnclosures", DT_P_READ | DT_P_VOLATILE, counter);
    PruneChildren(TYPE_SWAP_ENCLOSURE, found);
}
