#include "CIDEChannel.h"

#include "CIDEDisk.h"

CDevice* CIDEChannel::CreateDeviceObject(unsigned long index, unsigned long channel, unsigned long adapter)
{
    const char* name = index == 0 ? "master" : "slave";
    if (CDevice* disk = FindDevice(name))
    {
        // The disk may have changed since it was read (failed, rebuilt).
        disk->OnRefresh();
        disk->IssueNotification(NOTICE_CHANGED);
        return disk;
    }
    CIDEDisk* disk = new CIDEDisk;
    return ListChild(disk, disk->Create(this, name, channel, index, adapter));
}
