#include "CDevice.h"

#include "PluginState.h"

#include <cstdio>

int CDevice::Create(CDevice* parent, const char* name, unsigned long handle, unsigned long diskID,
                    unsigned long adapterID)
{
    m_Handle = handle;
    m_diskID = diskID;
    m_adapterID = adapterID;
    if (!Init(parent, name, m_I2ODeviceType))
        return 0;
    InitialProperty();
    InitialMethod();
    return 1;
}

void CDevice::OnClockTick() {}

int CDevice::InitialMethod() { return 1; }

int CDevice::InitialProperty() { return 1; }

void CDevice::OnRefresh()
{
    InitialMethod();
    InitialProperty();
}

void CDevice::Display()
{
    printf("The Device's content is:\n");
    printf("Name:\t\t%s\n", GetName().GetBuffer());
    printf("type:\t\t%d\n", m_I2ODeviceType);
    printf("Handle\t\t%lu\n", m_Handle);
    printf("diskID\t\t%lu\n", m_diskID);
    printf("adapterId\t%lu\n", m_adapterID);
    printf("----------------------------------------\n");
}

CDevice* CDevice::FindDevice(const char* name)
{
    CDrop* drop = FindDrop(name);
    if (!drop || !drop->IsObject())
        return nullptr;
    return dynamic_cast<CDevice*>(drop->GetChild());
}

CDevice* CDevice::FindDevice(unsigned long handle, int type)
{
    int pos = 1;
    CDrop* drop = nullptr;
    while (CRiver* river = GetNextRiver(pos, drop))
    {
        CDevice* child = dynamic_cast<CDevice*>(river);
        if (child && child->m_Handle == handle && child->m_I2ODeviceType == type)
            return child;
    }
    return nullptr;
}

CDevice* CDevice::LocateChild(CDevice* target, int type)
{
    int pos = 1;
    CDrop* drop = nullptr;
    while (CRiver* river = GetNextRiver(pos, drop))
    {
        CDevice* child = dynamic_cast<CDevice*>(river);
        if (!child)
            continue;
        if (child == target && child->GetType() == type)
            return child;
        if (CDevice* found = child->LocateChild(target, type))
            return found;
    }
    return nullptr;
}

CDevice* CDevice::FindByIdentity(const char* text, int type)
{
    long identity = 0;
    if (!ReadNumber(text, identity) || identity <= 0 || identity > 0x7FFFFFFF)
        return nullptr;
    CDevice* target = dynamic_cast<CDevice*>(FromIdentity(static_cast<int>(identity)));
    return target ? LocateChild(target, type) : nullptr;
}

void CDevice::PruneChildren(int type, const TPtrList<CDevice>& keep)
{
    int pos = 1;
    CDrop* drop = nullptr;
    while (CRiver* river = GetNextRiver(pos, drop))
    {
        CDevice* child = dynamic_cast<CDevice*>(river);
        if (!child || child->m_I2ODeviceType != type || keep.Find(child))
            continue;
        bool last = pos < 0;
        DeleteDrop(drop);
        if (last)
            break;
        // The walk goes on from the drop that took the deleted one's place.
        --pos;
    }
}

void CDevice::TickChildren(int type)
{
    int pos = 1;
    CDrop* drop = nullptr;
    while (CRiver* river = GetNextRiver(pos, drop))
    {
        CDevice* child = dynamic_cast<CDevice*>(river);
        if (child && child->m_I2ODeviceType == type)
            child->OnClockTick();
    }
}

CDevice* CDevice::ListChild(CDevice* child, bool created)
{
    // Held for the moment, so a child that is not listed is destroyed here.
    child->AddRef();
    bool listed = created && AddRiver(child);
    child->Release();
    return listed ? child : nullptr;
}

void CDevice::DiskSizeToBuffer(unsigned long sectors, char* buffer, int length)
{
    const unsigned long gb = sectors / 0x200000;
    const unsigned long mb = sectors / 2048;
    const unsigned long gbThousandths = (sectors % 0x200000) / 2048 * 1000 / 1024;
    const unsigned long mbThousandths = (sectors % 2048) / 2 * 1000 / 1024;
    if (sectors > 0x13FFFFF)
        snprintf(buffer, length, "%lu.%03lu GB", gb, gbThousandths);
    else if (sectors > 0x1FFFFF)
        snprintf(buffer, length, "%lu.%03lu GB (%lu MB)", gb, gbThousandths, mb);
    else if (sectors > 0x4FFF)
        snprintf(buffer, length, "%lu MB", mb);
    else if (sectors > 0x7FF)
        snprintf(buffer, length, "%lu.%3lu MB", mb, mbThousandths);
    else
        snprintf(buffer, length, "%lu KB", sectors / 2);
}
