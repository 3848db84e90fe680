#include "Morliven.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char kProcDevices[] = "/proc/devices";
const char kDeviceNode[] = "/dev/zeldev";
const char kDriverName[] = "zel_st";
const mode_t kNodeMode = 0x61A4; // block special, 0644

// "/proc/devices" lines are read into a buffer of this size; the major
// number must sit in the first kNumberBuffer - 1 characters of its line.
const int kLineBuffer = 100;
const int kNumberBuffer = 10;
const int kMajorDigits = 3;
const int kWorkBuffer = 50;

const UINT kMinMajor = 1;
const UINT kMinMinor = 11;
const UCHAR kNoAnswer = 255;
const ULONG kBiosMemRange = 0xFFFF;
const USHORT kDeviceIdQV7K = 0x6621;
const USHORT kDeviceIdQ150 = 0x6622;
const USHORT kLba48Bits = (1 << 14) | (1 << 10);
const ULONG kMaxChsCylinders = 16382;

bool IsActivity(int status)
{
    return status == AS_ENGINE_REBUILD || status == AS_REBUILD || status == AS_SYNC ||
           status == AS_EXPAND || status == AS_RAID5_INIT;
}

// Copies a driver text of a fixed width and guarantees its terminator.
void CopyText(char* dest, const void* src, size_t width)
{
    memcpy(dest, src, width - 1);
    dest[width - 1] = '\0';
}

// Disk-table entries of the adapters the driver reports; never more than
// the table holds, whatever the driver's count.
ULONG DiskSlots(ULONG adapters)
{
    return (adapters < ULONG(MAX_ADAPTERS) ? adapters : ULONG(MAX_ADAPTERS)) * DISKS_PER_ADAPTER;
}

int BitCount(const block* blocks, int n, BoOL bit)
{
    int count = 0;
    for (int i = 0; i < n; i++)
        if (blocks[i].blFlag & bit)
            count++;
    return count;
}
} // namespace

Morliven mvs[MAX_ADAPTERS] = {Morliven(0), Morliven(1)};
Morliven* theMorliven = nullptr;

Morliven::Morliven(int adapterid) : AdapterId(adapterid)
{
    memset(&m_mvNotification, 0, sizeof(m_mvNotification));
    m_percentage = 0;
    m_bUtilityStop = 1;
    m_prilangid = 0;
    m_sublangid = 0;
    m_bError = 0;
    Initialize();
}

Morliven::~Morliven()
{
    ExitInstance();
    theMorlivenIsExit = 0;
}

ULONG Morliven::Initialize()
{
    m_ulFlag = 0;
    m_hUtilityThread = 0;
    m_errno = 0;
    theMorlivenIsExit = 1;
    memset(ArrayDef, 0, sizeof(ArrayDef));
    memset(TavrineAdapter, 0, sizeof(TavrineAdapter));
    memset(blkDisk, 0, sizeof(blkDisk));
    memset(blkDisk2, 0, sizeof(blkDisk2));
    memset(m_as, 0, sizeof(m_as));
    NumOfArray = UNKNOWN_COUNT;
    NumOfController = UNKNOWN_COUNT;
    NumOfDiskBlock = UNKNOWN_COUNT;
    m_iMaintArray = -1;
    m_iMaintActivity = 0;
    // The enclosure caches start unknown whether or not the driver answers.
    for (int a = 0; a < MAX_ADAPTERS; a++)
        for (int d = 0; d < DISKS_PER_ADAPTER; d++)
        {
            m_EncType[a][d] = -1;
            m_EncPowerStatus[a][d] = -1;
        }
    HANDLE h = OpenMorliven();
    if (h == -1)
    {
        m_ulFlag |= FLAG_NO_DRIVER;
        return 0;
    }
    NumOfArray = RetryUnknown(&Morliven::GetArrays, h);
    NumOfController = RetryUnknown(&Morliven::GetControllers, h);
    NumOfDiskBlock = RetryUnknown(&Morliven::GetDiskBlocks, h);
    CloseMorliven(h);
    CheckError();
    return 1;
}

ULONG Morliven::RetryUnknown(ULONG (Morliven::*reader)(HANDLE), HANDLE h)
{
    ULONG n = (this->*reader)(h);
    return n == UNKNOWN_COUNT ? (this->*reader)(h) : n;
}

ULONG Morliven::ExitInstance()
{
    StopUtility();
    return 1;
}

BOOL Morliven::StopUtility()
{
    return 1;
}

bool Morliven::IsKnownAdapter() const
{
    return AdapterId == 0 || AdapterId == 1;
}

// The driver's major number from its "/proc/devices" line, or -1.  A line
// too long for the line buffer, or one whose name sits beyond the number
// buffer, cannot be the driver's.
int Morliven::FindDriverMajor()
{
    FILE* f = fopen(kProcDevices, "r");
    if (!f)
        return -1;
    char line[kLineBuffer];
    int len = 0;
    bool overlong = false;
    const char* found = nullptr;
    for (;;)
    {
        int c = fgetc(f);
        bool end = c == EOF || c == 0xFF;
        if (end || c == '\n')
        {
            line[len] = '\0';
            if (!overlong)
                found = strstr(line, kDriverName);
            if (found || end)
                break;
            len = 0;
            overlong = false;
            continue;
        }
        if (len < kLineBuffer - 1)
            line[len++] = static_cast<char>(c);
        else
            overlong = true;
    }
    int major = -1;
    if (found && found - line < kNumberBuffer)
    {
        char number[kNumberBuffer];
        memcpy(number, line, found - line);
        number[found - line] = '\0';
        major = AscToInt(number, kMajorDigits);
    }
    fclose(f);
    return major;
}

