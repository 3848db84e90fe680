#pragma once

// The console utility's shared state: the adapter being worked on and the
// display tables that the listing routines fill and the screens read.

#include "Raidapi.h"

constexpr int kMaxAdapters = 2;
constexpr int kArraysPerAdapter = 4;
constexpr int kDisksPerAdapter = 8;
constexpr int kMaxMembers = 8;
constexpr int kStripeSectors = 128;

// Room for a driver text as the API hands it out.
constexpr int kDriverTextSize = 256;
constexpr int kModelSize = 40;
constexpr int kArrayNameSize = 64;

extern int cardnum;
extern int adanum;
extern const char szHelpFile[];
extern const char helpline[];
extern const char szTitle[];
extern const char* const diskstatus[];
extern const char* const actions[];

struct ShowAdapterInfo
{
    int nAdapter;
    char szCardType[24];
    char szNA[4];
    unsigned long nDimmMB;
    int nChannels;
    char szBattery[4];
};

struct ShowDriverInfo
{
    char szVersion[kDriverTextSize];
    char szDate[kDriverTextSize];
    char szSize[16];
};

struct ShowArrayInfo
{
    int nNumber;
    char szName[kArrayNameSize];
    char szMode[24];
    int nDisks;
    int nStripeKB;
    char szSize[24];
    char szStatus[40];
};

struct ShowDiskInfo
{
    bool bPresent;
    int nArray; // 1-based, 0 for none
    int nChannel; // 1-based
    int nDevice;
    char szXfer[8];
    char szSize[24];
    char szStatus[24];
    long nSectors;
};

struct ShowEnclosureInfo
{
    char szType[24];
    char szFan[16];
    char sz5V[16];
    char sz12V[16];
    char szTemperature[24];
};

struct ShowBatteryBackupInfo
{
    char szModule[8];
    char szPack[8];
    char szCharge[48];
    char szCycle[12];
    char szTemperature[16];
    char szVoltage[16];
};

struct StatArrayInfo
{
    int nPercent;
    raeArrayFunctionalStatus eFunctional;
    raeArrayActivityStatus eActivity;
    int nRebuildDisk;
};

// The free disks of the current adapter, larger first.
struct FreeDiskList
{
    int nCount;
    int nDevice[kDisksPerAdapter];
    long nSize[kDisksPerAdapter];
};

extern ShowAdapterInfo gvShowAdapterInfo[kMaxAdapters];
extern ShowDriverInfo gvShowDriverInfo[kMaxAdapters];
extern ShowArrayInfo gvShowArrayInfo[kMaxAdapters][kArraysPerAdapter];
extern int gnArrayCount[kMaxAdapters];
extern ShowDiskInfo gvShowDiskInfo[kMaxAdapters][kDisksPerAdapter];
extern ShowEnclosureInfo gvShowEnclosureInfo[kMaxAdapters][kDisksPerAdapter];
extern ShowBatteryBackupInfo gvShowBatteryBackupInfo[kMaxAdapters];
extern rasArrayInfo testaryinfo[kMaxAdapters][kArraysPerAdapter];
extern int garrayid[kMaxAdapters][kArraysPerAdapter];
extern StatArrayInfo stataryinfo[kMaxAdapters][kArraysPerAdapter];
extern FreeDiskList freedisk;
extern char diskmodel[kDisksPerAdapter][kModelSize];
