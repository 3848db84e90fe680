#pragma once

#include "CRiver.h"

// Type numbers of the plug-in's objects, as the object drops carry them.
const int TYPE_ENCLOSURE_CHANNEL = 7;
const int TYPE_ROOT = 14;
const int TYPE_DEVICE = 16;
const int TYPE_SWAP_ENCLOSURE = 17;
const int TYPE_CHANNEL = 20;
const int TYPE_DISK = 21;
const int TYPE_ARRAY = 25;
const int TYPE_ADAPTER = 26;
const int TYPE_BATTERY_CHANNEL = 29;

// Notices to the agent folder bound to an object.
const unsigned long NOTICE_REMOVED = 8193;
const unsigned long NOTICE_CHANGED = 8194;

// Room for any size text.
const int SIZE_TEXT_LENGTH = 48;

// A river that stands for one hardware item and remembers its keys.
class CDevice : public CRiver
{
public:
    explicit CDevice(int type = TYPE_DEVICE) : m_I2ODeviceType(type) {}

    // Stores the keys, names the river and writes its properties and
    // methods; 1 on success, 0 when the river could not be named.
    virtual int Create(CDevice* parent, const char* name, unsigned long handle, unsigned long diskID,
                       unsigned long adapterID);
    virtual void OnClockTick();
    virtual int InitialMethod();
    virtual int InitialProperty();
    void OnRefresh() override;
    void Display() override;

    CDevice* FindDevice(const char* name);
    CDevice* FindDevice(unsigned long handle, int type);
    // The descendant that is target and has river type type, or null.
    CDevice* LocateChild(CDevice* target, int type);
    // The object of type type below this one that the identity number in
    // text names; null for a malformed number or anything else.
    CDevice* FindByIdentity(const char* text, int type);
    // Deletes the drop of every direct child of type type that keep does
    // not hold; the children lose this parent's reference.
    void PruneChildren(int type, const TPtrList<CDevice>& keep);
    // Runs OnClockTick of every direct child of type type.
    void TickChildren(int type);
    // Lists a newly made child when its Create succeeded (created), and
    // otherwise lets it go; the child, or null when it is not listed.
    CDevice* ListChild(CDevice* child, bool created);

    STATUS IssueNotification(unsigned long code) { return Fire_RAIDNotification(code); }

    // A size in 512-byte sectors as the objects show it.
    static void DiskSizeToBuffer(unsigned long sectors, char* buffer, int length);

    unsigned long GetHandle() const { return m_Handle; }
    unsigned long GetDiskID() const { return m_diskID; }
    unsigned long GetAdapterID() const { return m_adapterID; }
    int GetDeviceType() const { return m_I2ODeviceType; }

protected:
    ~CDevice() override = default;

    unsigned long m_Handle = 0;
    unsigned long m_diskID = 0;
    unsigned long m_adapterID = 0;
    int m_I2ODeviceType;
};
