#include "SimDriver.h"
#include "SimModel.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelsim
{
namespace
{
struct DeviceLine
{
    int major;
    const char* name;
};

const DeviceLine kCharDevices[] = {{1, "mem"}, {4, "/dev/vc/0"}, {4, "tty"}, {5, "/dev/tty"}, {5, "/dev/console"},
                                   {7, "vcs"}, {10, "misc"},     {13, "input"}, {136, "pts"},   {254, "gpiochip"}};
const DeviceLine kBlockDevices[] = {{7, "loop"}, {8, "sd"}, {9, "md"}, {65, "sd"}, {254, "mdp"}, {259, "blkext"}};

const uint32_t kVendorId = 0x5A45;
const uint32_t kClassCode = 0x010400;
const uint32_t kDone = 1;

template <typename T> T& As(void* buf)
{
    return *static_cast<T*>(buf);
}

bool ValidDisk(const SimState& s, const IOCTL_DISK_FRAME& f)
{
    return HasAdapter(s, f.bController) && f.bCh < CHANNELS_PER_ADAPTER && f.bID < 2;
}

uint8_t* RateTable(SimState& s, unsigned long code, const IOCTL_DISK_FRAME& f)
{
    AdapterModel& a = s.adapters[f.bController];
    switch (code)
    {
    case IOCTL_SET_SYNC_RATE:
    case IOCTL_GET_SYNC_RATE:
        return a.syncRate;
    case IOCTL_SET_REBUILD_RATE:
    case IOCTL_GET_REBUILD_RATE:
        return a.rebuildRate;
    default:
        return a.expanRate;
    }
}

int Rate(SimState& s, unsigned long code, void* buf, bool set)
{
    IOCTL_DISK_FRAME& f = As<IOCTL_DISK_FRAME>(buf);
    if (!ValidDisk(s, f))
        return EINVAL;
    uint8_t& rate = RateTable(s, code, f)[f.bCh * 2 + f.bID];
    if (set)
        rate = f.bValue;
    else
        f.bValue = rate;
    f.ReturnCode = RC_DONE;
    return 0;
}

uint32_t* SettingFor(SimState& s, unsigned long code)
{
    Settings& t = s.settings;
    switch (code)
    {
    case IOCTL_GET_CHANNEL_THRESHOLD:
    case IOCTL_PUT_CHANNEL_THRESHOLD:
        return &t.channelThreshold;
    case IOCTL_GET_ORIGINAL_CHANNEL_COUNT:
    case IOCTL_PUT_ORIGINAL_CHANNEL_COUNT:
        return &t.originalChannelCount;
    case IOCTL_GET_MAINTENANCE_LENGTH:
    case IOCTL_PUT_MAINTENANCE_LENGTH:
        return &t.maintenanceLength;
    case IOCTL_GET_READ_THRESHOLD:
    case IOCTL_SET_READ_THRESHOLD:
        return &t.readThreshold;
    case IOCTL_GET_WRITE_THRESHOLD:
    case IOCTL_SET_WRITE_THRESHOLD:
        return &t.writeThreshold;
    case IOCTL_GET_SUBMIT_THRESHOLD:
    case IOCTL_SET_SUBMIT_THRESHOLD:
        return &t.submitThreshold;
    case IOCTL_GET_WRITE_MODE:
    case IOCTL_SET_WRITE_MODE:
        return &t.writeMode;
    case IOCTL_GET_WRITE_CACHE:
    case IOCTL_SET_WRITE_CACHE:
        return &t.writeCache;
    case IOCTL_GET_HOT_SPARES:
    case IOCTL_SET_HOT_SPARES:
        return &t.hotSpares;
    case IOCTL_GET_HOT_SWAP:
    case IOCTL_SET_HOT_SWAP:
        return &t.hotSwap;
    case IOCTL_GET_BUZZER:
    case IOCTL_SET_BUZZER:
        return &t.buzzer;
    default:
        return &t.smartCheck;
    }
}

int Version(SimState& s, void* buf)
{
    if (As<uint32_t>(buf) == RC_PRESET)
    {
        As<uint32_t>(buf) = s.driverVersion;
        return 0;
    }
    StrDriverVersion& v = As<StrDriverVersion>(buf);
    memcpy(v.version, s.versionText, sizeof(v.version));
    memcpy(v.timestamp, s.timestampText, sizeof(v.timestamp));
    v.version_length = static_cast<ULONG>(strnlen(s.versionText, sizeof(s.versionText)));
    v.timestamp_length = static_cast<ULONG>(strnlen(s.timestampText, sizeof(s.timestampText)));
    return 0;
}

int Controller(SimState& s, void* buf)
{
    IOCTL_CONTROLLER_FRAME& f = As<IOCTL_CONTROLLER_FRAME>(buf);
    memset(&f.Adapter, 0, sizeof(f.Adapter));
    if (!HasAdapter(s, f.Adapterindex))
    {
        f.ReturnCode = 0;
        return 0;
    }
    f.Adapter = s.adapters[f.Adapterindex].ext;
    int present = 0;
    for (int p = 0; p < DISKS_PER_ADAPTER; p++)
        present += f.Adapter.DevicePresent[p] != 0;
    f.Adapter.BlockCount = static_cast<UCHAR>(present);
    f.ReturnCode = RC_CONTROLLER;
    return 0;
}

int Events(SimState& s, void* buf)
{
    IOCTL_EVENTS_FRAME& f = As<IOCTL_EVENTS_FRAME>(buf);
    uint32_t n = std::min<uint32_t>({f.EventCount, MAX_EVENTS, s.numEvents});
    memcpy(f.Events, s.events, n * sizeof(logevent));
    memmove(s.events, s.events + n, (s.numEvents - n) * sizeof(logevent));
    s.numEvents -= n;
    f.EventCount = n;
    f.ReturnCode = RC_DONE;
    return 0;
}

int Smart(SimState& s, void* buf)
{
    IOCTL_DISK_FRAME& f = As<IOCTL_DISK_FRAME>(buf);
    if (!ValidDisk(s, f))
        return EINVAL;
    int position = f.bCh * 2 + f.bID;
    if (s.adapters[f.bController].ext.DevicePresent[position])
        f.bValue = s.adapters[f.bController].smart[position];
    f.ReturnCode = RC_DONE;
    return 0;
}

int Hardware(SimState& s, void* buf)
{
    IOCTL_HARDWARE_FRAME& f = As<IOCTL_HARDWARE_FRAME>(buf);
    if (!HasAdapter(s, f.AdapterIndex))
        return EINVAL;
    f.ReturnCode = RC_DONE;
    f.dwThornvaleType = 1;
    f.dwVendorId = kVendorId;
    f.dwDeviceId = s.adapters[f.AdapterIndex].deviceId;
    f.dwSubsystemId = 1;
    f.dwClassCode = kClassCode;
    return 0;
}

int EnclosureValue(const Enclosure& e, uint8_t cmd, uint32_t* value)
{
    switch (cmd)
    {
    case ENC_TYPE:
        *value = static_cast<uint32_t>(e.type);
        return 0;
    case ENC_CAPABILITIES:
        *value = e.capabilities;
        return 0;
    case ENC_FAN:
        *value = static_cast<uint32_t>(e.powered ? e.fan : 0);
        return 0;
    case ENC_TEMPERATURE:
        *value = static_cast<uint32_t>(e.temperature);
        return 0;
    case ENC_V5:
        *value = static_cast<uint32_t>(e.powered ? e.v5 : 0);
        return 0;
    case ENC_V12:
        *value = static_cast<uint32_t>(e.powered ? e.v12 : 0);
        return 0;
    default:
        return EINVAL;
    }
}

int EnclosureRequest(SimState& s, void* buf)
{
    IOCTL_ENCLOSURE_FRAME& f = As<IOCTL_ENCLOSURE_FRAME>(buf);
    int adapter = f.bCh / CHANNELS_PER_ADAPTER;
    int channel = f.bCh % CHANNELS_PER_ADAPTER;
    if (!HasAdapter(s, adapter))
        return EINVAL;
    if (f.bSubCmd == ENC_POWER_ON || f.bSubCmd == ENC_POWER_OFF)
    {
        if (!SetPower(s, adapter, channel, f.bSubCmd == ENC_POWER_ON))
            return EINVAL;
        f.dwValue = 1;
    }
    else if (EnclosureValue(s.adapters[adapter].enclosure[channel], f.bSubCmd, &f.dwValue) != 0)
        return EINVAL;
    f.ReturnCode = RC_DONE;
    return 0;
}

int Create(SimState& s, void* buf)
{
    IOCTL_CREATE_FRAME& f = As<IOCTL_CREATE_FRAME>(buf);
    s.counters.creates++;
    s.lastCreate = f.Create;
    f.Create.dwStatus = CreateArray(s, f.Create) >= 0 ? 1 : 0;
    f.ReturnCode = RC_DONE;
    return 0;
}

int Delete(SimState& s, void* buf)
{
    IOCTL_DELETE_FRAME& f = As<IOCTL_DELETE_FRAME>(buf);
    s.counters.deletes++;
    f.Delete.dwStatus = DeleteArray(s, f.Delete.bPhysIndex) ? 1 : 0;
    f.ReturnCode = RC_DONE;
    return 0;
}

int Rename(SimState& s, void* buf)
{
    IOCTL_RENAME_FRAME& f = As<IOCTL_RENAME_FRAME>(buf);
    uint32_t g = f.Rename.aryid;
    f.ReturnCode = 0;
    if (g < MAX_ARRAYS && (s.arrays[g].blFlag & ARRAY_DEFINED) && f.Rename.aryname[0])
    {
        memcpy(s.arrays[g].Name, f.Rename.aryname, ARRAY_NAME_LENGTH);
        s.arrays[g].Name[ARRAY_NAME_LENGTH - 1] = '\0';
        f.ReturnCode = kDone;
    }
    return 0;
}

int BatteryRequest(SimState& s, unsigned long code, void* buf)
{
    IOCTL_ADAPTER_FRAME& f = As<IOCTL_ADAPTER_FRAME>(buf);
    if (!HasAdapter(s, f.AdapterId))
        return EINVAL;
    const Battery& b = s.adapters[f.AdapterId].battery;
    switch (code)
    {
    case IOCTL_BATTERY_MODULE:
        f.ReturnCode = b.module;
        break;
    case IOCTL_BATTERY_PACK:
        f.ReturnCode = b.module ? b.pack : 0;
        break;
    case IOCTL_CHARGE_STATUS:
        f.ReturnCode = b.chargeStatus;
        break;
    case IOCTL_CHARGE_CYCLE:
        f.ReturnCode = b.cycles;
        break;
    case IOCTL_BATTERY_TEMPERATURE:
        f.ReturnCode = b.temperature;
        break;
    default:
        f.ReturnCode = b.voltage;
        break;
    }
    return 0;
}

int Dimm(SimState& s, void* buf)
{
    IOCTL_DIMM_FRAME& f = As<IOCTL_DIMM_FRAME>(buf);
    if (!HasAdapter(s, f.AdapterId))
        return EINVAL;
    f.DimmSize = s.adapters[f.AdapterId].dimmSize;
    return 0;
}

// A request whose answer is a setting word: in "number" (byte settings),
// in the ReturnCode (thresholds, write mode) or in "val" (switches).
enum class Form
{
    Number,
    Word,
    Switch
};

int GetSetting(SimState& s, unsigned long code, void* buf, Form form)
{
    uint32_t value = *SettingFor(s, code);
    if (form == Form::Switch)
    {
        As<IOCTL_VALUE_FRAME>(buf).val = value;
        As<IOCTL_VALUE_FRAME>(buf).ReturnCode = RC_DONE;
    }
    else
        As<uint32_t>(buf) = value;
    return 0;
}

int PutSetting(SimState& s, unsigned long code, void* buf)
{
    IOCTL_VALUE_FRAME& f = As<IOCTL_VALUE_FRAME>(buf);
    if (code == IOCTL_SET_WRITE_MODE && f.val > 1)
    {
        f.ReturnCode = 0;
        return 0;
    }
    *SettingFor(s, code) = f.val;
    f.ReturnCode = kDone;
    return 0;
}

struct Handler
{
    unsigned long code;
    size_t size;
    int (*run)(SimState&, unsigned long, void*);
};

#define SIMPLE(fn) [](SimState& s, unsigned long, void* b) { return fn(s, b); }

const Handler kHandlers[] = {
    {IOCTL_VERSION, 0, SIMPLE(Version)},
    {IOCTL_NUM_CONTROLLER, 4,
     [](SimState& s, unsigned long, void* b) {
         As<uint32_t>(b) = s.numAdapters;
         return 0;
     }},
    {IOCTL_GET_ARRAYS, sizeof(IOCTL_ARRAYS_FRAME),
     [](SimState& s, unsigned long, void* b) {
         auto& f = As<IOCTL_ARRAYS_FRAME>(b);
         memcpy(f.Arrays, s.arrays, sizeof(f.Arrays));
         f.ReturnCode = RC_DONE;
         return 0;
     }},
    {IOCTL_GET_CONTROLLER, sizeof(IOCTL_CONTROLLER_FRAME), SIMPLE(Controller)},
    {IOCTL_GET_DISKBLOCKS, sizeof(IOCTL_DISKBLOCKS_FRAME),
     [](SimState& s, unsigned long, void* b) {
         auto& f = As<IOCTL_DISKBLOCKS_FRAME>(b);
         memcpy(f.Blocks, s.blocks, sizeof(f.Blocks));
         f.ReturnCode = RC_DISKBLOCKS;
         return 0;
     }},
    {IOCTL_CHECK_INTEGRITY, sizeof(IOCTL_MORLIVEN_CHECKINTEGRITY_FRAME),
     [](SimState& s, unsigned long, void* b) {
         auto& f = As<IOCTL_MORLIVEN_CHECKINTEGRITY_FRAME>(b);
         f.Status = Synchronise(s, f.bID, f.ulFlag);
         return 0;
     }},
    {IOCTL_REBUILD, sizeof(IOCTL_MORLIVEN_REBUILD_FRAME),
     [](SimState& s, unsigned long, void* b) {
         auto& f = As<IOCTL_MORLIVEN_REBUILD_FRAME>(b);
         f.Status = Rebuild(s, f.bID, f.RebuildDisk, f.ulFlag);
         return 0;
     }},
    {IOCTL_ARRAY_STATUS, sizeof(IOCTL_ARRAYSTATUS_FRAME),
     [](SimState& s, unsigned long, void* b) {
         auto& f = As<IOCTL_ARRAYSTATUS_FRAME>(b);
         memcpy(f.Status, s.status, sizeof(f.Status));
         f.ReturnCode = RC_DONE;
         return 0;
     }},
    {IOCTL_NOTIFY, sizeof(MORLIVENNOTIFICATION),
     [](SimState& s, unsigned long, void* b) {
         As<MORLIVENNOTIFICATION>(b) = s.notify;
         memset(&s.notify, 0, sizeof(s.notify));
         return 0;
     }},
    {IOCTL_GET_CHANNEL_THRESHOLD, 4, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Number); }},
    {IOCTL_PUT_CHANNEL_THRESHOLD, 8, PutSetting},
    {IOCTL_GET_ORIGINAL_CHANNEL_COUNT, 4, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Number); }},
    {IOCTL_PUT_ORIGINAL_CHANNEL_COUNT, 8, PutSetting},
    {IOCTL_PUT_MAINTENANCE_LENGTH, 8, PutSetting},
    {IOCTL_GET_MAINTENANCE_LENGTH, 4, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Number); }},
    {IOCTL_EVENT_COUNT, 8,
     [](SimState& s, unsigned long, void* b) {
         auto& f = As<IOCTL_VALUE_FRAME>(b);
         f.ReturnCode = RC_EVENT_COUNT;
         f.val = s.numEvents;
         return 0;
     }},
    {IOCTL_GET_EVENTS, sizeof(IOCTL_EVENTS_FRAME), SIMPLE(Events)},
    {IOCTL_SMART_STATUS, sizeof(IOCTL_DISK_FRAME), SIMPLE(Smart)},
    {IOCTL_HARDWARE_TYPE, sizeof(IOCTL_HARDWARE_FRAME), SIMPLE(Hardware)},
    {IOCTL_GET_SMART_CHECK, 8, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Switch); }},
    {IOCTL_SET_SMART_CHECK, 8, PutSetting},
    {IOCTL_ENCLOSURE, sizeof(IOCTL_ENCLOSURE_FRAME), SIMPLE(EnclosureRequest)},
    {IOCTL_CREATE_ARRAY, sizeof(IOCTL_CREATE_FRAME), SIMPLE(Create)},
    {IOCTL_DELETE_ARRAY, sizeof(IOCTL_DELETE_FRAME), SIMPLE(Delete)},
    {IOCTL_SET_SYNC_RATE, 8, [](SimState& s, unsigned long c, void* b) { return Rate(s, c, b, true); }},
    {IOCTL_GET_SYNC_RATE, 8, [](SimState& s, unsigned long c, void* b) { return Rate(s, c, b, false); }},
    {IOCTL_SET_REBUILD_RATE, 8, [](SimState& s, unsigned long c, void* b) { return Rate(s, c, b, true); }},
    {IOCTL_GET_REBUILD_RATE, 8, [](SimState& s, unsigned long c, void* b) { return Rate(s, c, b, false); }},
    {IOCTL_EXPANCONV, sizeof(IOCTL_MORLIVEN_EXPANCONV_FRAME),
     [](SimState& s, unsigned long, void* b) {
         auto& f = As<IOCTL_MORLIVEN_EXPANCONV_FRAME>(b);
         f.Status = ExpandConvert(s, f);
         return 0;
     }},
    {IOCTL_SET_EXPANCONV_RATE, 8, [](SimState& s, unsigned long c, void* b) { return Rate(s, c, b, true); }},
    {IOCTL_GET_EXPANCONV_RATE, 8, [](SimState& s, unsigned long c, void* b) { return Rate(s, c, b, false); }},
    {IOCTL_SET_WRITE_CACHE, 8, PutSetting},
    {IOCTL_GET_WRITE_CACHE, 8, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Switch); }},
    {IOCTL_SET_HOT_SPARES, 8, PutSetting},
    {IOCTL_GET_HOT_SPARES, 8, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Switch); }},
    {IOCTL_SET_HOT_SWAP, 8, PutSetting},
    {IOCTL_GET_HOT_SWAP, 8, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Switch); }},
    {IOCTL_SET_BUZZER, 8, PutSetting},
    {IOCTL_GET_BUZZER, 8, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Switch); }},
    {IOCTL_GET_READ_THRESHOLD, 4, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Word); }},
    {IOCTL_GET_WRITE_THRESHOLD, 4, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Word); }},
    {IOCTL_SET_READ_THRESHOLD, 8, PutSetting},
    {IOCTL_SET_WRITE_THRESHOLD, 8, PutSetting},
    {IOCTL_GET_SUBMIT_THRESHOLD, 4, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Word); }},
    {IOCTL_SET_SUBMIT_THRESHOLD, 8, PutSetting},
    {IOCTL_GET_WRITE_MODE, 4, [](SimState& s, unsigned long c, void* b) { return GetSetting(s, c, b, Form::Word); }},
    {IOCTL_SET_WRITE_MODE, 8, PutSetting},
    {IOCTL_RENAME_ARRAY, sizeof(IOCTL_RENAME_FRAME), SIMPLE(Rename)},
    {IOCTL_BATTERY_MODULE, 8, BatteryRequest},
    {IOCTL_BATTERY_PACK, 8, BatteryRequest},
    {IOCTL_CHARGE_STATUS, 8, BatteryRequest},
    {IOCTL_CHARGE_CYCLE, 8, BatteryRequest},
    {IOCTL_BATTERY_TEMPERATURE, 8, BatteryRequest},
    {IOCTL_BATTERY_VOLTAGE, 8, BatteryRequest},
    {IOCTL_CLEAR_LOG, 4,
     [](SimState& s, unsigned long, void* b) {
         s.numEvents = 0;
         As<uint32_t>(b) = kDone;
         return 0;
     }},
    {IOCTL_DIMM_SIZE, sizeof(IOCTL_DIMM_FRAME), SIMPLE(Dimm)},
    {IOCTL_CHECK_BUSY, 4,
     [](SimState& s, unsigned long, void* b) {
         As<uint32_t>(b) = s.busy;
         return 0;
     }},
    {IOCTL_RESET_HDINFO, 4,
     [](SimState&, unsigned long, void* b) {
         As<uint32_t>(b) = kDone;
         return 0;
     }},
};

