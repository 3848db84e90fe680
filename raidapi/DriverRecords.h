#pragma once

// The driver's scalar vocabulary and the records that cross its ioctl
// interface.  The driver was built for i386, so every record here is laid
// out with fixed-width fields and natural alignment; the static_asserts pin
// each size and offset so that a 64-bit build talks the same bytes.

#include <cstddef>
#include <cstdint>

typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint32_t RAID_WORD;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef int32_t INT;
typedef int32_t BOOL;
typedef int32_t BOOLEAN;
typedef int32_t HANDLE;
typedef uint16_t USHORT;
typedef uint16_t WORD;
typedef int16_t HALF;
typedef uint8_t UCHAR;
typedef uint8_t BYTE;
typedef uint8_t BoOL;
typedef char CHAR;
// The driver's "64-bit" sizes are 32 bits wide.
typedef int32_t UINT64;
typedef void* LPVOID;
typedef char* LPSTR;

// Request codes.
enum
{
    IOCTL_VERSION = 0x4001,
    IOCTL_NUM_CONTROLLER = 0x4003,
    IOCTL_GET_ARRAYS = 0x4004,
    IOCTL_GET_CONTROLLER = 0x4005,
    IOCTL_GET_DISKBLOCKS = 0x4006,
    IOCTL_CHECK_INTEGRITY = 0x4008,
    IOCTL_REBUILD = 0x4009,
    IOCTL_ARRAY_STATUS = 0x400a,
    IOCTL_NOTIFY = 0x400b,
    IOCTL_GET_CHANNEL_THRESHOLD = 0x400c,
    IOCTL_PUT_CHANNEL_THRESHOLD = 0x400d,
    IOCTL_GET_ORIGINAL_CHANNEL_COUNT = 0x400e,
    IOCTL_PUT_ORIGINAL_CHANNEL_COUNT = 0x400f,
    IOCTL_PUT_MAINTENANCE_LENGTH = 0x4010,
    IOCTL_GET_MAINTENANCE_LENGTH = 0x4011,
    IOCTL_EVENT_COUNT = 0x4012,
    IOCTL_GET_EVENTS = 0x4013,
    IOCTL_SMART_STATUS = 0x4014,
    IOCTL_HARDWARE_TYPE = 0x4015,
    IOCTL_GET_SMART_CHECK = 0x4016,
    IOCTL_SET_SMART_CHECK = 0x4017,
    IOCTL_ENCLOSURE = 0x4018,
    IOCTL_CREATE_ARRAY = 0x4019,
    IOCTL_DELETE_ARRAY = 0x401a,
    IOCTL_SET_SYNC_RATE = 0x401b,
    IOCTL_GET_SYNC_RATE = 0x401c,
    IOCTL_SET_REBUILD_RATE = 0x401d,
    IOCTL_GET_REBUILD_RATE = 0x401e,
    IOCTL_EXPANCONV = 0x401f,
    IOCTL_SET_EXPANCONV_RATE = 0x4020,
    IOCTL_GET_EXPANCONV_RATE = 0x4021,
    IOCTL_SET_WRITE_CACHE = 0x4023,
    IOCTL_GET_WRITE_CACHE = 0x4024,
    IOCTL_SET_HOT_SPARES = 0x4025,
    IOCTL_GET_HOT_SPARES = 0x4026,
    IOCTL_SET_HOT_SWAP = 0x4027,
    IOCTL_GET_HOT_SWAP = 0x4028,
    IOCTL_SET_BUZZER = 0x402b,
    IOCTL_GET_BUZZER = 0x402c,
    IOCTL_GET_READ_THRESHOLD = 0x402d,
    IOCTL_GET_WRITE_THRESHOLD = 0x402e,
    IOCTL_SET_READ_THRESHOLD = 0x402f,
    IOCTL_SET_WRITE_THRESHOLD = 0x4030,
    IOCTL_GET_SUBMIT_THRESHOLD = 0x4031,
    IOCTL_SET_SUBMIT_THRESHOLD = 0x4032,
    IOCTL_GET_WRITE_MODE = 0x4033,
    IOCTL_SET_WRITE_MODE = 0x4034,
    IOCTL_RENAME_ARRAY = 0x4035,
    IOCTL_BATTERY_MODULE = 0x4036,
    IOCTL_BATTERY_PACK = 0x4037,
    IOCTL_CHARGE_STATUS = 0x4038,
    IOCTL_CHARGE_CYCLE = 0x4039,
    IOCTL_BATTERY_TEMPERATURE = 0x4040,
    IOCTL_BATTERY_VOLTAGE = 0x4041,
    IOCTL_CLEAR_LOG = 0x4042,
    IOCTL_DIMM_SIZE = 0x4043,
    IOCTL_CHECK_BUSY = 0x4044,
    IOCTL_RESET_HDINFO = 0x4045
};