// Whether the device node is the driver's: a block special file of the
// driver's device number with the permissions 0644.
static bool NodeIsRight(dev_t dev)
{
    struct stat st;
    return lstat(kDeviceNode, &st) == 0 && st.st_mode == kNodeMode && st.st_rdev == dev;
}

// Makes the node beside its place and renames it in.  The name never
// stands empty, so another program's open at the same moment finds a
// node, and a right node is only ever replaced by another right one.
static void PutNode(dev_t dev)
{
    char aside[sizeof(kDeviceNode) + 24];
    snprintf(aside, sizeof(aside), "%s.%ld", kDeviceNode, static_cast<long>(getpid()));
    unlink(aside); // left behind by an earlier program of this number
    if (mknod(aside, kNodeMode, dev) != 0)
        return;
    // Whatever the file-creation mask took from the permissions.
    if (chmod(aside, kNodeMode & 07777) != 0 || rename(aside, kDeviceNode) != 0)
        unlink(aside);
}

HANDLE Morliven::OpenMorliven()
{
    if (!IsKnownAdapter())
        return -1;
    int major = FindDriverMajor();
    if (major <= 0)
        return -1;
    dev_t dev = static_cast<dev_t>(static_cast<int64_t>(static_cast<int32_t>(major << 8)));
    // Every program that uses the library shares the node: it is made only
    // when it is missing or wrong.
    if (!NodeIsRight(dev))
        PutNode(dev);
    int fd = open(kDeviceNode, O_RDWR);
    if (fd < 0)
    {
        printf("Fail to open Morliven card!!!\n");
        return -1;
    }
    return fd;
}

BOOL Morliven::MorlivenIoControl(HANDLE h, INT Request, LPVOID SrbBuffer)
{
    if (h == -1)
        return 0;
    return ioctl(h, static_cast<unsigned long>(Request), SrbBuffer);
}

BOOL Morliven::CloseMorliven(HANDLE h)
{
    return close(h);
}

bool Morliven::Request(INT code, void* frame, int* result)
{
    HANDLE h = OpenMorliven();
    if (h == -1)
        return false;
    int r = MorlivenIoControl(h, code, frame);
    if (result)
        *result = r;
    CloseMorliven(h);
    return true;
}

UINT Morliven::IsValid(char* strErr)
{
    HANDLE h = OpenMorliven();
    if (h == -1)
        m_errno = ERR_DRIVER_NOT_FOUND;
    if (m_errno == ERR_VERSION_MISMATCH)
    {
        sprintf(strErr, "This version of Orbelle utility require driver version %i.%i ", kMinMajor, kMinMinor);
        strcat(strErr, "or later.");
    }
    else if (m_errno == ERR_DRIVER_NOT_FOUND)
        strcpy(strErr, "Morliven controller or driver not found.");
    if (h != -1)
        CloseMorliven(h);
    return m_errno;
}

UINT Morliven::CheckVersion(HANDLE h)
{
    StructNUMBER n = {RC_PRESET};
    MorlivenIoControl(h, IOCTL_VERSION, &n);
    if (n.number == RC_PRESET)
        return m_errno = ERR_DRIVER_NOT_FOUND;
    UINT major = n.number & 0xFFFF;
    UINT minor = (n.number >> 16) & 0xFF;
    bool recent = major > kMinMajor || (major == kMinMajor && minor >= kMinMinor);
    return m_errno = recent ? 0 : ERR_VERSION_MISMATCH;
}

BOOL Morliven::GetDriverVersion(char* version, char* timestamp)
{
    strcpy(version, "UNKNOWN");
    strcpy(timestamp, "UNKNOWN");
    // Zeroed so that the driver never mistakes it for the all-ones word of
    // the version check.
    StrDriverVersion v;
    memset(&v, 0, sizeof(v));
    if (!Request(IOCTL_VERSION, &v, nullptr))
        return 0;
    if (v.version_length == 0 || v.timestamp_length == 0)
        return 0;
    ULONG vl = v.version_length < VERSION_TEXT_LENGTH ? v.version_length : VERSION_TEXT_LENGTH;
    ULONG tl = v.timestamp_length < VERSION_TEXT_LENGTH ? v.timestamp_length : VERSION_TEXT_LENGTH;
    // Terminated here: a version shorter than "UNKNOWN" would otherwise
    // keep that word's tail.
    memcpy(version, v.version, vl);
    version[vl] = '\0';
    memcpy(timestamp, v.timestamp, tl);
    timestamp[tl] = '\0';
    return 1;
}

int Morliven::AscToInt(const char* buff, int length)
{
    size_t n = strnlen(buff, kWorkBuffer);
    if (length >= 0 && static_cast<size_t>(length) < n)
        n = length;
    if (n >= static_cast<size_t>(kWorkBuffer))
        return -1;
    char work[kWorkBuffer];
    memcpy(work, buff, n);
    work[n] = '\0';
    unsigned long value = 0;
    for (size_t i = 0; i < n; i++)
    {
        if (work[i] < '0' || work[i] > '9')
            return -1;
        value = value * 10 + (work[i] - '0');
        if (value > 0x7FFFFFFF)
            return -1;
    }
    return static_cast<int>(value);
}