#undef SIMPLE

const Handler* FindHandler(unsigned long code)
{
    for (const Handler& h : kHandlers)
        if (h.code == code)
            return &h;
    return nullptr;
}

void FillNoise(SimState& s, void* buf, size_t size)
{
    uint8_t* p = static_cast<uint8_t*>(buf);
    for (size_t i = 0; i < size; i++)
    {
        s.noiseSeed = s.noiseSeed * 1103515245u + 12345u;
        p[i] = static_cast<uint8_t>(s.noiseSeed >> 16);
    }
}

Fault* ArmedFault(SimState& s, unsigned long code)
{
    for (Fault& f : s.faults)
        if (f.code == code && f.remaining)
            return &f;
    return nullptr;
}

void AppendLines(std::string& text, const DeviceLine* lines, size_t n, const SimState& s, bool block)
{
    bool placed = !block || !s.driverLoaded;
    char line[64];
    for (size_t i = 0; i < n; i++)
    {
        if (!placed && s.major < lines[i].major)
        {
            snprintf(line, sizeof(line), "%3d zel_st\n", s.major);
            text += line;
            placed = true;
        }
        snprintf(line, sizeof(line), "%3d %s\n", lines[i].major, lines[i].name);
        text += line;
    }
    if (!placed)
    {
        snprintf(line, sizeof(line), "%3d zel_st\n", s.major);
        text += line;
    }
}
} // namespace