// Table sizes of the driver.
enum
{
    MAX_ADAPTERS = 2,
    ARRAYS_PER_ADAPTER = 4,
    MAX_ARRAYS = 8,
    DISKS_PER_ADAPTER = 8,
    MAX_DISKS = 16,
    CHANNELS_PER_ADAPTER = 4,
    MAX_MEMBERS = 8,
    MAX_EVENTS = 20,
    ARRAY_NAME_LENGTH = 64,
    MODEL_LENGTH = 40
};

// The answers the driver writes into a ReturnCode word on success.
constexpr ULONG RC_PRESET = 0xFFFFFFFF;
constexpr ULONG RC_DONE = 0xFFFF;
constexpr ULONG RC_CONTROLLER = 4172;
constexpr ULONG RC_DISKBLOCKS = 384;
constexpr ULONG RC_EVENT_COUNT = 4;

struct block
{
    BoOL blFlag;
    BYTE bStream;
    BYTE bCh;
    BYTE bID;
    UCHAR bSerial[8];
    RAID_WORD wStartLBA;
    RAID_WORD wSize;
    RAID_WORD wWatermark;
};
static_assert(sizeof(block) == 24, "block");
static_assert(offsetof(block, bSerial) == 4 && offsetof(block, wStartLBA) == 12, "block");
static_assert(offsetof(block, wSize) == 16 && offsetof(block, wWatermark) == 20, "block");

// block.blFlag bits
enum
{
    BLK_PRESENT = 0x01,
    BLK_USABLE = 0x02,
    BLK_MEMBER = 0x04,
    BLK_NEEDS_REBUILD = 0x20
};

struct strm
{
    BoOL blFlag;
    BYTE bIndex;
    BYTE bDuplicateIndex;
    BYTE bRedirectIndex;
};
static_assert(sizeof(strm) == 4, "strm");

// strm.blFlag bits
enum
{
    STRM_VALID = 0x01,
    STRM_ONLINE = 0x02,
    STRM_MISSING = 0x08 | 0x10 | 0x40 | 0x80,
    STRM_FAILED = 0x08
};

struct array
{
    HALF hGeneration;
    BoOL blFlag;
    BoOL blRAID;
    BYTE bWidth;
    BYTE bStripeBlockPower;
    BYTE bLogicalWidth;
    BYTE bID;
    RAID_WORD wSize;
    HALF hCyl;
    BYTE bHd;
    BYTE bSctr;
    UCHAR bSerial[8];
    RAID_WORD wWatermark;
    HALF hStripeBlockSize;
    HALF hStripeSize;
    strm Strm[MAX_MEMBERS];
    UCHAR Name[ARRAY_NAME_LENGTH];
    BYTE bInit;
    UCHAR Reserved1[7];
};
static_assert(sizeof(array) == 136, "array");
static_assert(offsetof(array, blFlag) == 2 && offsetof(array, bWidth) == 4, "array");
static_assert(offsetof(array, bLogicalWidth) == 6 && offsetof(array, wSize) == 8, "array");
static_assert(offsetof(array, hCyl) == 12 && offsetof(array, bHd) == 14, "array");
static_assert(offsetof(array, bSctr) == 15 && offsetof(array, bSerial) == 16, "array");
static_assert(offsetof(array, wWatermark) == 24 && offsetof(array, hStripeBlockSize) == 28, "array");
static_assert(offsetof(array, Strm) == 32 && offsetof(array, Name) == 64, "array");
static_assert(offsetof(array, bInit) == 128 && offsetof(array, Reserved1) == 129, "array");

