#include "CArray.h"

#include "CCommandArgs.h"
#include "CIDEDisk.h"
#include "PluginState.h"
#include "RaidModes.h"

#include <cstdio>
#include <cstring>

namespace
{
const unsigned long kStatusFunctional = 0;
const unsigned long kStatusCritical = 0x80000001;
const unsigned long kStatusOffline = 0x80000002;
const unsigned long kStatusSynchronising = 256;
const unsigned long kStatusRebuilding = 512;
const unsigned long kStatusConverting = 768;
const unsigned long kStatusInitialising = 1536;
const unsigned kVolatileRead = DT_P_READ | DT_P_VOLATILE;
const unsigned kReadWrite = DT_P_READ | DT_P_WRITE;
const unsigned kAnyRights = 0xF7FFFFFF;
const int kMaxMembers = 8;

// The status and marker an activity shows; false for no activity.
bool ActivityStatus(raeArrayActivityStatus activity, unsigned long& status, unsigned long& marker)
{
    static const unsigned long kStatus[] = {kStatusRebuilding,    kStatusSynchronising, kStatusConverting,
                                            kStatusInitialising,  kStatusRebuilding,    kStatusConverting,
                                            kStatusSynchronising, kStatusRebuilding};
    static const unsigned long kMarker[] = {THROTTLE_RUNNING, THROTTLE_RUNNING, THROTTLE_RUNNING,
                                            THROTTLE_RUNNING, THROTTLE_PAUSED,  THROTTLE_PAUSED,
                                            THROTTLE_PAUSED,  THROTTLE_RUNNING};
    if (activity < reArrayRebuilding || activity > reArrayEngineRebuilding)
        return false;
    status = kStatus[activity - 1];
    marker = kMarker[activity - 1];
    return true;
}

// The maintenance action of a method's code: 512 start, 1024 pause, 2048
// stop, 256 continue; false for any other code.
bool ActionOfCode(long code, raeIgnoreFix& action)
{
    switch (code)
    {
    case 512:
        action = raeStart;
        return true;
    case 1024:
        action = raePause;
        return true;
    case 2048:
        action = raeStop;
        return true;
    case 256:
        action = raeContinue;
        return true;
    default:
        return false;
    }
}
} // namespace

int CArray::Create(CDevice* parent, const char* name, unsigned long logical, unsigned long adapterID)
{
    m_adapterID = adapterID;
    if (!SelectAdapter(adapterID))
        return 0;
    m_logicid = logical;
    int physical = -1;
    if (!ApiOk(raMapLogicalToPhysicalArray(static_cast<int>(logical), &physical)))
        return 0;
    m_AryName = name;
    m_AvailMode = "0@1@2@3@4@5";
    if (!CDevice::Create(parent, name, static_cast<unsigned long>(physical), static_cast<unsigned long>(-1),
                         adapterID))
        return 0;
    ScanMembers();
    return 1;
}

bool CArray::ReadDescription()
{
    raeRaidMode mode = reRaidModeUnknown;
    ULONG size = 0;
    int block = 0;
    if (!SelectAdapter(m_adapterID) ||
        !ApiOk(raGetArrayDescription(static_cast<int>(m_logicid), &mode, &size, &block)))
        return false;
    m_RAIDmode = static_cast<unsigned long>(mode >= reRaidModeStriping && mode <= reRaidModeJBOD ? mode : -1);
    m_Size = size;
    m_BlockSize = static_cast<unsigned long>(block);
    return true;
}

int CArray::InitialProperty()
{
    // Without a description the old values stay rather than wrong ones.
    if (!ReadDescription())
        return 0;
    SetPropertyString("RAID_Mode", kReadWrite, "%s", RAIDModeDisplayText(static_cast<int>(m_RAIDmode)));
    WriteGeometry();
    SetPropertyString("name", kReadWrite, "%s", m_AryName.GetBuffer());
    SetPropertyString("Block Size", kReadWrite, "%lu (kb)", m_BlockSize / 2);
    char size[SIZE_TEXT_LENGTH];
    DiskSizeToBuffer(m_Size, size, sizeof size);
    SetPropertyString("Size", DT_P_READ, "%s", size);
    SetPropertyString("ConverMode", kReadWrite, "%s", m_AvailMode.GetBuffer());
    WriteStatus();
    return 1;
}

