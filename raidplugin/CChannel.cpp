#include "CChannel.h"

#include "PluginState.h"

namespace
{
const unsigned long kIdeChannels = 4;
const int kDisksPerChannel = 2;
} // namespace

int CChannel::Create(CDevice* parent, const char* name, unsigned long id, unsigned long adapterID)
{
    m_id = id;
    m_controllerID = adapterID;
    if (!CDevice::Create(parent, name, id, 0, adapterID))
        return 0;
    ScanChannel();
    return 1;
}

CDevice* CChannel::CreateDeviceObject(unsigned long, unsigned long, unsigned long) { return nullptr; }

void CChannel::ScanChannel()
{
    rasChannelInfo info;
    if (!SelectAdapter(m_controllerID) || m_id >= kIdeChannels ||
        !ApiOk(raGetChannelInfo(static_cast<int>(m_id), &info)))
        return;
    TPtrList<CDevice> found;
    if (info.NumberDisks < static_cast<ULONG>(m_MaxNumOfDevice))
    {
        // By position rather than by count: a channel whose master was
        // pulled still has its slave in the second place.
        for (int j = 0; j < kDisksPerChannel; ++j)
        {
            raeDeviceType type = reDeviceNone;
            int device = -1;
            if (ApiOk(raScanDevice(static_cast<int>(m_id), j, &type, &device)))
                found.AppendTail(CreateDeviceObject(static_cast<unsigned long>(j), m_id, m_controllerID));
        }
    }
    PruneChildren(TYPE_DISK, found);
}