// array.blFlag bits and layout codes
enum
{
    ARRAY_DEFINED = 0x01,
    ARRAY_ONLINE = 0x0E,
    ARRAY_DEGRADED = 0x10,
    ARRAY_HEALTHY = 0x0F
};
enum
{
    RAID_STRIPING = 0,
    RAID_MIRRORING = 1,
    RAID_PARITY = 2,
    RAID_DISTRIBUTED_PARITY = 4,
    RAID_SPANNING = 8,
    RAID_JBOD = 16
};

// The ATA IDENTIFY DEVICE block, 256 words.
struct _IDENTIFY_DATA2
{
    USHORT config;
    USHORT cyls;
    USHORT reserved2;
    USHORT heads;
    USHORT track_bytes;
    USHORT sector_bytes;
    USHORT sectors;
    USHORT vendor0[3];
    UCHAR serial_no[20];
    USHORT buf_type;
    USHORT buf_size;
    USHORT ecc_bytes;
    UCHAR fw_rev[8];
    UCHAR model[MODEL_LENGTH];
    UCHAR max_multsect;
    UCHAR vendor3;
    USHORT dword_io;
    UCHAR vendor4;
    UCHAR capability;
    USHORT reserved50;
    UCHAR vendor5;
    UCHAR tPIO;
    UCHAR vendor6;
    UCHAR tDMA;
    USHORT field_valid;
    USHORT cur_cyls;
    USHORT cur_heads;
    USHORT cur_sectors;
    USHORT cur_capacity[2];
    UCHAR multsect;
    UCHAR multsect_valid;
    UINT lba_capacity;
    USHORT dma_1word;
    USHORT dma_mword;
    USHORT words64_82[19];
    USHORT UDMACommandSupport2;
    USHORT words84_87[4];
    USHORT dma_ultra;
    USHORT words89_99[11];
    USHORT max_48LBA[2];
    USHORT words102_255[154];
};
static_assert(sizeof(_IDENTIFY_DATA2) == 512, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, cyls) == 2 && offsetof(_IDENTIFY_DATA2, heads) == 6, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, sectors) == 12 && offsetof(_IDENTIFY_DATA2, model) == 54, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, capability) == 99, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, field_valid) == 106, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, lba_capacity) == 120, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, dma_mword) == 126, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, UDMACommandSupport2) == 166, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, dma_ultra) == 176, "identify");
static_assert(offsetof(_IDENTIFY_DATA2, max_48LBA) == 200, "identify");

struct _HW_ADAPTER_EXTENSION
{
    uint32_t BusMasterBase;
    ULONG InterruptLine;
    ULONG lSlotNum;
    ULONG ExpansionROM;
    uint32_t BaseIoAddress1[2];
    uint32_t BaseIoAddress2[2];
    uint32_t DataBuffer;
    ULONG NumberChannels;
    _IDENTIFY_DATA2 IdentifyData[DISKS_PER_ADAPTER];
    int32_t DevicePresent[DISKS_PER_ADAPTER];
    UCHAR BlockCount;
    UCHAR Padding[3];
};
static_assert(sizeof(_HW_ADAPTER_EXTENSION) == 4172, "adapter");
static_assert(offsetof(_HW_ADAPTER_EXTENSION, BaseIoAddress1) == 16, "adapter");
static_assert(offsetof(_HW_ADAPTER_EXTENSION, BaseIoAddress2) == 24, "adapter");
static_assert(offsetof(_HW_ADAPTER_EXTENSION, NumberChannels) == 36, "adapter");
static_assert(offsetof(_HW_ADAPTER_EXTENSION, IdentifyData) == 40, "adapter");
static_assert(offsetof(_HW_ADAPTER_EXTENSION, DevicePresent) == 4136, "adapter");
static_assert(offsetof(_HW_ADAPTER_EXTENSION, BlockCount) == 4168, "adapter");