void CArray::WriteGeometry()
{
    rasArrayInfo info;
    if (!ApiOk(raGetArrayInfo(static_cast<int>(m_logicid), &info)))
        return;
    m_DISKNUMBER = static_cast<int>(info.NumberDisks);
    SetPropertyInt("Cyls", kReadWrite, info.NumberOfCylinders);
    SetPropertyInt("Heads", kReadWrite, info.NumberOfHeads);
    SetPropertyInt("Sectors", kReadWrite, info.SectorsPerTrack);
}

void CArray::WriteStatus()
{
    raeArrayFunctionalStatus functional;
    raeArrayActivityStatus activity;
    int percent = 0;
    if (!ApiOk(raGetArrayStatus(static_cast<int>(m_logicid), &functional, &activity, &percent)))
        return;
    unsigned long status = kStatusFunctional;
    unsigned long marker = THROTTLE_IDLE;
    if (functional == reArrayOffline)
        status = kStatusOffline;
    else
    {
        if (functional == reArrayCritical)
            status = kStatusCritical;
        bool running = ActivityStatus(activity, status, marker);
        m_Percent = running ? static_cast<unsigned long>(percent) : static_cast<unsigned long>(-1);
        SetPropertyInt("percent", kVolatileRead, static_cast<int>(m_Percent));
    }
    m_Status = status;
    m_ThrottleStatus = marker;
    SetPropertyInt("Status", kVolatileRead, static_cast<int>(m_Status));
    SetPropertyInt("ThrottleStatus", kVolatileRead, static_cast<int>(m_ThrottleStatus));
}

int CArray::InitialMethod()
{
    AddMethod("rename", 16);
    // Striping, span and JBOD have no redundancy to rebuild or check.
    bool redundant = m_RAIDmode != reRaidModeStriping && m_RAIDmode != reRaidModeSpan &&
                     m_RAIDmode != reRaidModeJBOD;
    if (redundant)
    {
        AddMethod("RebuildArray", kAnyRights);
        AddMethod("SyncArray", kAnyRights);
    }
    AddMethod("ForceIT", kAnyRights);
    return 1;
}

void CArray::ScanMembers()
{
    int count = 0;
    int disks[kMaxMembers];
    if (!SelectAdapter(m_adapterID) ||
        !ApiOk(raEnumerateDisksInArray(static_cast<int>(m_logicid), &count, disks)))
        return;
    TPtrList<CDevice> found;
    for (int i = 0; i < count && i < kMaxMembers; ++i)
        found.AppendTail(CreateDeviceObject(disks[i]));
    PruneChildren(TYPE_DISK, found);
}

CDevice* CArray::CreateDeviceObject(int diskNumber)
{
    char name[16];
    snprintf(name, sizeof name, "disk%d", diskNumber + 1);
    if (CDevice* disk = FindDevice(name))
    {
        disk->OnRefresh();
        disk->IssueNotification(NOTICE_CHANGED);
        return disk;
    }
    CIDEDisk* disk = new CIDEDisk;
    unsigned long number = static_cast<unsigned long>(diskNumber);
    return ListChild(disk, disk->Create(this, name, number / 2, number % 2, m_adapterID));
}

bool CArray::Reread()
{
    if (!SelectAdapter(m_adapterID))
        return false;
    CDevice::OnRefresh();
    ScanMembers();
    return true;
}

// A server's refresh counts the members anew too: the driver API tells a
// configuration change only once, so when another refresh read the tables
// first, no tick would ever bring the members in step.
void CArray::OnRefresh() { Reread(); }

void CArray::OnClockTick()
{
    if (Reread())
        IssueNotification(NOTICE_CHANGED);
}

unsigned long CArray::MarkerOfAction(raeIgnoreFix action)
{
    if (action == raePause)
        return THROTTLE_PAUSED;
    if (action == raeStop)
        return THROTTLE_IDLE;
    return THROTTLE_RUNNING;
}

void CArray::SetThrottleStatus(raeIgnoreFix action)
{
    m_ThrottleStatus = MarkerOfAction(action);
    SetPropertyInt("ThrottleStatus", kVolatileRead, static_cast<int>(m_ThrottleStatus));
}

