#pragma once

#include "CDevice.h"
#include "CString.h"
#include "Raidapi.h"

// Activity markers of an array ("ThrottleStatus").
const unsigned long THROTTLE_RUNNING = 1;
const unsigned long THROTTLE_IDLE = 2;
const unsigned long THROTTLE_PAUSED = 4;

// A logical drive of an adapter, named by the name the driver stores; its
// key is the physical array number, its members are "disk%d" children.
class CArray : public CDevice
{
public:
    CArray() : CDevice(TYPE_ARRAY) {}

    using CDevice::Create;
    virtual int Create(CDevice* parent, const char* name, unsigned long logical, unsigned long adapterID);
    int InitialProperty() override;
    int InitialMethod() override;
    void OnRefresh() override;
    void OnClockTick() override;
    STATUS InvokeDispatch(const char* method, const char* args) override;
    // Only "name" is written, as a rename in the driver; the mode, the
    // geometry, the block size and the conversion modes are the driver's
    // and are not changed by a write.
    STATUS OnSetProperty(CDrop* drop, const char* value) override;

    unsigned long GetLogicalID() const { return m_logicid; }
    void SetLogicalID(unsigned long logical) { m_logicid = logical; }
    unsigned long GetRAIDMode() const { return m_RAIDmode; }
    // Publishes the activity marker that an action leaves.
    void SetThrottleStatus(raeIgnoreFix action);
    // The marker an action leaves: running, paused or idle.
    static unsigned long MarkerOfAction(raeIgnoreFix action);

protected:
    ~CArray() override = default;

private:
    // Reads the array's properties and members anew; false when its
    // adapter cannot be selected.
    bool Reread();
    // Lists the members the driver reports and removes those gone.
    void ScanMembers();
    CDevice* CreateDeviceObject(int diskNumber);
    bool ReadDescription();
    void WriteGeometry();
    void WriteStatus();
    void UpdateArrayStatus();
    // The member index of the disk object named by text, or -1.
    int MemberIndex(const char* text);

    // Whether the array is still listed and its adapter could be selected
    // again for a driver call.
    bool Reopen();
    STATUS OnRename(const char* args);
    STATUS RenameTo(const char* name);
    STATUS OnRebuildArray(const char* args);
    STATUS OnSyncArray(const char* args);
    STATUS OnCheckStatusDifference(const char* args);

    int m_DISKNUMBER = 0;
    unsigned long m_logicid = 0;
    unsigned long m_Percent = 0;
    unsigned long m_Status = 0;
    unsigned long m_ThrottleStatus = THROTTLE_IDLE;
    unsigned long m_Size = 0;
    unsigned long m_BlockSize = 4;
    unsigned long m_RAIDmode = static_cast<unsigned long>(-1);
    CString m_AvailMode;
    CString m_AryName;
};