// Driver status codes of an array's running activity.
enum
{
    AS_IDLE = 0,
    AS_ENGINE_REBUILD = 1,
    AS_REBUILD = 2,
    AS_SYNC = 3,
    AS_EXPAND = 4,
    AS_REBUILD_PAUSED = 5,
    AS_EXPAND_PAUSED = 6,
    AS_SYNC_PAUSED = 7,
    AS_RAID5_INIT = 8,
    AS_IN_FLIGHT = 255
};

typedef struct _tagArrayStatus
{
    char status;
    UCHAR percentage;
    UCHAR integrity;
    UCHAR reserved;
} ARRAYSTATUS, *PARRAYSTATUS;
static_assert(sizeof(_tagArrayStatus) == 4, "array status");

typedef struct _tagMorlivenNotification
{
    char NotifyType;
    char bCh;
    char bId;
} MORLIVENNOTIFICATION, *PMORLIVENNOTIFICATION;
static_assert(sizeof(MORLIVENNOTIFICATION) == 3, "notification");

enum
{
    NOTIFY_NONE = 0,
    NOTIFY_HOT_PLUG = 1
};

typedef struct _NUMBER
{
    ULONG number;
} StructNUMBER;
static_assert(sizeof(StructNUMBER) == 4, "number");

constexpr ULONG VERSION_TEXT_LENGTH = 50;

typedef struct _DriverVersion
{
    ULONG version_length;
    char version[VERSION_TEXT_LENGTH];
    ULONG timestamp_length;
    char timestamp[VERSION_TEXT_LENGTH];
} StrDriverVersion;
static_assert(sizeof(StrDriverVersion) == 112, "driver version");
static_assert(offsetof(StrDriverVersion, timestamp_length) == 56, "driver version");
static_assert(offsetof(StrDriverVersion, timestamp) == 60, "driver version");

enum
{
    EVENT_PARAMS = 6
};

typedef struct logevent
{
    RAID_WORD id;
    RAID_WORD TimeStamp;
    RAID_WORD QueueNum;
    RAID_WORD NumOfParams;
    RAID_WORD WarningLevel;
    RAID_WORD ParamList[EVENT_PARAMS];
} LOGEVENT;
static_assert(sizeof(logevent) == 44, "logevent");

// Request frames.

struct IOCTL_ARRAYS_FRAME
{
    ULONG ReturnCode;
    array Arrays[MAX_ARRAYS];
};
static_assert(sizeof(IOCTL_ARRAYS_FRAME) == 1092, "arrays frame");

struct IOCTL_CONTROLLER_FRAME
{
    ULONG Adapterindex;
    ULONG ReturnCode;
    _HW_ADAPTER_EXTENSION Adapter;
};
static_assert(sizeof(IOCTL_CONTROLLER_FRAME) == 4180, "controller frame");

struct IOCTL_DISKBLOCKS_FRAME
{
    ULONG ReturnCode;
    block Blocks[MAX_DISKS];
};
static_assert(sizeof(IOCTL_DISKBLOCKS_FRAME) == 388, "disk blocks frame");

struct IOCTL_ARRAYSTATUS_FRAME
{
    ULONG ReturnCode;
    _tagArrayStatus Status[MAX_ARRAYS];
};
static_assert(sizeof(IOCTL_ARRAYSTATUS_FRAME) == 36, "array status frame");

// The frame of every request that carries one word after its ReturnCode.
struct IOCTL_VALUE_FRAME
{
    ULONG ReturnCode;
    ULONG val;
};
static_assert(sizeof(IOCTL_VALUE_FRAME) == 8, "value frame");