ULONG Morliven::GetArrays(HANDLE h)
{
    if (!IsKnownAdapter())
        return UNKNOWN_COUNT;
    IOCTL_ARRAYS_FRAME f;
    memset(&f, 0, sizeof(f));
    MorlivenIoControl(h, IOCTL_GET_ARRAYS, &f);
    if (f.ReturnCode != RC_DONE)
        return UNKNOWN_COUNT;
    memcpy(ArrayDef, &f.Arrays[AdapterId * ARRAYS_PER_ADAPTER], sizeof(ArrayDef));
    ULONG count = 0;
    for (const array& a : ArrayDef)
        if (a.blFlag & ARRAY_DEFINED)
            count++;
    return count;
}

ULONG Morliven::GetNumOfController(HANDLE h)
{
    StructNUMBER n = {0};
    MorlivenIoControl(h, IOCTL_NUM_CONTROLLER, &n);
    return n.number;
}

ULONG Morliven::GetControllers(HANDLE h)
{
    ULONG n = GetNumOfController(h);
    if (n == UNKNOWN_COUNT)
        return n;
    ULONG count = 0;
    for (ULONG i = 0; i < n && i < MAX_ADAPTERS; i++)
    {
        IOCTL_CONTROLLER_FRAME f;
        memset(&f, 0, sizeof(f));
        f.Adapterindex = i;
        MorlivenIoControl(h, IOCTL_GET_CONTROLLER, &f);
        TavrineAdapter[i] = f.Adapter;
        if (f.ReturnCode == RC_CONTROLLER)
            count++;
    }
    return count;
}

ULONG Morliven::GetDiskBlocks(HANDLE h)
{
    IOCTL_DISKBLOCKS_FRAME f;
    memset(&f, 0, sizeof(f));
    MorlivenIoControl(h, IOCTL_GET_DISKBLOCKS, &f);
    for (block& b : blkDisk)
        b.blFlag &= ~BLK_PRESENT;
    ULONG adapters = GetNumOfController(h);
    if (adapters == UNKNOWN_COUNT || f.ReturnCode != RC_DISKBLOCKS)
        return UNKNOWN_COUNT;
    ULONG n = DiskSlots(adapters);
    for (ULONG i = 0; i < n; i++)
    {
        block& b = f.Blocks[i];
        bool other = (AdapterId == 0 && b.bCh >= CHANNELS_PER_ADAPTER) ||
                     (AdapterId == 1 && b.bCh < CHANNELS_PER_ADAPTER);
        if (other)
            b.blFlag &= ~BLK_PRESENT;
        blkDisk[i] = b;
    }
    return BitCount(blkDisk, MAX_DISKS, BLK_PRESENT);
}

ULONG Morliven::GetNumOfArray()
{
    return (m_ulFlag & FLAG_NO_DRIVER) || NumOfArray == UNKNOWN_COUNT ? 0 : NumOfArray;
}

ULONG Morliven::GetNumOfController()
{
    return (m_ulFlag & FLAG_NO_DRIVER) || NumOfController == UNKNOWN_COUNT ? 0 : NumOfController;
}

ULONG Morliven::GetNumOfDiskBlock()
{
    return (m_ulFlag & FLAG_NO_DRIVER) || NumOfDiskBlock == UNKNOWN_COUNT ? 0 : NumOfDiskBlock;
}

ULONG Morliven::GetNumOfArray(HANDLE h)
{
    if (h != -1)
        return GetArrays(h);
    if (m_ulFlag & FLAG_NO_DRIVER)
        return UNKNOWN_COUNT;
    ULONG count = 0;
    for (const array& a : ArrayDef)
        if (a.blFlag & ARRAY_DEFINED)
            count++;
    return count;
}

ULONG Morliven::GetNumOfDiskBlock(HANDLE h)
{
    if (h != -1)
        return GetDiskBlocks(h);
    if (m_ulFlag & FLAG_NO_DRIVER)
        return UNKNOWN_COUNT;
    return BitCount(blkDisk, MAX_DISKS, BLK_PRESENT);
}

static RAID_TYPE RaidType(const array& a)
{
    switch (a.blRAID)
    {
    case RAID_STRIPING:
        return STRIP_ARRAY;
    case RAID_MIRRORING:
        return a.bWidth < 4 ? MIRROR_ARRAY : STRIPMIRROR_ARRAY;
    case RAID_PARITY:
        return PARITY_ARRAY;
    case RAID_DISTRIBUTED_PARITY:
        return PARITYDISTRIBUTED_ARRAY;
    case RAID_SPANNING:
        return SPAN_ARRAY;
    case RAID_JBOD:
        return JBOD_ARRAY;
    default:
        return UNKNOWN_ARRAY;
    }
}

