#pragma once

// The simulated controller's whole state: the driver's own tables plus what
// the hardware behind them would report.  It is a plain record so that it
// can live in one file shared by every process of a sandbox.

#include "DriverRecords.h"

#include <cstdint>

namespace zelsim
{

constexpr uint32_t kMagic = 0x5A454C53; // "ZELS"
constexpr uint32_t kStateVersion = 5;
constexpr int kMaxQueuedEvents = 64;
constexpr int kMaxScsiWrites = 16;
constexpr int kWriteLength = 64;
constexpr int kMaxPrintkWrites = 16;
constexpr int kPrintkFields = 4;
// Long enough for a mount table well past the first kilobyte.
constexpr int kMountsLength = 8192;
constexpr int kDevicesLength = 1024;
constexpr int kMaxFaults = 8;
// Nodes made beside the device node, under names that begin with its own
// and a dot, before they are renamed into its place.
constexpr int kMaxSideNodes = 4;
constexpr int kNodeNameLength = 48;
constexpr uint32_t kFullProgress = 100000; // progress in thousandths of a percent

// The driver of this version, packed as the version request answers it:
// major in bits 0..15, minor in 16..23, beta in 24..31.
constexpr uint32_t PackVersion(uint32_t major, uint32_t minor, uint32_t beta)
{
    return major | (minor << 16) | (beta << 24);
}

enum class FaultMode : uint8_t
{
    None = 0,
    Fail = 1,    // the ioctl fails with EIO
    Garbage = 2  // the answer is filled with noise
};

struct Fault
{
    uint32_t code;
    FaultMode mode;
    uint32_t remaining;
};

struct Enclosure
{
    int32_t type; // 0xFF: no enclosure on this channel
    uint32_t capabilities;
    int32_t fan;         // 0 stopped, 1 working, above 1 the speed in rpm
    int32_t temperature; // half degrees Celsius
    int32_t v5;          // millivolts
    int32_t v12;
    uint32_t powered;
};

struct Battery
{
    uint32_t module;
    uint32_t pack;
    uint16_t chargeStatus;
    uint16_t cycles;
    uint16_t temperature;
    uint16_t voltage;
};

struct AdapterModel
{
    _HW_ADAPTER_EXTENSION ext;
    uint8_t smart[DISKS_PER_ADAPTER]; // 0 n/a, 1 ok, 2 failing, 3 unsupported
    uint8_t syncRate[DISKS_PER_ADAPTER];
    uint8_t rebuildRate[DISKS_PER_ADAPTER];
    uint8_t expanRate[DISKS_PER_ADAPTER];
    Enclosure enclosure[CHANNELS_PER_ADAPTER];
    Battery battery;
    uint32_t dimmSize; // MB
    uint32_t deviceId;
};

// A running or paused activity of one array.
struct Activity
{
    uint8_t status;   // driver status code (AS_*), 0 idle
    uint8_t slot;     // member slot being rebuilt
    uint8_t disk;     // disk-table index being rebuilt
    uint8_t newRaid;  // expansion target layout
    uint32_t progress;
    uint8_t newDisks[MAX_MEMBERS]; // expansion: disk-table indices added
    uint8_t numNewDisks;
    uint8_t pad[3];
};

// What one program wrote to a control file between open and close (or in
// one write call), cut to kWriteLength bytes.
struct RecordedWrite
{
    uint32_t length;
    char text[kWriteLength];
};

struct Settings
{
    uint32_t channelThreshold;
    uint32_t originalChannelCount;
    uint32_t maintenanceLength;
    uint32_t readThreshold;
    uint32_t writeThreshold;
    uint32_t submitThreshold;
    uint32_t writeMode;
    uint32_t writeCache;
    uint32_t hotSpares;
    uint32_t hotSwap;
    uint32_t buzzer;
    uint32_t smartCheck;
};

struct Counters
{
    uint32_t procDevicesOpens;
    uint32_t nodeOpens;
    uint32_t mknods;
    uint32_t badMknods;
    uint32_t ioctls;
    uint32_t creates;
    uint32_t deletes;
    // Events pushed out of the full queue before any program read them: with
    // nextQueueNum, what a reader of the queue must account for.
    uint32_t droppedEvents;
    // Opens of the device node that failed, whatever the reason.
    uint32_t nodeOpenFailures;
    // The device node taken away by unlink, and replaced by a rename.
    uint32_t nodeUnlinks;
    uint32_t nodeRenames;
};

// A node beside the device node ("/dev/zeldev.NAME").
struct SideNode
{
    uint32_t exists;
    uint32_t mode;
    uint64_t dev;
    char name[kNodeNameLength];
};

struct SimState
{
    uint32_t magic;
    uint32_t version;

    // How the driver shows itself.
    uint32_t driverLoaded;
    int32_t major;
    uint32_t driverVersion;
    char versionText[VERSION_TEXT_LENGTH];
    char timestampText[VERSION_TEXT_LENGTH];

    // The device node as made through mknod.
    uint32_t nodeExists;
    uint32_t nodeMode;
    uint64_t nodeDev;

    uint32_t numAdapters;
    AdapterModel adapters[MAX_ADAPTERS];
    block blocks[MAX_DISKS];
    array arrays[MAX_ARRAYS];
    _tagArrayStatus status[MAX_ARRAYS];
    Activity activity[MAX_ARRAYS];
    Settings settings;

    logevent events[kMaxQueuedEvents];
    uint32_t numEvents;
    uint32_t nextQueueNum;
    MORLIVENNOTIFICATION notify;
    uint8_t pad[1];

    Fault faults[kMaxFaults];
    uint32_t busy;
    uint32_t noiseSeed;

    uint32_t rate; // thousandths of a percent per second
    int64_t clockMs;

    char mounts[kMountsLength];
    // A listing that replaces the generated "/proc/devices" when set.
    uint32_t useDevicesText;
    char devicesText[kDevicesLength];
    RecordedWrite scsi[kMaxScsiWrites];
    uint32_t numScsi;

    // The driver module's size as "/proc/modules" lists it, and the kernel
    // message levels of "/proc/sys/kernel/printk" with what was written.
    uint32_t moduleSize;
    int32_t printk[kPrintkFields];
    RecordedWrite printkWrites[kMaxPrintkWrites];
    uint32_t numPrintkWrites;

    Counters counters;
    // The last create request as the library sent it.
    IOCTL_MORLIVEN_CREATE_ARRAY_FRAME lastCreate;

    SideNode sideNodes[kMaxSideNodes];
    // A fault: the driver is listed, yet every open of its node is refused.
    uint32_t nodeRefused;
};

// Disk-table index of an adapter's disk position (channel x 2 + device).
inline int DiskIndex(int adapter, int position)
{
    return adapter * DISKS_PER_ADAPTER + position;
}

} // namespace zelsim