struct IOCTL_EVENTS_FRAME
{
    ULONG ReturnCode;
    ULONG EventCount;
    logevent Events[MAX_EVENTS];
};
static_assert(sizeof(IOCTL_EVENTS_FRAME) == 888, "events frame");

// SMART status and the three rate requests share this layout; the last
// byte is the SMART status or the rate.
struct IOCTL_DISK_FRAME
{
    ULONG ReturnCode;
    UCHAR bController;
    UCHAR bCh;
    UCHAR bID;
    UCHAR bValue;
};
static_assert(sizeof(IOCTL_DISK_FRAME) == 8, "disk frame");

struct IOCTL_HARDWARE_FRAME
{
    ULONG AdapterIndex;
    ULONG ReturnCode;
    ULONG dwThornvaleType;
    ULONG dwVendorId;
    ULONG dwDeviceId;
    ULONG dwSubsystemId;
    ULONG dwClassCode;
};
static_assert(sizeof(IOCTL_HARDWARE_FRAME) == 28, "hardware frame");

struct IOCTL_ENCLOSURE_FRAME
{
    ULONG ReturnCode;
    UCHAR bSubCmd;
    UCHAR bCh;
    UCHAR bID;
    UCHAR bFanIndex;
    ULONG dwValue;
};
static_assert(sizeof(IOCTL_ENCLOSURE_FRAME) == 12, "enclosure frame");

enum
{
    ENC_TYPE = 0,
    ENC_FAN = 1,
    ENC_TEMPERATURE = 2,
    ENC_V5 = 3,
    ENC_V12 = 4,
    ENC_CAPABILITIES = 5,
    ENC_POWER_OFF = 6,
    ENC_POWER_ON = 7
};

struct IOCTL_MORLIVEN_CHECKINTEGRITY_FRAME
{
    USHORT bID;
    USHORT Status;
    ULONG Percentage;
    ULONG ulFlag;
    ULONG reserved[12];
    ULONG bIntegrity;
};
static_assert(sizeof(IOCTL_MORLIVEN_CHECKINTEGRITY_FRAME) == 64, "check frame");
static_assert(offsetof(IOCTL_MORLIVEN_CHECKINTEGRITY_FRAME, ulFlag) == 8, "check frame");
static_assert(offsetof(IOCTL_MORLIVEN_CHECKINTEGRITY_FRAME, bIntegrity) == 60, "check frame");

struct IOCTL_MORLIVEN_REBUILD_FRAME
{
    USHORT bID;
    USHORT Status;
    ULONG Percentage;
    ULONG ulFlag;
    ULONG reserved[12];
    ULONG RebuildDisk;
};
static_assert(sizeof(IOCTL_MORLIVEN_REBUILD_FRAME) == 64, "rebuild frame");
static_assert(offsetof(IOCTL_MORLIVEN_REBUILD_FRAME, RebuildDisk) == 60, "rebuild frame");

struct IOCTL_MORLIVEN_CREATE_ARRAY_FRAME
{
    ULONG blRAID;
    UCHAR nDisk;
    UCHAR DiskID[MAX_MEMBERS];
    UCHAR nStripeBlockSize;
    char Arrayname[32];
    LONG dwStatus;
};
static_assert(sizeof(IOCTL_MORLIVEN_CREATE_ARRAY_FRAME) == 52, "create frame");
static_assert(offsetof(IOCTL_MORLIVEN_CREATE_ARRAY_FRAME, DiskID) == 5, "create frame");
static_assert(offsetof(IOCTL_MORLIVEN_CREATE_ARRAY_FRAME, nStripeBlockSize) == 13, "create frame");
static_assert(offsetof(IOCTL_MORLIVEN_CREATE_ARRAY_FRAME, Arrayname) == 14, "create frame");
static_assert(offsetof(IOCTL_MORLIVEN_CREATE_ARRAY_FRAME, dwStatus) == 48, "create frame");

struct IOCTL_CREATE_FRAME
{
    ULONG ReturnCode;
    IOCTL_MORLIVEN_CREATE_ARRAY_FRAME Create;
};
static_assert(sizeof(IOCTL_CREATE_FRAME) == 56, "create request");