ULONG Morliven::GetArray(ULONG index, tagARRAYINFO* info)
{
    memset(info, 0, sizeof(*info));
    if ((m_ulFlag & FLAG_NO_DRIVER) || index >= ARRAYS_PER_ADAPTER)
        return 0;
    const array& a = ArrayDef[index];
    for (const strm& s : a.Strm)
        if ((s.blFlag & (STRM_VALID | STRM_ONLINE)) == (STRM_VALID | STRM_ONLINE))
            info->Strm[info->NumberDisks++] = s;
    CopyText(info->Name, a.Name, sizeof(info->Name));
    info->Status = (a.blFlag & ARRAY_ONLINE) == ARRAY_ONLINE ? ARRAY_STATUS_ONLINE : ARRAY_STATUS_OFFLINE;
    info->RAID = RaidType(a);
    info->blFlag = a.blFlag;
    info->bWidth = a.bWidth;
    info->bLogicalWidth = a.bLogicalWidth;
    info->hStripeBlockSize = a.hStripeBlockSize;
    info->NumberOfCylinders = static_cast<USHORT>(a.hCyl + 1);
    info->NumberOfHeads = static_cast<USHORT>(a.bHd + 1);
    info->SectorsPerTrack = a.bSctr;
    info->ulSize = static_cast<UINT64>(static_cast<uint32_t>(info->NumberOfCylinders) * info->NumberOfHeads *
                                       info->SectorsPerTrack);
    return 1;
}

ULONG Morliven::GetArrayId(int* ids)
{
    int n = 0;
    for (int i = 0; i < ARRAYS_PER_ADAPTER; i++)
        if (ArrayDef[i].blFlag & ARRAY_DEFINED)
            ids[n++] = i;
    return 1;
}

ULONG Morliven::GetController(ULONG index, tagCONTROLLERINFO* info)
{
    memset(info, 0, sizeof(*info));
    if (NumOfController == UNKNOWN_COUNT || index >= NumOfController || index >= MAX_ADAPTERS)
        return 0;
    const _HW_ADAPTER_EXTENSION& a = TavrineAdapter[index];
    snprintf(info->Name, sizeof(info->Name), "Morliven %i", static_cast<int>(index + 1));
    info->NumberChannels = a.NumberChannels;
    info->BusMasterBase = a.BusMasterBase;
    info->IRQ = a.InterruptLine;
    info->SlotNumber = a.lSlotNum;
    info->BIOSMemStart = a.ExpansionROM;
    info->BIOSMemRange = kBiosMemRange;
    return 1;
}

ULONG Morliven::GetChannel(ULONG channel, tagCHANNELINFO* info)
{
    memset(info, 0, sizeof(*info));
    if (NumOfController == UNKNOWN_COUNT || !IsKnownAdapter() || static_cast<ULONG>(AdapterId) >= NumOfController ||
        channel >= CHANNELS_PER_ADAPTER || (m_ulFlag & FLAG_NO_DRIVER))
        return 0;
    const _HW_ADAPTER_EXTENSION& a = TavrineAdapter[AdapterId];
    snprintf(info->Name, sizeof(info->Name), "%s %ld", "", static_cast<long>(channel + 1));
    info->NumberDisks = (a.DevicePresent[channel * 2] != 0) + (a.DevicePresent[channel * 2 + 1] != 0);
    info->Status = info->NumberDisks ? CHANNEL_STATUS_DISKS : CHANNEL_STATUS_EMPTY;
    // The record holds the register blocks of two channels; the others
    // share the last one.
    ULONG block = channel < 2 ? channel : 1;
    info->BaseIoAddress1 = a.BaseIoAddress1[block];
    info->BaseIoAddress2 = a.BaseIoAddress2[block];
    info->LogicalChannelNumber = channel;
    return 1;
}

ULONG Morliven::GlobalChannelBase(ULONG adapter) const
{
    ULONG base = 0;
    for (ULONG i = 0; i < adapter; i++)
        base += TavrineAdapter[i].NumberChannels;
    return base;
}

int Morliven::FindDiskIndex(ULONG globalChannel, ULONG device) const
{
    for (int i = 0; i < MAX_DISKS; i++)
    {
        const block& b = blkDisk[i];
        if ((b.blFlag & BLK_PRESENT) && b.bCh == globalChannel && (b.bID & 1U) == device)
            return i;
    }
    return -1;
}

void Morliven::FindMembership(int disk, tagDISKBLOCKINFO* info) const
{
    const BoOL usable = BLK_PRESENT | BLK_USABLE;
    bool diskUsable = (blkDisk[disk].blFlag & usable) == usable;
    for (int a = 0; a < ARRAYS_PER_ADAPTER; a++)
        for (const strm& s : ArrayDef[a].Strm)
            if (s.blFlag && s.bIndex == disk && ((s.blFlag & STRM_VALID) || !diskUsable))
            {
                info->bArray = static_cast<BYTE>(a);
                info->bStrmFlag = s.blFlag;
                return;
            }
    info->bArray = DISK_NO_ARRAY;
    info->bStrmFlag = 0;
}

static void FillGeometry(const _IDENTIFY_DATA2& id, tagDISKBLOCKINFO* info)
{
    ULONG cyls = id.cyls;
    ULONG heads = id.heads;
    ULONG sectors = id.sectors;
    if (cyls > kMaxChsCylinders && heads && sectors)
    {
        ULONG capacity = (id.UDMACommandSupport2 & kLba48Bits) == kLba48Bits
                             ? id.max_48LBA[0] | (static_cast<ULONG>(id.max_48LBA[1]) << 16)
                             : id.lba_capacity;
        cyls = capacity / heads / sectors;
    }
    info->NumberOfCylinders = cyls;
    info->NumberOfHeads = static_cast<USHORT>(heads);
    info->SectorsPerTrack = static_cast<USHORT>(sectors);
    info->wSize = static_cast<UINT64>(sectors * heads * cyls);
}