std::string DevicesText(const SimState& s)
{
    if (s.useDevicesText)
        return std::string(s.devicesText, strnlen(s.devicesText, sizeof(s.devicesText)));
    std::string text = "Character devices:\n";
    AppendLines(text, kCharDevices, std::size(kCharDevices), s, false);
    text += "\nBlock devices:\n";
    AppendLines(text, kBlockDevices, std::size(kBlockDevices), s, true);
    return text;
}

const char kNodePath[] = "/dev/zeldev";

bool IsNodePath(const char* path)
{
    if (!path)
        return false;
    size_t n = strlen(kNodePath);
    return strncmp(path, kNodePath, n) == 0 && (path[n] == '\0' || (path[n] == '.' && path[n + 1] != '\0'));
}

namespace
{
struct NodeSlot
{
    uint32_t* exists;
    uint32_t* mode;
    uint64_t* dev;
    bool device; // the device node itself, not one beside it
};

// The slot of a node path; with make, a free slot for a new node beside
// the device node.  False when there is none.
bool FindNode(SimState& s, const char* path, bool make, NodeSlot* slot)
{
    if (strcmp(path, kNodePath) == 0)
    {
        *slot = NodeSlot{&s.nodeExists, &s.nodeMode, &s.nodeDev, true};
        return true;
    }
    SideNode* spare = nullptr;
    for (SideNode& n : s.sideNodes)
    {
        if (n.exists && strncmp(n.name, path, sizeof(n.name)) == 0)
        {
            *slot = NodeSlot{&n.exists, &n.mode, &n.dev, false};
            return true;
        }
        if (!n.exists && !spare)
            spare = &n;
    }
    if (!make || !spare || strlen(path) >= sizeof(spare->name))
        return false;
    snprintf(spare->name, sizeof(spare->name), "%s", path);
    *slot = NodeSlot{&spare->exists, &spare->mode, &spare->dev, false};
    return true;
}
} // namespace