// Layout-code flag bits of a create request.
enum : ULONG
{
    CREATE_STRIPE_MIRROR = 0x100,
    CREATE_RAID5_INIT = 0x40000000,
    CREATE_GIGA_BOUNDARY = 0x80000000
};

struct IOCTL_MORLIVEN_DELETE_ARRAY_FRAME
{
    UCHAR bPhysIndex;
    LONG dwStatus;
};
static_assert(sizeof(IOCTL_MORLIVEN_DELETE_ARRAY_FRAME) == 8, "delete frame");
static_assert(offsetof(IOCTL_MORLIVEN_DELETE_ARRAY_FRAME, dwStatus) == 4, "delete frame");

struct IOCTL_DELETE_FRAME
{
    ULONG ReturnCode;
    IOCTL_MORLIVEN_DELETE_ARRAY_FRAME Delete;
};
static_assert(sizeof(IOCTL_DELETE_FRAME) == 12, "delete request");

struct IOCTL_MORLIVEN_EXPANCONV_FRAME
{
    USHORT nPhysIndex;
    ULONG Status;
    ULONG Percentage;
    ULONG ulFlag;
    USHORT nNewRAID;
    USHORT nNewDisk;
    USHORT nNewDiskIDs[16];
    USHORT nStripeBlockSize;
};
static_assert(sizeof(IOCTL_MORLIVEN_EXPANCONV_FRAME) == 56, "expansion frame");
static_assert(offsetof(IOCTL_MORLIVEN_EXPANCONV_FRAME, Status) == 4, "expansion frame");
static_assert(offsetof(IOCTL_MORLIVEN_EXPANCONV_FRAME, ulFlag) == 12, "expansion frame");
static_assert(offsetof(IOCTL_MORLIVEN_EXPANCONV_FRAME, nNewRAID) == 16, "expansion frame");
static_assert(offsetof(IOCTL_MORLIVEN_EXPANCONV_FRAME, nNewDiskIDs) == 20, "expansion frame");
static_assert(offsetof(IOCTL_MORLIVEN_EXPANCONV_FRAME, nStripeBlockSize) == 52, "expansion frame");

// Results of an expansion request other than 0 (accepted).
enum : ULONG
{
    EXPAN_TARGET_TOO_SMALL = 0x80000001,
    EXPAN_SAME_ARRAY = 0x80000002,
    EXPAN_INVALID_ARRAY = 0x80000003,
    EXPAN_INVALID_DISK = 0x80000004,
    EXPAN_CANNOT_CONVERT = 0x80000009
};

struct IOCTL_MORLIVEN_RENAMEARRAY_FRAME
{
    ULONG aryid;
    UCHAR aryname[ARRAY_NAME_LENGTH];
};
static_assert(sizeof(IOCTL_MORLIVEN_RENAMEARRAY_FRAME) == 68, "rename frame");

struct IOCTL_RENAME_FRAME
{
    ULONG ReturnCode;
    IOCTL_MORLIVEN_RENAMEARRAY_FRAME Rename;
};
static_assert(sizeof(IOCTL_RENAME_FRAME) == 72, "rename request");

// Battery requests: the adapter first, the answer in the ReturnCode.
struct IOCTL_ADAPTER_FRAME
{
    ULONG AdapterId;
    ULONG ReturnCode;
};
static_assert(sizeof(IOCTL_ADAPTER_FRAME) == 8, "adapter frame");

// The DIMM size request uses the version record's layout: the adapter in
// the first word, the answer in the word at offset 56.
struct IOCTL_DIMM_FRAME
{
    ULONG AdapterId;
    char Reserved1[52];
    ULONG DimmSize;
    char Reserved2[52];
};
static_assert(sizeof(IOCTL_DIMM_FRAME) == sizeof(StrDriverVersion), "dimm frame");
static_assert(offsetof(IOCTL_DIMM_FRAME, DimmSize) == 56, "dimm frame");
