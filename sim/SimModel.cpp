#include "SimModel.h"
#include "SimProcFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace zelsim
{
namespace
{
constexpr uint32_t kSectorsPerGiB = 2097152;
constexpr uint32_t kHeads = 255;
constexpr uint32_t kSectorsPerTrack = 63;
constexpr uint32_t kMaxCylinders = 32768;
constexpr uint32_t kDefaultStripe = 64;
constexpr uint32_t kDefaultRate = 1000; // one percent a second
constexpr int32_t kNoEnclosure = 0xFF;
constexpr uint32_t kLayoutMask = 0xFF;
// A member slot that holds a working disk; a failed slot keeps its valid
// bit and the index of the disk that was lost.
constexpr uint8_t kOnline = STRM_VALID | STRM_ONLINE;

const uint32_t kDisk40G = 78165360;
const uint32_t kDisk80G = 156301488;
const uint32_t kDisk160G = 312581808;

int AdapterOf(int disk)
{
    return disk / DISKS_PER_ADAPTER;
}

bool Defined(const array& a)
{
    return a.blFlag & ARRAY_DEFINED;
}

bool Redundant(const array& a)
{
    return a.blRAID == RAID_MIRRORING || a.blRAID == RAID_PARITY || a.blRAID == RAID_DISTRIBUTED_PARITY;
}

bool Running(const Activity& act)
{
    return act.status == AS_REBUILD || act.status == AS_SYNC || act.status == AS_EXPAND ||
           act.status == AS_RAID5_INIT;
}

void SetStatus(SimState& s, int g)
{
    const Activity& act = s.activity[g];
    s.status[g].status = static_cast<char>(act.status);
    s.status[g].percentage = act.status ? static_cast<UCHAR>(act.progress / 1000) : 0;
    s.status[g].integrity = 0;
}

void StartActivity(SimState& s, int g, uint8_t status)
{
    Activity& act = s.activity[g];
    act.status = status;
    act.progress = 0;
    SetStatus(s, g);
}

void EndActivity(SimState& s, int g)
{
    memset(&s.activity[g], 0, sizeof(Activity));
    SetStatus(s, g);
}

void MakeModel(UCHAR* dest, const char* model)
{
    char text[MODEL_LENGTH];
    memset(text, ' ', sizeof(text));
    memcpy(text, model, std::min(strlen(model), sizeof(text)));
    // ATA keeps its texts with the bytes of each 16-bit word swapped.
    for (size_t i = 0; i < sizeof(text); i += 2)
    {
        dest[i] = static_cast<UCHAR>(text[i + 1]);
        dest[i + 1] = static_cast<UCHAR>(text[i]);
    }
}

void MakeIdentify(_IDENTIFY_DATA2& id, const char* model, uint32_t sectors)
{
    memset(&id, 0, sizeof(id));
    const uint32_t heads = 16;
    const uint32_t spt = 63;
    uint32_t cyls = sectors / (heads * spt);
    id.cyls = static_cast<USHORT>(std::min<uint32_t>(cyls, 16383));
    id.heads = heads;
    id.sectors = spt;
    MakeModel(id.model, model);
    id.capability = 0x0F;
    id.field_valid = 0x0007;
    const uint32_t lba28Max = 0x0FFFFFFF;
    bool lba48 = sectors > lba28Max; // larger disks need 48-bit addressing
    id.lba_capacity = std::min(sectors, lba28Max);
    id.dma_mword = 0x0407;
    id.UDMACommandSupport2 = lba48 ? 0x4400 : 0x4000;
    id.dma_ultra = lba48 ? 0x203F : 0x101F;
    id.max_48LBA[0] = static_cast<USHORT>(sectors & 0xFFFF);
    id.max_48LBA[1] = static_cast<USHORT>(sectors >> 16);
}

void PutDisk(SimState& s, int adapter, int position, const char* model, uint32_t sectors)
{
    AdapterModel& a = s.adapters[adapter];
    MakeIdentify(a.ext.IdentifyData[position], model, sectors);
    a.ext.DevicePresent[position] = 1;
    a.smart[position] = 1;
    int disk = DiskIndex(adapter, position);
    block& b = s.blocks[disk];
    memset(&b, 0, sizeof(b));
    b.blFlag = BLK_PRESENT | BLK_USABLE;
    b.bCh = static_cast<BYTE>(adapter * CHANNELS_PER_ADAPTER + position / 2);
    b.bID = static_cast<BYTE>(position % 2);
    char serial[16] = {};
    snprintf(serial, sizeof(serial), "ZS%02d%04X", disk, (sectors >> 16) & 0xFFFF);
    memcpy(b.bSerial, serial, sizeof(b.bSerial));
    b.wSize = sectors;
}

void SetupAdapter(SimState& s, int adapter)
{
    AdapterModel& a = s.adapters[adapter];
    memset(&a, 0, sizeof(a));
    a.ext.BusMasterBase = 0xD800 + 0x40 * adapter;
    a.ext.InterruptLine = 10 + adapter;
    a.ext.lSlotNum = 3 + adapter;
    a.ext.ExpansionROM = 0xFEB00000 - 0x10000 * adapter;
    for (int c = 0; c < 2; c++)
    {
        a.ext.BaseIoAddress1[c] = 0xE000 + 0x100 * adapter + 0x10 * c;
        a.ext.BaseIoAddress2[c] = 0xE400 + 0x100 * adapter + 0x10 * c;
    }
    a.ext.NumberChannels = CHANNELS_PER_ADAPTER;
    for (int p = 0; p < DISKS_PER_ADAPTER; p++)
    {
        a.syncRate[p] = 50;
        a.rebuildRate[p] = 50;
        a.expanRate[p] = 50;
    }
    for (Enclosure& e : a.enclosure)
        e.type = kNoEnclosure;
    a.dimmSize = 64;
    a.deviceId = 0x6621;
}

void SetupDriver(SimState& s, int adapters)
{
    memset(&s, 0, sizeof(s));
    s.magic = kMagic;
    s.version = kStateVersion;
    s.driverLoaded = 1;
    s.major = 253;
    s.driverVersion = PackVersion(1, 12, 3);
    strcpy(s.versionText, "1.12.3");
    strcpy(s.timestampText, "2026-11-02 10:41");
    s.numAdapters = adapters;
    for (int a = 0; a < adapters; a++)
        SetupAdapter(s, a);
    s.settings = Settings{8, 4, 1, 100, 100, 4, 0, 1, 1, 1, 1, 1};
    s.nextQueueNum = 1;
    s.noiseSeed = 12345;
    s.rate = kDefaultRate;
    strcpy(s.mounts, "/dev/root / ext4 rw,relatime 0 0\nproc /proc proc rw,nosuid,nodev,noexec 0 0\n");
    s.moduleSize = kDefaultModuleSize;
    for (int i = 0; i < kPrintkFields; i++)
        s.printk[i] = kDefaultPrintk[i];
}

uint32_t DataDisks(uint32_t layout, uint32_t width)
{
    switch (layout)
    {
    case RAID_MIRRORING:
        return width / 2;
    case RAID_PARITY:
    case RAID_DISTRIBUTED_PARITY:
        return width - 1;
    default:
        return width;
    }
}

uint32_t ArraySectors(const SimState& s, uint32_t layout, const uint8_t* disks, uint32_t n)
{
    uint32_t smallest = UINT32_MAX;
    uint64_t sum = 0;
    for (uint32_t i = 0; i < n; i++)
    {
        smallest = std::min(smallest, s.blocks[disks[i]].wSize);
        sum += s.blocks[disks[i]].wSize;
    }
    uint64_t size = layout == RAID_SPANNING || layout == RAID_JBOD ? sum
                                                                   : uint64_t(smallest) * DataDisks(layout, n);
    return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}

void SetGeometry(array& a, uint32_t sectors)
{
    // The array's capacity is its logical geometry: whole cylinders.
    uint32_t cyls = std::min(sectors / (kHeads * kSectorsPerTrack), kMaxCylinders);
    a.wSize = cyls * kHeads * kSectorsPerTrack;
    a.hCyl = static_cast<HALF>(cyls - 1);
    a.bHd = kHeads - 1;
    a.bSctr = kSectorsPerTrack;
}

bool LayoutFits(uint32_t layout, uint32_t n)
{
    if (n < 1 || n > MAX_MEMBERS)
        return false;
    switch (layout)
    {
    case RAID_STRIPING:
    case RAID_SPANNING:
    case RAID_JBOD:
        return true;
    case RAID_MIRRORING:
        return n >= 2 && n % 2 == 0;
    case RAID_PARITY:
    case RAID_DISTRIBUTED_PARITY:
        return n >= 3;
    default:
        return false;
    }
}

// Fills array g with the given members; the disks must be free.
void DefineArray(SimState& s, int g, uint32_t layout, const uint8_t* disks, uint32_t n, uint32_t stripe,
                 const char* name, uint32_t sectors)
{
    array& a = s.arrays[g];
    memset(&a, 0, sizeof(a));
    a.hGeneration = 1;
    a.blFlag = ARRAY_HEALTHY;
    a.blRAID = static_cast<BoOL>(layout);
    a.bWidth = static_cast<BYTE>(n);
    a.bLogicalWidth = static_cast<BYTE>(DataDisks(layout, n));
    a.bID = static_cast<BYTE>(g);
    stripe = stripe ? stripe : kDefaultStripe;
    a.hStripeBlockSize = static_cast<HALF>(stripe);
    a.hStripeSize = static_cast<HALF>(stripe * a.bLogicalWidth);
    while ((1U << a.bStripeBlockPower) < stripe)
        a.bStripeBlockPower++;
    SetGeometry(a, sectors);
    char serial[16] = {};
    snprintf(serial, sizeof(serial), "ZA%02d", g);
    memcpy(a.bSerial, serial, sizeof(a.bSerial));
    snprintf(reinterpret_cast<char*>(a.Name), sizeof(a.Name), "%s", name);
    for (uint32_t i = 0; i < n; i++)
    {
        a.Strm[i] = strm{STRM_VALID | STRM_ONLINE, disks[i], 0, 0};
        s.blocks[disks[i]].blFlag |= BLK_MEMBER;
    }
}

void PresetArray(SimState& s, int g, uint32_t layout, std::initializer_list<uint8_t> disks, const char* name)
{
    uint8_t ids[MAX_MEMBERS];
    uint32_t n = 0;
    for (uint8_t d : disks)
        ids[n++] = d;
    DefineArray(s, g, layout, ids, n, kDefaultStripe, name, ArraySectors(s, layout, ids, n));
}

void OneAdapter(SimState& s)
{
    SetupDriver(s, 1);
    for (int p = 0; p < DISKS_PER_ADAPTER; p++)
        PutDisk(s, 0, p, "ZELSIM HD-40G", kDisk40G);
}

void TwoAdapters(SimState& s)
{
    SetupDriver(s, 2);
    for (int p = 0; p < DISKS_PER_ADAPTER; p++)
        PutDisk(s, 0, p, p < 4 ? "ZELSIM HD-40G" : "ZELSIM HD-80G", p < 4 ? kDisk40G : kDisk80G);
    for (int p = 0; p < DISKS_PER_ADAPTER - 1; p++)
        PutDisk(s, 1, p, p < 5 ? "ZELSIM HD-80G" : "ZELSIM XL-160G", p < 5 ? kDisk80G : kDisk160G);
    PresetArray(s, 0, RAID_MIRRORING, {0, 1}, "System");
    PresetArray(s, 1, RAID_DISTRIBUTED_PARITY, {4, 5, 6}, "Data");
    PresetArray(s, 2, RAID_STRIPING, {2, 3}, "Scratch");
    PresetArray(s, 4, RAID_MIRRORING, {8, 9, 10, 11}, "Archive");
    PresetArray(s, 5, RAID_PARITY, {12, 13, 14}, "Vault");
}

// As large as the driver goes: every disk of both adapters in one of its
// eight arrays.
void TwoAdaptersFull(SimState& s)
{
    SetupDriver(s, 2);
    for (int p = 0; p < DISKS_PER_ADAPTER; p++)
    {
        PutDisk(s, 0, p, p < 4 ? "ZELSIM HD-40G" : "ZELSIM HD-80G", p < 4 ? kDisk40G : kDisk80G);
        PutDisk(s, 1, p, p < 5 ? "ZELSIM HD-80G" : "ZELSIM XL-160G", p < 5 ? kDisk80G : kDisk160G);
    }
    PresetArray(s, 0, RAID_MIRRORING, {0, 1}, "Boot");
    PresetArray(s, 1, RAID_DISTRIBUTED_PARITY, {2, 3, 4}, "Data");
    PresetArray(s, 2, RAID_STRIPING, {5, 6}, "Fast");
    PresetArray(s, 3, RAID_JBOD, {7}, "Single");
    PresetArray(s, 4, RAID_MIRRORING, {8, 9}, "Logs");
    PresetArray(s, 5, RAID_PARITY, {10, 11, 12}, "Vault");
    PresetArray(s, 6, RAID_SPANNING, {13, 14}, "Media");
    PresetArray(s, 7, RAID_JBOD, {15}, "Spare");
}

void EnclosureBattery(SimState& s)
{
    SetupDriver(s, 1);
    for (int p = 0; p < DISKS_PER_ADAPTER; p += 2)
        PutDisk(s, 0, p, "ZELSIM HD-80G", kDisk80G);
    AdapterModel& a = s.adapters[0];
    a.enclosure[0] = Enclosure{17, 0x0C, 4200, 70, 5020, 12050, 1};
    a.enclosure[1] = Enclosure{1, 0x08, 3900, 66, 0, 0, 1};
    a.enclosure[2] = Enclosure{0, 0x4C, 1, 72, 4980, 11980, 1};
    a.battery = Battery{1, 1, 0x0020, 12, 30, 8200};
    a.dimmSize = 128;
    PresetArray(s, 0, RAID_MIRRORING, {0, 2}, "Mirror");
}

struct Preset
{
    const char* name;
    void (*build)(SimState&);
};

const Preset kPresets[] = {
    {"one-adapter", OneAdapter},
    {"two-adapters", TwoAdapters},
    {"two-adapters-full", TwoAdaptersFull},
    {"enclosure-battery", EnclosureBattery},
};

bool DiskInAnyArray(const SimState& s, int disk)
{
    for (const array& a : s.arrays)
        if (Defined(a))
            for (int i = 0; i < a.bWidth && i < MAX_MEMBERS; i++)
                if (a.Strm[i].bIndex == disk && (a.Strm[i].blFlag & kOnline) == kOnline)
                    return true;
    return false;
}

int FindFreeDisk(const SimState& s, int adapter)
{
    for (int p = 0; p < DISKS_PER_ADAPTER; p++)
        if (FreeDisk(s, DiskIndex(adapter, p)))
            return DiskIndex(adapter, p);
    return -1;
}

int FailedSlot(const array& a)
{
    for (int i = 0; i < a.bWidth && i < MAX_MEMBERS; i++)
        if (a.Strm[i].blFlag & STRM_MISSING)
            return i;
    return -1;
}

void BeginRebuild(SimState& s, int g, int slot, int disk)
{
    array& a = s.arrays[g];
    uint8_t old = a.Strm[slot].bIndex;
    if (old != disk)
        s.blocks[old].blFlag &= ~BLK_MEMBER;
    a.Strm[slot] = strm{STRM_VALID | STRM_ONLINE, static_cast<BYTE>(disk), 0, 0};
    s.blocks[disk].blFlag |= BLK_MEMBER | BLK_NEEDS_REBUILD;
    StartActivity(s, g, AS_REBUILD);
    s.activity[g].slot = static_cast<uint8_t>(slot);
    s.activity[g].disk = static_cast<uint8_t>(disk);
    QueueEvent(s, EV_REBUILD_START, kInfo, {uint32_t(g), uint32_t(disk)});
}

// A degraded array takes a free disk of its adapter when hot spares are on.
void TakeSpare(SimState& s, int g)
{
    const array& a = s.arrays[g];
    int slot = FailedSlot(a);
    if (!s.settings.hotSpares || !(a.blFlag & ARRAY_DEGRADED) || Running(s.activity[g]) || slot < 0)
        return;
    int spare = FindFreeDisk(s, g / ARRAYS_PER_ADAPTER);
    if (spare >= 0)
        BeginRebuild(s, g, slot, spare);
}

void AbortRebuild(SimState& s, int g)
{
    const Activity& act = s.activity[g];
    QueueEvent(s, EV_REBUILD_ABORT, kError, {uint32_t(g), act.disk, act.progress / 1000});
    s.blocks[act.disk].blFlag &= ~BLK_NEEDS_REBUILD;
    s.arrays[g].Strm[act.slot].blFlag = STRM_VALID | STRM_FAILED;
    EndActivity(s, g);
}

// Any other activity ends with the array's loss of a member.
void StopActivity(SimState& s, int g)
{
    const Activity& act = s.activity[g];
    if (act.status == AS_REBUILD || act.status == AS_REBUILD_PAUSED)
    {
        AbortRebuild(s, g);
        return;
    }
    if (act.status == AS_SYNC || act.status == AS_SYNC_PAUSED)
        QueueEvent(s, EV_SYNC_ABORT, kError, {uint32_t(g), act.progress / 1000});
    if (act.status)
        EndActivity(s, g);
}

// A member disk stopped working: its array degrades or goes offline.
void LoseMember(SimState& s, int disk)
{
    for (int g = 0; g < MAX_ARRAYS; g++)
    {
        array& a = s.arrays[g];
        if (!Defined(a))
            continue;
        for (int i = 0; i < a.bWidth && i < MAX_MEMBERS; i++)
        {
            if (a.Strm[i].bIndex != disk || !(a.Strm[i].blFlag & STRM_VALID))
                continue;
            if (s.activity[g].status == AS_REBUILD && s.activity[g].disk == disk)
            {
                AbortRebuild(s, g);
                continue;
            }
            StopActivity(s, g);
            a.Strm[i].blFlag = STRM_VALID | STRM_FAILED;
            if (Redundant(a) && !(a.blFlag & ARRAY_DEGRADED))
            {
                a.blFlag |= ARRAY_DEGRADED;
                QueueEvent(s, EV_ARRAY_CRITICAL, kWarning, {uint32_t(g)});
            }
            else if (a.blFlag & ARRAY_ONLINE)
            {
                a.blFlag &= ~ARRAY_ONLINE;
                QueueEvent(s, EV_ARRAY_OFFLINE, kError, {uint32_t(g)});
            }
            TakeSpare(s, g);
        }
    }
}

void Notify(SimState& s, int disk)
{
    s.notify.NotifyType = NOTIFY_HOT_PLUG;
    s.notify.bCh = static_cast<char>(s.blocks[disk].bCh);
    s.notify.bId = static_cast<char>(s.blocks[disk].bID);
}

bool ValidPosition(const SimState& s, int adapter, int position)
{
    return adapter >= 0 && HasAdapter(s, adapter) && position >= 0 &&
           position < DISKS_PER_ADAPTER;
}

void CompleteRebuild(SimState& s, int g)
{
    Activity& act = s.activity[g];
    array& a = s.arrays[g];
    s.blocks[act.disk].blFlag &= ~BLK_NEEDS_REBUILD;
    if (FailedSlot(a) < 0)
        a.blFlag &= ~ARRAY_DEGRADED;
    QueueEvent(s, EV_REBUILD_COMPLETE, kInfo, {uint32_t(g), act.disk, 100});
    EndActivity(s, g);
    TakeSpare(s, g);
}

void CompleteExpansion(SimState& s, int g)
{
    const Activity& act = s.activity[g];
    array& a = s.arrays[g];
    uint8_t disks[MAX_MEMBERS];
    uint32_t n = 0;
    for (int i = 0; i < a.bWidth && i < MAX_MEMBERS; i++)
        disks[n++] = a.Strm[i].bIndex;
    for (int i = 0; i < act.numNewDisks && n < MAX_MEMBERS; i++)
        disks[n++] = act.newDisks[i];
    char name[ARRAY_NAME_LENGTH];
    memcpy(name, a.Name, sizeof(name));
    name[sizeof(name) - 1] = '\0';
    uint32_t layout = act.newRaid;
    uint32_t stripe = static_cast<uint16_t>(a.hStripeBlockSize);
    EndActivity(s, g);
    DefineArray(s, g, layout, disks, n, stripe, name, ArraySectors(s, layout, disks, n));
}

void Complete(SimState& s, int g)
{
    switch (s.activity[g].status)
    {
    case AS_REBUILD:
        CompleteRebuild(s, g);
        break;
    case AS_SYNC:
        QueueEvent(s, EV_SYNC_COMPLETE, kInfo, {uint32_t(g), 100});
        EndActivity(s, g);
        break;
    case AS_EXPAND:
        CompleteExpansion(s, g);
        break;
    default:
        EndActivity(s, g);
        break;
    }
}

// Pause, continue or stop the running activity of the given kind.
bool Steer(SimState& s, int g, uint32_t flag, uint8_t running, uint8_t paused)
{
    Activity& act = s.activity[g];
    if (flag == kFlagPause && act.status == running)
        act.status = paused;
    else if (flag == kFlagContinue && act.status == paused)
        act.status = running;
    else if (flag == kFlagStop && (act.status == running || act.status == paused) && running == AS_REBUILD)
        AbortRebuild(s, g);
    else
        return false;
    SetStatus(s, g);
    return true;
}

bool Startable(const SimState& s, int g)
{
    return g >= 0 && g < MAX_ARRAYS && Defined(s.arrays[g]) && !s.activity[g].status && !s.busy;
}
} // namespace

bool InitPreset(SimState& s, const std::string& name)
{
    for (const Preset& p : kPresets)
        if (name == p.name)
        {
            p.build(s);
            return true;
        }
    return false;
}

const char* PresetNames()
{
    return "one-adapter, two-adapters, two-adapters-full, enclosure-battery";
}

void QueueEvent(SimState& s, uint32_t id, uint32_t level, std::initializer_list<uint32_t> params)
{
    if (s.numEvents == kMaxQueuedEvents)
    {
        memmove(&s.events[0], &s.events[1], sizeof(logevent) * (kMaxQueuedEvents - 1));
        s.numEvents--;
        s.counters.droppedEvents++;
    }
    logevent& e = s.events[s.numEvents++];
    memset(&e, 0, sizeof(e));
    e.id = id;
    e.TimeStamp = static_cast<RAID_WORD>(time(nullptr));
    e.QueueNum = s.nextQueueNum++;
    e.WarningLevel = level;
    for (uint32_t p : params)
        e.ParamList[e.NumOfParams++] = p;
}

void AdvanceClock(SimState& s, int64_t nowMs)
{
    if (s.clockMs == 0 || nowMs < s.clockMs)
    {
        s.clockMs = nowMs;
        return;
    }
    int64_t elapsed = nowMs - s.clockMs;
    s.clockMs = nowMs;
    uint64_t progress = static_cast<uint64_t>(elapsed) * s.rate / 1000;
    if (progress)
        Step(s, static_cast<uint32_t>(std::min<uint64_t>(progress, kFullProgress)));
}

void Step(SimState& s, uint32_t progress)
{
    for (int g = 0; g < MAX_ARRAYS; g++)
    {
        Activity& act = s.activity[g];
        if (!Running(act))
            continue;
        act.progress = std::min(kFullProgress, act.progress + progress);
        SetStatus(s, g);
        if (act.progress == kFullProgress)
            Complete(s, g);
    }
}

bool HasAdapter(const SimState& s, uint32_t adapter)
{
    return adapter < s.numAdapters && adapter < MAX_ADAPTERS;
}

bool FreeDisk(const SimState& s, int disk)
{
    return disk >= 0 && disk < MAX_DISKS && s.blocks[disk].blFlag == (BLK_PRESENT | BLK_USABLE) &&
           !DiskInAnyArray(s, disk);
}


bool FailDisk(SimState& s, int adapter, int position)
{
    int disk = DiskIndex(adapter, position);
    if (!ValidPosition(s, adapter, position) || !(s.blocks[disk].blFlag & BLK_USABLE))
        return false;
    s.blocks[disk].blFlag &= ~(BLK_USABLE | BLK_NEEDS_REBUILD);
    QueueEvent(s, EV_DISK_SETDOWN, kError, {uint32_t(disk)});
    LoseMember(s, disk);
    return true;
}

bool RemoveDisk(SimState& s, int adapter, int position)
{
    int disk = DiskIndex(adapter, position);
    if (!ValidPosition(s, adapter, position) || !(s.blocks[disk].blFlag & BLK_PRESENT))
        return false;
    QueueEvent(s, EV_DISK_OFFLINE, kError, {uint32_t(disk)});
    s.blocks[disk].blFlag &= ~(BLK_USABLE | BLK_NEEDS_REBUILD);
    LoseMember(s, disk);
    Notify(s, disk);
    s.blocks[disk].blFlag = 0;
    AdapterModel& a = s.adapters[adapter];
    a.ext.DevicePresent[position] = 0;
    memset(&a.ext.IdentifyData[position], 0, sizeof(_IDENTIFY_DATA2));
    return true;
}

bool InsertDisk(SimState& s, int adapter, int position, const char* model, uint32_t sectors)
{
    int disk = DiskIndex(adapter, position);
    if (!ValidPosition(s, adapter, position) || (s.blocks[disk].blFlag & BLK_PRESENT) || sectors == 0)
        return false;
    PutDisk(s, adapter, position, model, sectors);
    Notify(s, disk);
    QueueEvent(s, EV_DISK_PLUGIN, kInfo, {uint32_t(disk)});
    for (int g = adapter * ARRAYS_PER_ADAPTER; g < (adapter + 1) * ARRAYS_PER_ADAPTER; g++)
        TakeSpare(s, g);
    return true;
}

bool SetSmart(SimState& s, int adapter, int position, uint8_t status)
{
    if (!ValidPosition(s, adapter, position))
        return false;
    s.adapters[adapter].smart[position] = status;
    if (status == 2)
        QueueEvent(s, EV_SMART_ERROR, kWarning, {uint32_t(DiskIndex(adapter, position))});
    return true;
}

int CreateArray(SimState& s, IOCTL_MORLIVEN_CREATE_ARRAY_FRAME& f)
{
    uint32_t layout = f.blRAID & kLayoutMask;
    uint32_t n = f.nDisk;
    if (s.busy || !LayoutFits(layout, n))
        return -1;
    int adapter = AdapterOf(f.DiskID[0]);
    for (uint32_t i = 0; i < n; i++)
    {
        if (!FreeDisk(s, f.DiskID[i]) || AdapterOf(f.DiskID[i]) != adapter)
            return -1;
        for (uint32_t j = 0; j < i; j++)
            if (f.DiskID[j] == f.DiskID[i])
                return -1;
    }
    int g = adapter * ARRAYS_PER_ADAPTER;
    while (g < (adapter + 1) * ARRAYS_PER_ADAPTER && Defined(s.arrays[g]))
        g++;
    if (g == (adapter + 1) * ARRAYS_PER_ADAPTER)
        return -1;
    uint32_t sectors = ArraySectors(s, layout, f.DiskID, n);
    if (f.blRAID & CREATE_GIGA_BOUNDARY)
        sectors -= sectors % kSectorsPerGiB;
    char name[sizeof(f.Arrayname) + 1];
    memcpy(name, f.Arrayname, sizeof(f.Arrayname));
    name[sizeof(f.Arrayname)] = '\0';
    DefineArray(s, g, layout, f.DiskID, n, f.nStripeBlockSize, name, sectors);
    QueueEvent(s, EV_ARRAY_CREATE, kInfo, {uint32_t(g)});
    if (layout == RAID_DISTRIBUTED_PARITY && (f.blRAID & CREATE_RAID5_INIT))
        StartActivity(s, g, AS_RAID5_INIT);
    f.blRAID = (f.blRAID & ~kLayoutMask) | static_cast<uint32_t>(g);
    return g;
}

bool DeleteArray(SimState& s, int g)
{
    if (g < 0 || g >= MAX_ARRAYS || !Defined(s.arrays[g]) || s.activity[g].status || s.busy)
        return false;
    array& a = s.arrays[g];
    for (int i = 0; i < a.bWidth && i < MAX_MEMBERS; i++)
        if (a.Strm[i].blFlag & STRM_VALID)
            s.blocks[a.Strm[i].bIndex].blFlag &= ~(BLK_MEMBER | BLK_NEEDS_REBUILD);
    memset(&a, 0, sizeof(a));
    EndActivity(s, g);
    QueueEvent(s, EV_ARRAY_DELETE, kInfo, {uint32_t(g)});
    return true;
}

uint16_t Rebuild(SimState& s, int g, uint32_t slot, uint32_t flag)
{
    if (g < 0 || g >= MAX_ARRAYS || !Defined(s.arrays[g]))
        return 0;
    if (Steer(s, g, flag, AS_REBUILD, AS_REBUILD_PAUSED))
        return 1;
    const array& a = s.arrays[g];
    if (!Startable(s, g) || !Redundant(a) || !(a.blFlag & ARRAY_DEGRADED) || !(a.blFlag & ARRAY_ONLINE))
        return 0;
    int target = slot < MAX_MEMBERS && (a.Strm[slot].blFlag & STRM_MISSING) ? static_cast<int>(slot) : FailedSlot(a);
    if (target < 0)
        return 0;
    int disk = a.Strm[target].bIndex;
    // The failed disk itself when it works again, else a free one.
    if (s.blocks[disk].blFlag != (BLK_PRESENT | BLK_USABLE | BLK_MEMBER) &&
        s.blocks[disk].blFlag != (BLK_PRESENT | BLK_USABLE))
        disk = FindFreeDisk(s, g / ARRAYS_PER_ADAPTER);
    if (disk < 0)
        return 0;
    BeginRebuild(s, g, target, disk);
    return 1;
}

uint16_t Synchronise(SimState& s, int g, uint32_t flag)
{
    if (g < 0 || g >= MAX_ARRAYS || !Defined(s.arrays[g]))
        return 0;
    if (Steer(s, g, flag, AS_SYNC, AS_SYNC_PAUSED))
        return 1;
    if (s.activity[g].status == AS_SYNC_PAUSED && !s.busy)
    {
        s.activity[g].status = AS_SYNC;
        SetStatus(s, g);
        return 1;
    }
    const array& a = s.arrays[g];
    if (!Startable(s, g) || !Redundant(a) || (a.blFlag & 0x1F) != ARRAY_HEALTHY || flag == kFlagPause)
        return 0;
    StartActivity(s, g, AS_SYNC);
    QueueEvent(s, EV_SYNC_START, kInfo, {uint32_t(g)});
    return 1;
}

uint32_t ExpandConvert(SimState& s, const IOCTL_MORLIVEN_EXPANCONV_FRAME& f)
{
    int g = f.nPhysIndex;
    if (g >= MAX_ARRAYS || !Defined(s.arrays[g]))
        return EXPAN_INVALID_ARRAY;
    if (Steer(s, g, f.ulFlag, AS_EXPAND, AS_EXPAND_PAUSED))
        return 0;
    const array& a = s.arrays[g];
    if (s.busy || s.activity[g].status)
        return 0x80000006;
    if ((a.blFlag & 0x1F) != ARRAY_HEALTHY)
        return EXPAN_INVALID_ARRAY;
    if (f.nNewDisk < a.bWidth || f.nNewDisk > MAX_MEMBERS)
        return EXPAN_INVALID_DISK;
    uint32_t added = f.nNewDisk - a.bWidth;
    uint8_t disks[MAX_MEMBERS];
    for (int i = 0; i < a.bWidth; i++)
        disks[i] = a.Strm[i].bIndex;
    for (uint32_t i = 0; i < added; i++)
    {
        int d = f.nNewDiskIDs[i];
        if (!FreeDisk(s, d) || AdapterOf(d) != g / ARRAYS_PER_ADAPTER)
            return EXPAN_INVALID_DISK;
        for (uint32_t j = 0; j < a.bWidth + i; j++)
            if (disks[j] == d)
                return EXPAN_INVALID_DISK;
        disks[a.bWidth + i] = static_cast<uint8_t>(d);
    }
    uint32_t layout = f.nNewRAID & kLayoutMask;
    if (!LayoutFits(layout, f.nNewDisk))
        return EXPAN_CANNOT_CONVERT;
    if (layout == a.blRAID && added == 0)
        return EXPAN_SAME_ARRAY;
    if (ArraySectors(s, layout, disks, f.nNewDisk) < a.wSize)
        return EXPAN_TARGET_TOO_SMALL;
    StartActivity(s, g, AS_EXPAND);
    Activity& act = s.activity[g];
    act.newRaid = static_cast<uint8_t>(layout);
    act.numNewDisks = static_cast<uint8_t>(added);
    for (uint32_t i = 0; i < added; i++)
    {
        act.newDisks[i] = disks[a.bWidth + i];
        s.blocks[act.newDisks[i]].blFlag |= BLK_MEMBER;
    }
    return 0;
}

namespace
{
Enclosure* FindEnclosure(SimState& s, int adapter, int channel)
{
    if (adapter < 0 || !HasAdapter(s, adapter) || channel < 0 || channel >= CHANNELS_PER_ADAPTER)
        return nullptr;
    Enclosure* e = &s.adapters[adapter].enclosure[channel];
    return e->type == kNoEnclosure ? nullptr : e;
}

uint32_t GlobalChannel(int adapter, int channel)
{
    return static_cast<uint32_t>(adapter * CHANNELS_PER_ADAPTER + channel);
}
} // namespace

bool SetFan(SimState& s, int adapter, int channel, int32_t value)
{
    Enclosure* e = FindEnclosure(s, adapter, channel);
    if (!e)
        return false;
    e->fan = value;
    if (value == 0)
        QueueEvent(s, EV_SWAP_FAN_STOP, kError, {GlobalChannel(adapter, channel), 0, 0});
    return true;
}

bool SetTemperature(SimState& s, int adapter, int channel, int32_t value)
{
    Enclosure* e = FindEnclosure(s, adapter, channel);
    if (!e)
        return false;
    e->temperature = value;
    if (value > kMaxTemperature)
        QueueEvent(s, EV_SWAP_OVER_TEMP, kError, {GlobalChannel(adapter, channel), 0, uint32_t(value)});
    return true;
}

bool SetVoltage(SimState& s, int adapter, int channel, bool twelve, int32_t millivolts)
{
    Enclosure* e = FindEnclosure(s, adapter, channel);
    if (!e)
        return false;
    int32_t nominal = twelve ? 12000 : 5000;
    (twelve ? e->v12 : e->v5) = millivolts;
    // Supplies are allowed five percent either way.
    if (std::abs(millivolts - nominal) * 20 > nominal)
        QueueEvent(s, twelve ? EV_SWAP_12V : EV_SWAP_5V, kError,
                   {GlobalChannel(adapter, channel), 0, uint32_t(millivolts)});
    return true;
}

bool SetPower(SimState& s, int adapter, int channel, bool on)
{
    Enclosure* e = FindEnclosure(s, adapter, channel);
    if (!e)
        return false;
    e->powered = on;
    QueueEvent(s, on ? EV_SWAP_POWER_UP : EV_SWAP_POWER_DOWN, kInfo, {GlobalChannel(adapter, channel), 0});
    return true;
}

} // namespace zelsim