int MakeNode(SimState& s, const char* path, mode_t mode, dev_t dev, mode_t mask)
{
    NodeSlot n;
    if (!FindNode(s, path, true, &n))
        return ENOSPC;
    if (*n.exists)
        return EEXIST;
    s.counters.mknods++;
    if (mode != kNodeMode || dev != static_cast<dev_t>(s.major) << 8)
        s.counters.badMknods++;
    *n.exists = 1;
    *n.mode = (mode & S_IFMT) | (mode & 07777 & ~mask);
    *n.dev = dev;
    return 0;
}

int RemoveNode(SimState& s, const char* path)
{
    NodeSlot n;
    if (!FindNode(s, path, false, &n) || !*n.exists)
        return ENOENT;
    *n.exists = 0;
    if (n.device)
        s.counters.nodeUnlinks++;
    return 0;
}

int RenameNode(SimState& s, const char* from, const char* to)
{
    NodeSlot a;
    if (!FindNode(s, from, false, &a) || !*a.exists)
        return ENOENT;
    if (strcmp(from, to) == 0)
        return 0;
    uint32_t mode = *a.mode;
    uint64_t dev = *a.dev;
    *a.exists = 0;
    NodeSlot b;
    if (!FindNode(s, to, true, &b))
    {
        *a.exists = 1;
        return ENOSPC;
    }
    *b.exists = 1;
    *b.mode = mode;
    *b.dev = dev;
    if (b.device)
        s.counters.nodeRenames++;
    return 0;
}

