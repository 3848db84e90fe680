#pragma once

// The description records that the adapter object fills for its callers.

#include "DriverRecords.h"

typedef enum
{
    UNKNOWN_ARRAY = -1,
    STRIP_ARRAY = 0,
    MIRROR_ARRAY = 1,
    STRIPMIRROR_ARRAY = 2,
    SPAN_ARRAY = 3,
    PARITY_ARRAY = 4,
    PARITYDISTRIBUTED_ARRAY = 5,
    JBOD_ARRAY = 6
} RAID_TYPE;
static_assert(sizeof(RAID_TYPE) == 4, "raid type");

typedef struct tagARRAYINFO
{
    ULONG NumberDisks;
    char Name[ARRAY_NAME_LENGTH];
    ULONG Status;
    strm Strm[MAX_MEMBERS];
    RAID_TYPE RAID;
    BYTE blFlag;
    BYTE bWidth;
    BYTE bLogicalWidth;
    HALF hStripeBlockSize;
    USHORT NumberOfCylinders;
    USHORT NumberOfHeads;
    USHORT SectorsPerTrack;
    UINT64 ulSize;
} ARRAYINFO;
static_assert(sizeof(tagARRAYINFO) == 124, "array info");
static_assert(offsetof(tagARRAYINFO, Status) == 68 && offsetof(tagARRAYINFO, Strm) == 72, "array info");
static_assert(offsetof(tagARRAYINFO, RAID) == 104 && offsetof(tagARRAYINFO, blFlag) == 108, "array info");
static_assert(offsetof(tagARRAYINFO, bLogicalWidth) == 110, "array info");
static_assert(offsetof(tagARRAYINFO, hStripeBlockSize) == 112, "array info");
static_assert(offsetof(tagARRAYINFO, NumberOfCylinders) == 114, "array info");
static_assert(offsetof(tagARRAYINFO, SectorsPerTrack) == 118 && offsetof(tagARRAYINFO, ulSize) == 120, "array info");

enum
{
    ARRAY_STATUS_ONLINE = 0,
    ARRAY_STATUS_OFFLINE = 1
};

typedef struct tagCONTROLLERINFO
{
    ULONG NumberChannels;
    char Name[32];
    ULONG Status;
    uint32_t BusMasterBase;
    ULONG IRQ;
    ULONG SlotNumber;
    ULONG BIOSMemStart;
    ULONG BIOSMemRange;
    uint32_t pBaseAddressATA;
    uint32_t pBaseAddressXOR;
    uint32_t pBaseAddressSEQ;
    uint32_t pBaseAddressMMIO;
    uint32_t pBaseAddressSDRAM;
} CONTROLLERINFO;
static_assert(sizeof(tagCONTROLLERINFO) == 80, "controller info");
static_assert(offsetof(tagCONTROLLERINFO, BusMasterBase) == 40, "controller info");

typedef struct tagCHANNELINFO
{
    ULONG NumberDisks;
    char Name[32];
    ULONG Status;
    uint32_t BaseIoAddress1;
    uint32_t BaseIoAddress2;
    ULONG LogicalChannelNumber;
} CHANNELINFO;
static_assert(sizeof(tagCHANNELINFO) == 52, "channel info");

enum
{
    CHANNEL_STATUS_DISKS = 1,
    CHANNEL_STATUS_EMPTY = 5
};

typedef struct tagDISKBLOCKINFO
{
    ULONG Status;
    DWORD NumberOfCylinders;
    USHORT NumberOfHeads;
    USHORT SectorsPerTrack;
    BYTE bBlkFlag;
    BYTE bStrmFlag;
    UINT64 wSize;
    BYTE bAdapter;
    BYTE bCh;
    BYTE bID;
    BYTE bArray;
    UCHAR DmaCycleTimingMode;
    USHORT UDMAMode;
    USHORT Capabilities;
    USHORT ValidBit;
    char Name[MODEL_LENGTH];
} DISKBLOCKINFO;
static_assert(sizeof(tagDISKBLOCKINFO) == 72, "disk info");
static_assert(offsetof(tagDISKBLOCKINFO, bBlkFlag) == 12 && offsetof(tagDISKBLOCKINFO, wSize) == 16, "disk info");
static_assert(offsetof(tagDISKBLOCKINFO, bAdapter) == 20 && offsetof(tagDISKBLOCKINFO, bArray) == 23, "disk info");
static_assert(offsetof(tagDISKBLOCKINFO, DmaCycleTimingMode) == 24, "disk info");
static_assert(offsetof(tagDISKBLOCKINFO, UDMAMode) == 26 && offsetof(tagDISKBLOCKINFO, ValidBit) == 30, "disk info");
static_assert(offsetof(tagDISKBLOCKINFO, Name) == 32, "disk info");

enum
{
    DISK_STATUS_MEMBER = 2,
    DISK_STATUS_UNUSABLE = 3,
    DISK_STATUS_FREE = 4,
    DISK_NO_ARRAY = 4
};