static void FillTransfer(const _IDENTIFY_DATA2& id, tagDISKBLOCKINFO* info)
{
    if (id.dma_mword & (1 << 10))
        info->DmaCycleTimingMode = 2;
    else if (id.dma_mword & (1 << 9))
        info->DmaCycleTimingMode = 1;
    info->UDMAMode = 0;
    for (int bit = 13; bit >= 9; bit--)
        if (id.dma_ultra & (1 << bit))
        {
            info->UDMAMode = static_cast<USHORT>(bit - 8);
            break;
        }
    info->Capabilities = id.capability;
    info->ValidBit = id.field_valid;
}

ULONG Morliven::GetDiskBlock(ULONG channel, ULONG device, tagDISKBLOCKINFO* info, ULONG adapter)
{
    if (adapter == THIS_ADAPTER)
        adapter = static_cast<ULONG>(AdapterId);
    memset(info, 0, sizeof(*info));
    if ((m_ulFlag & FLAG_NO_DRIVER) || NumOfController == UNKNOWN_COUNT || adapter >= NumOfController ||
        adapter >= MAX_ADAPTERS || channel >= CHANNELS_PER_ADAPTER || device >= 2)
        return 0;
    const _IDENTIFY_DATA2& id = TavrineAdapter[adapter].IdentifyData[channel * 2 + device];
    memcpy(info->Name, id.model, sizeof(info->Name));
    SwapEndianStr(info->Name, sizeof(info->Name));
    // The field has no room for a terminator after a full-width model.
    info->Name[sizeof(info->Name) - 1] = '\0';
    for (int i = sizeof(info->Name) - 2; i >= 0 && (info->Name[i] == ' ' || info->Name[i] == '\0'); i--)
        info->Name[i] = '\0';
    int disk = FindDiskIndex(GlobalChannelBase(adapter) + channel, device);
    if (disk < 0)
        return 0;
    FindMembership(disk, info);
    info->bBlkFlag = blkDisk[disk].blFlag;
    BoOL f = info->bBlkFlag & (BLK_PRESENT | BLK_USABLE | BLK_MEMBER);
    if (f == (BLK_PRESENT | BLK_USABLE))
        info->Status = DISK_STATUS_FREE;
    else if (f == (BLK_PRESENT | BLK_USABLE | BLK_MEMBER))
        info->Status = DISK_STATUS_MEMBER;
    else
        info->Status = DISK_STATUS_UNUSABLE;
    FillGeometry(id, info);
    FillTransfer(id, info);
    info->bAdapter = static_cast<BYTE>(adapter);
    info->bCh = static_cast<BYTE>(channel);
    info->bID = static_cast<BYTE>(device);
    return 1;
}

ULONG Morliven::GetDiskBlock(ULONG index, tagDISKBLOCKINFO* info)
{
    memset(info, 0, sizeof(*info));
    if (NumOfController == UNKNOWN_COUNT || index >= MAX_DISKS || !(blkDisk[index].blFlag & BLK_PRESENT))
        return 0;
    ULONG channel = blkDisk[index].bCh;
    for (ULONG a = 0; a < NumOfController && a < MAX_ADAPTERS; a++)
    {
        if (channel < TavrineAdapter[a].NumberChannels)
            return GetDiskBlock(channel, blkDisk[index].bID & 1U, info, a);
        channel -= TavrineAdapter[a].NumberChannels;
    }
    return 0;
}

ULONG Morliven::GetDiskBlock(ULONG arrayIndex, ULONG member, tagDISKBLOCKINFO* info)
{
    memset(info, 0, sizeof(*info));
    if ((m_ulFlag & FLAG_NO_DRIVER) || arrayIndex >= ARRAYS_PER_ADAPTER || member >= MAX_MEMBERS)
        return 0;
    tagARRAYINFO ai;
    GetArray(arrayIndex, &ai);
    const strm& slot = ai.Strm[member];
    if (!(slot.blFlag & STRM_MISSING) && member < ai.NumberDisks)
        return GetDiskBlock(slot.bIndex, info);
    GetDiskBlock(slot.bIndex, info);
    info->Status = DISK_STATUS_UNUSABLE;
    strcpy(info->Name, "???");
    return 0;
}

char* Morliven::GetDiskBlockString(ULONG index)
{
    static char text[128];
    if (index >= MAX_DISKS)
    {
        text[0] = '\0';
        return text;
    }
    tagDISKBLOCKINFO info;
    GetDiskBlock(index, &info);
    snprintf(text, sizeof(text), "%s (%s %d, %s)", info.Name, "", info.bCh + 1, "");
    return text;
}

BOOL Morliven::SwapEndianStr(LPSTR String, ULONG Length)
{
    for (ULONG i = 0; i + 1 < Length; i += 2)
    {
        char c = String[i];
        String[i] = String[i + 1];
        String[i + 1] = c;
    }
    return 1;
}

ULONG Morliven::UpdateMorlivenInfo()
{
    memcpy(blkDisk2, blkDisk, sizeof(blkDisk));
    HANDLE h = OpenMorliven();
    if (h == -1)
        return 0;
    // A driver that is there again makes the tables trustworthy again.
    m_ulFlag &= ~FLAG_NO_DRIVER;
    NumOfDiskBlock = GetDiskBlocks(h);
    ULONG changed = 0;
    for (int i = 0; i < MAX_DISKS && !changed; i++)
        if (memcmp(&blkDisk[i], &blkDisk2[i], 4) != 0)
            changed = 1;
    NumOfArray = GetArrays(h);
    CheckError();
    NumOfController = GetControllers(h);
    CloseMorliven(h);
    return changed;
}