int ChangeNodeMode(SimState& s, const char* path, mode_t mode)
{
    NodeSlot n;
    if (!FindNode(s, path, false, &n) || !*n.exists)
        return ENOENT;
    *n.mode = (*n.mode & S_IFMT) | (mode & 07777);
    return 0;
}

int StatNode(SimState& s, const char* path, struct stat* st)
{
    NodeSlot n;
    if (!FindNode(s, path, false, &n) || !*n.exists)
        return ENOENT;
    memset(st, 0, sizeof(*st));
    st->st_mode = *n.mode;
    st->st_rdev = static_cast<dev_t>(*n.dev);
    st->st_nlink = 1;
    st->st_blksize = 4096;
    return 0;
}

namespace
{
int CheckNode(const SimState& s)
{
    if (!s.nodeExists)
        return ENOENT;
    if ((s.nodeMode & S_IFMT) != S_IFBLK || s.nodeRefused)
        return EACCES;
    if (!s.driverLoaded || s.nodeDev != static_cast<uint64_t>(s.major) << 8)
        return ENXIO;
    return 0;
}
} // namespace

int OpenNode(SimState& s)
{
    int err = CheckNode(s);
    if (err)
    {
        s.counters.nodeOpenFailures++;
        return err;
    }
    s.counters.nodeOpens++;
    return 0;
}