// An array that its adapter no longer lists is gone from the driver.
bool CArray::Reopen() { return GetParent() && ReopenAdapter(m_adapterID); }

STATUS CArray::InvokeDispatch(const char* method, const char* args)
{
    if (!Reopen())
        return E_FAIL;
    if (strcmp(method, "rename") == 0)
        return OnRename(args);
    if (strcmp(method, "RebuildArray") == 0)
        return OnRebuildArray(args);
    if (strcmp(method, "SyncArray") == 0)
        return OnSyncArray(args);
    if (strcmp(method, "GUI_Status") == 0)
        return OnCheckStatusDifference(args);
    if (strcmp(method, "ConvArray") == 0)
        return S_OK;
    return E_FAIL;
}

STATUS CArray::OnSetProperty(CDrop* drop, const char* value)
{
    if (drop->GetName() != "name")
        return E_NOTIMPL;
    return Reopen() ? RenameTo(value) : E_FAIL;
}

// The method's argument "N/A" stands for the empty name.
STATUS CArray::OnRename(const char* args) { return RenameTo(strcmp(args, "N/A") == 0 ? "" : args); }

STATUS CArray::RenameTo(const char* name)
{
    // The name is shown in property texts whose fields "@" separates.
    if (strchr(name, '@'))
        return E_INVALIDARG;
    UCHAR* text = reinterpret_cast<UCHAR*>(const_cast<char*>(name));
    STATUS result = ApiResult(raRenameArray(m_logicid, text));
    if (result != S_OK)
        return result;
    m_AryName = name;
    SetPropertyString("name", kReadWrite, "%s", name);
    IssueNotification(NOTICE_CHANGED);
    return S_OK;
}

int CArray::MemberIndex(const char* text)
{
    // Looked up on the whole adapter: a failed member is no longer listed
    // below its array, only on its channel.
    CDevice* adapter = dynamic_cast<CDevice*>(GetParent());
    CIDEDisk* disk = adapter ? dynamic_cast<CIDEDisk*>(adapter->FindByIdentity(text, TYPE_DISK)) : nullptr;
    int count = 0;
    int disks[kMaxMembers];
    rasArrayInfo info;
    // The array's information first: it refreshes the tables that the
    // member slots are read from.
    if (!disk || !ApiOk(raGetArrayInfo(static_cast<int>(m_logicid), &info)) ||
        !ApiOk(raEnumerateArrayMembers(static_cast<int>(m_logicid), &count, disks, nullptr)))
        return -1;
    // Only a member, in place or failed, names its slot; any other disk
    // is refused, so that no request names a disk the driver would not
    // rebuild.
    for (int i = 0; i < count && i < kMaxMembers; ++i)
        if (disks[i] == disk->GetDiskNumber())
            return i;
    return -1;
}

STATUS CArray::OnRebuildArray(const char* args)
{
    CCommandArgs fields(args);
    long code = 0;
    raeIgnoreFix action = raeStart;
    if (!fields.Number(0, code) || !ActionOfCode(code, action) || fields.GetCount() > 2)
        return E_INVALIDARG;
    // Pause, stop and continue steer the rebuild that runs, whichever
    // member it is on; a start needs the member to rebuild.
    int member = 0;
    if (action == raeStart || fields.GetCount() == 2)
        member = MemberIndex(fields.Field(1));
    if (member < 0)
        return E_INVALIDARG;
    if (!ApiOk(raArrayRebuildDisk(static_cast<int>(m_logicid), member, action)))
        return E_FAIL;
    SetThrottleStatus(action);
    return S_OK;
}

STATUS CArray::OnSyncArray(const char* args)
{
    long code = 0;
    if (!ReadNumber(args, code))
        return E_INVALIDARG;
    raeIgnoreFix action = raeStart;
    // Any code but the three that steer a check starts one.
    if (!ActionOfCode(code, action))
        action = raeStart;
    if (!ApiOk(raArraySynchronize(static_cast<int>(m_logicid), action)))
        return E_FAIL;
    SetThrottleStatus(action);
    return S_OK;
}

STATUS CArray::OnCheckStatusDifference(const char*)
{
    UpdateArrayStatus();
    return S_OK;
}

void CArray::UpdateArrayStatus()
{
    WriteStatus();
    IssueNotification(NOTICE_CHANGED);
    ScanMembers();
}