BOOL Morliven::CheckError()
{
    for (ULONG i = 0; i < ARRAYS_PER_ADAPTER; i++)
    {
        if (!(ArrayDef[i].blFlag & ARRAY_DEFINED))
            continue;
        tagARRAYINFO ai;
        GetArray(i, &ai);
        if ((ai.blFlag & 0x1F) != ARRAY_HEALTHY)
            return m_bError = 1;
    }
    ULONG adapters = GetNumOfController();
    ULONG disks = DiskSlots(adapters);
    for (ULONG i = 0; i < disks; i++)
    {
        if (!(blkDisk[i].blFlag & BLK_PRESENT))
            continue;
        tagDISKBLOCKINFO di;
        GetDiskBlock(i, &di);
        if (di.bBlkFlag > 15)
            return m_bError = 1;
    }
    return m_bError = 0;
}

BOOL Morliven::UpdateArrayStatus(HANDLE)
{
    IOCTL_ARRAYSTATUS_FRAME f;
    memset(&f, 0, sizeof(f));
    if (!IsKnownAdapter() || !Request(IOCTL_ARRAY_STATUS, &f, nullptr))
        return 0;
    BOOL result = 0;
    const _tagArrayStatus* news = &f.Status[AdapterId * ARRAYS_PER_ADAPTER];
    for (int i = 0; i < ARRAYS_PER_ADAPTER; i++)
    {
        const _tagArrayStatus& n = news[i];
        if (memcmp(&n, &m_as[i], sizeof(n)) == 0)
            continue;
        if (n.status != m_as[i].status)
            result = 2;
        m_as[i].status = n.status;
        m_as[i].percentage = n.percentage;
        int status = static_cast<UCHAR>(n.status);
        if (IsActivity(status))
        {
            m_iMaintArray = i;
            m_iMaintActivity = status;
            if (n.percentage != m_percentage || m_percentage == 0)
            {
                m_percentage = n.percentage;
                if (result < 1)
                    result = 1;
            }
            continue;
        }
        if (i == m_iMaintArray && m_iMaintActivity)
        {
            m_iMaintArray = -1;
            m_iMaintActivity = 0;
            result = 2;
        }
        m_as[i] = n;
    }
    return result;
}

BOOL Morliven::GetArrayStatus(ULONG index, PARRAYSTATUS pAs)
{
    if (index >= ARRAYS_PER_ADAPTER)
        return kNoAnswer;
    if (pAs)
        *pAs = m_as[index];
    return static_cast<signed char>(m_as[index].status);
}

BOOL Morliven::GetNotifyData()
{
    HANDLE h = OpenMorliven();
    if (h == -1)
    {
        m_ulFlag |= FLAG_NO_DRIVER;
        return 0;
    }
    m_ulFlag &= ~FLAG_NO_DRIVER;
    MORLIVENNOTIFICATION n;
    memset(&n, 0, sizeof(n));
    MorlivenIoControl(h, IOCTL_NOTIFY, &n);
    BOOL news = n.NotifyType != NOTIFY_NONE;
    if (news)
    {
        m_mvNotification = n;
        if (n.NotifyType == NOTIFY_HOT_PLUG)
        {
            NumOfController = RetryUnknown(&Morliven::GetControllers, h);
            NumOfDiskBlock = RetryUnknown(&Morliven::GetDiskBlocks, h);
            CheckError();
        }
    }
    CloseMorliven(h);
    return news;
}

BOOL Morliven::GetLastNotifyData(PMORLIVENNOTIFICATION pNotification)
{
    *pNotification = m_mvNotification;
    return 1;
}

UCHAR Morliven::GetByteSetting(INT code)
{
    StructNUMBER n = {RC_PRESET};
    if (!Request(code, &n, nullptr))
        return kNoAnswer;
    return static_cast<UCHAR>(n.number & 0xFF);
}

UCHAR Morliven::PutByteSetting(INT code, UCHAR value)
{
    IOCTL_VALUE_FRAME f = {RC_PRESET, value};
    return Request(code, &f, nullptr) ? 1 : kNoAnswer;
}

UCHAR Morliven::GetMaintenanceLength()
{
    return GetByteSetting(IOCTL_GET_MAINTENANCE_LENGTH);
}

UCHAR Morliven::PutMaintenanceLength(UCHAR length)
{
    return PutByteSetting(IOCTL_PUT_MAINTENANCE_LENGTH, length);
}

UCHAR Morliven::GetChannelThreshold()
{
    return GetByteSetting(IOCTL_GET_CHANNEL_THRESHOLD);
}

UCHAR Morliven::PutChannelThreshold(UCHAR threshold)
{
    return PutByteSetting(IOCTL_PUT_CHANNEL_THRESHOLD, threshold);
}

UCHAR Morliven::GetOriginalChannelCount()
{
    return GetByteSetting(IOCTL_GET_ORIGINAL_CHANNEL_COUNT);
}

UCHAR Morliven::PutOriginalChannelCount(UCHAR count)
{
    return PutByteSetting(IOCTL_PUT_ORIGINAL_CHANNEL_COUNT, count);
}

ULONG Morliven::GetWordSetting(INT code, ULONG noDriver)
{
    ULONG rc = RC_PRESET;
    return Request(code, &rc, nullptr) ? rc : noDriver;
}