size_t FrameSize(unsigned long code, const void* buf)
{
    if (code == IOCTL_VERSION)
        return *static_cast<const uint32_t*>(buf) == RC_PRESET ? sizeof(StructNUMBER) : sizeof(StrDriverVersion);
    const Handler* h = FindHandler(code);
    return h ? h->size : 0;
}

int DriverIoctl(SimState& s, unsigned long code, void* buf)
{
    s.counters.ioctls++;
    const Handler* h = FindHandler(code);
    if (!h || !buf)
        return EINVAL;
    if (Fault* f = ArmedFault(s, code))
    {
        f->remaining--;
        if (f->mode == FaultMode::Fail)
            return EIO;
        if (f->mode == FaultMode::Garbage)
        {
            FillNoise(s, buf, FrameSize(code, buf));
            return 0;
        }
    }
    return h->run(s, code, buf);
}

void RecordWrite(RecordedWrite* list, uint32_t* count, uint32_t max, const char* data, size_t length)
{
    if (*count == max)
    {
        memmove(&list[0], &list[1], sizeof(RecordedWrite) * (max - 1));
        (*count)--;
    }
    RecordedWrite& w = list[(*count)++];
    memset(&w, 0, sizeof(w));
    w.length = static_cast<uint32_t>(std::min<size_t>(length, sizeof(w.text)));
    memcpy(w.text, data, w.length);
}

void RecordScsiWrite(SimState& s, const char* data, size_t length)
{
    RecordWrite(s.scsi, &s.numScsi, kMaxScsiWrites, data, length);
}

bool SetFault(SimState& s, uint32_t code, FaultMode mode, uint32_t count)
{
    if (!FindHandler(code))
        return false;
    Fault* slot = nullptr;
    for (Fault& f : s.faults)
        if (f.code == code || (!slot && f.remaining == 0))
            slot = &f;
    if (!slot)
        return false;
    *slot = Fault{code, mode, count};
    return true;
}

} // namespace zelsim