ULONG Morliven::SetWordSetting(INT code, ULONG value, ULONG noDriver)
{
    IOCTL_VALUE_FRAME f = {RC_PRESET, value};
    return Request(code, &f, nullptr) ? f.ReturnCode : noDriver;
}

ULONG Morliven::GetReadThreshold()
{
    return GetWordSetting(IOCTL_GET_READ_THRESHOLD, 0);
}

ULONG Morliven::GetWriteThreshold()
{
    return GetWordSetting(IOCTL_GET_WRITE_THRESHOLD, 0);
}

ULONG Morliven::SetReadThreshold(ULONG value)
{
    return SetWordSetting(IOCTL_SET_READ_THRESHOLD, value, 0);
}

ULONG Morliven::SetWriteThreshold(ULONG value)
{
    return SetWordSetting(IOCTL_SET_WRITE_THRESHOLD, value, 0);
}

ULONG Morliven::GetSubmitChannelThreshold()
{
    return GetWordSetting(IOCTL_GET_SUBMIT_THRESHOLD, kNoAnswer);
}

ULONG Morliven::SetSubmitChannelThreshold(ULONG value)
{
    return SetWordSetting(IOCTL_SET_SUBMIT_THRESHOLD, value, 0);
}

ULONG Morliven::GetWriteMode()
{
    return GetWordSetting(IOCTL_GET_WRITE_MODE, kNoAnswer);
}

ULONG Morliven::SetWriteMode(ULONG mode)
{
    return SetWordSetting(IOCTL_SET_WRITE_MODE, mode, kNoAnswer);
}

int Morliven::GetEnabled(INT code, BOOL& enabled)
{
    IOCTL_VALUE_FRAME f = {RC_PRESET, kNoAnswer};
    int r = 0;
    if (!Request(code, &f, &r))
        return 0;
    if (r == 0 && f.val != kNoAnswer)
        enabled = static_cast<BOOL>(f.val);
    return r;
}

int Morliven::SetEnabled(INT code, BOOL enabled)
{
    IOCTL_VALUE_FRAME f = {RC_PRESET, static_cast<ULONG>(enabled)};
    int r = 0;
    return Request(code, &f, &r) ? r : 0;
}

int Morliven::GetWriteCacheEnabled(BOOL& enabled)
{
    return GetEnabled(IOCTL_GET_WRITE_CACHE, enabled);
}

int Morliven::GetHotSparesEnabled(BOOL& enabled)
{
    return GetEnabled(IOCTL_GET_HOT_SPARES, enabled);
}

int Morliven::GetHotSwapEnabled(BOOL& enabled)
{
    return GetEnabled(IOCTL_GET_HOT_SWAP, enabled);
}

int Morliven::GetAlarmBuzzerEnabled(BOOL& enabled)
{
    return GetEnabled(IOCTL_GET_BUZZER, enabled);
}

int Morliven::GetSmartCheckEnabled(BOOL& enabled)
{
    return GetEnabled(IOCTL_GET_SMART_CHECK, enabled);
}

int Morliven::SetWriteCacheEnabled(BOOL enabled)
{
    return SetEnabled(IOCTL_SET_WRITE_CACHE, enabled);
}

int Morliven::SetHotSparesEnabled(BOOL enabled)
{
    return SetEnabled(IOCTL_SET_HOT_SPARES, enabled);
}

int Morliven::SetHotSwapEnabled(BOOL enabled)
{
    return SetEnabled(IOCTL_SET_HOT_SWAP, enabled);
}

int Morliven::SetAlarmBuzzerEnabled(BOOL enabled)
{
    return SetEnabled(IOCTL_SET_BUZZER, enabled);
}

int Morliven::SetSmartCheckEnable(BOOL enabled)
{
    return SetEnabled(IOCTL_SET_SMART_CHECK, enabled);
}

UCHAR Morliven::GetRate(INT code, ULONG channel, ULONG device)
{
    IOCTL_DISK_FRAME f = {RC_PRESET, static_cast<UCHAR>(AdapterId), static_cast<UCHAR>(channel),
                          static_cast<UCHAR>(device), 0};
    return Request(code, &f, nullptr) ? f.bValue : kNoAnswer;
}

int Morliven::SetRate(INT code, ULONG channel, ULONG device, UCHAR rate)
{
    IOCTL_DISK_FRAME f = {RC_PRESET, static_cast<UCHAR>(AdapterId), static_cast<UCHAR>(channel),
                          static_cast<UCHAR>(device), rate};
    int r = 0;
    return Request(code, &f, &r) ? r : kNoAnswer;
}

UCHAR Morliven::GetSyncRate(ULONG channel, ULONG device)
{
    return GetRate(IOCTL_GET_SYNC_RATE, channel, device);
}

UCHAR Morliven::GetRebuildRate(ULONG channel, ULONG device)
{
    return GetRate(IOCTL_GET_REBUILD_RATE, channel, device);
}

UCHAR Morliven::GetExpanConvRate(ULONG channel, ULONG device)
{
    return GetRate(IOCTL_GET_EXPANCONV_RATE, channel, device);
}

int Morliven::SetSyncRate(ULONG channel, ULONG device, UCHAR rate)
{
    return SetRate(IOCTL_SET_SYNC_RATE, channel, device, rate);
}

int Morliven::SetRebuildRate(ULONG channel, ULONG device, UCHAR rate)
{
    return SetRate(IOCTL_SET_REBUILD_RATE, channel, device, rate);
}

int Morliven::SetExpanConvRate(ULONG channel, ULONG device, UCHAR rate)
{
    return SetRate(IOCTL_SET_EXPANCONV_RATE, channel, device, rate);
}

int Morliven::GetDiskSmartStatus(ULONG channel, ULONG device, int* status)
{
    IOCTL_DISK_FRAME f = {RC_PRESET, static_cast<UCHAR>(AdapterId), static_cast<UCHAR>(channel),
                          static_cast<UCHAR>(device), kNoAnswer};
    int r = -1;
    *status = 0;
    if (Request(IOCTL_SMART_STATUS, &f, &r) && r == 0 && f.bValue < kNoAnswer)
        *status = f.bValue;
    return 0;
}

int Morliven::EnclosureCommand(int cmd, ULONG channel, ULONG device)
{
    ULONG global = static_cast<ULONG>(AdapterId) * CHANNELS_PER_ADAPTER + channel;
    IOCTL_ENCLOSURE_FRAME f = {RC_PRESET, static_cast<UCHAR>(cmd), static_cast<UCHAR>(global),
                               static_cast<UCHAR>(device), 0, 0};
    int r = -1;
    if (!Request(IOCTL_ENCLOSURE, &f, &r))
        return 0;
    return r == 0 && f.ReturnCode == RC_DONE ? static_cast<int>(f.dwValue) : -1;
}

int Morliven::GetEnclosureType(ULONG channel, ULONG device)
{
    return EnclosureCommand(ENC_TYPE, channel, device);
}

int Morliven::GetFanStatus(ULONG channel, ULONG device)
{
    return EnclosureCommand(ENC_FAN, channel, device);
}

int Morliven::GetTemperature(ULONG channel, ULONG device)
{
    return EnclosureCommand(ENC_TEMPERATURE, channel, device);
}

int Morliven::GetV5VStatus(ULONG channel, ULONG device)
{
    return EnclosureCommand(ENC_V5, channel, device);
}

int Morliven::GetV12VStatus(ULONG channel, ULONG device)
{
    return EnclosureCommand(ENC_V12, channel, device);
}

int Morliven::SwapBoxPowerOnOff(ULONG channel, ULONG device, BOOL on)
{
    return EnclosureCommand(on ? ENC_POWER_ON : ENC_POWER_OFF, channel, device);
}

ULONG Morliven::AdapterRequest(INT code, ULONG adapter)
{
    IOCTL_ADAPTER_FRAME f = {adapter, RC_PRESET};
    return Request(code, &f, nullptr) ? f.ReturnCode : kNoAnswer;
}

ULONG Morliven::CheckBatteryBackModule(ULONG adapter)
{
    return AdapterRequest(IOCTL_BATTERY_MODULE, adapter);
}

ULONG Morliven::CheckBatteryPack(ULONG adapter)
{
    return AdapterRequest(IOCTL_BATTERY_PACK, adapter);
}

USHORT Morliven::GetChargeStatus(ULONG adapter)
{
    return static_cast<USHORT>(AdapterRequest(IOCTL_CHARGE_STATUS, adapter));
}

USHORT Morliven::GetChargeCycle(ULONG adapter)
{
    return static_cast<USHORT>(AdapterRequest(IOCTL_CHARGE_CYCLE, adapter));
}

USHORT Morliven::GetBatteryTemperature(ULONG adapter)
{
    return static_cast<USHORT>(AdapterRequest(IOCTL_BATTERY_TEMPERATURE, adapter));
}

USHORT Morliven::GetBatteryVoltage(ULONG adapter)
{
    return static_cast<USHORT>(AdapterRequest(IOCTL_BATTERY_VOLTAGE, adapter));
}

ULONG Morliven::GetDimmSize(ULONG adapter)
{
    IOCTL_DIMM_FRAME f;
    memset(&f, 0, sizeof(f));
    f.AdapterId = adapter;
    return Request(IOCTL_DIMM_SIZE, &f, nullptr) ? f.DimmSize : kNoAnswer;
}

ULONG Morliven::GetHardwareType(ULONG adapter)
{
    IOCTL_HARDWARE_FRAME f;
    memset(&f, 0, sizeof(f));
    f.AdapterIndex = adapter;
    f.ReturnCode = RC_PRESET;
    if (!Request(IOCTL_HARDWARE_TYPE, &f, nullptr))
        return kNoAnswer;
    if (f.dwDeviceId == kDeviceIdQV7K)
        return HARDWARE_QV7K;
    if (f.dwDeviceId == kDeviceIdQ150)
        return HARDWARE_Q150;
    return f.ReturnCode;
}

ULONG Morliven::ClearLog()
{
    return GetWordSetting(IOCTL_CLEAR_LOG, kNoAnswer);
}

ULONG Morliven::CheckBusy()
{
    StructNUMBER n = {0};
    return Request(IOCTL_CHECK_BUSY, &n, nullptr) ? n.number : kNoAnswer;
}

int Morliven::ResetHDInfo()
{
    HANDLE h = OpenMorliven();
    if (h == -1)
        return -1;
    StructNUMBER n = {RC_PRESET};
    MorlivenIoControl(h, IOCTL_RESET_HDINFO, &n);
    return CloseMorliven(h);
}
