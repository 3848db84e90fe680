#pragma once

#include "DriverRecords.h"
#include "InfoRecords.h"

struct MVTKUTTHRFRAME;

// One adapter of the kernel RAID driver.  Every operation that talks to the
// driver opens its device node, issues its requests and closes it again;
// between calls the object only holds the tables it last read.
class Morliven
{
public:
    // m_ulFlag bits
    enum : ULONG
    {
        FLAG_NO_DRIVER = 0x80000000,
        FLAG_BUSY = 0x40000000,
        FLAG_REBUILD = 0x20000000,
        FLAG_INTEGRITY = 0x10000000,
        FLAG_EXPANSION = 0x08000000
    };
    // m_errno values
    static constexpr UINT ERR_VERSION_MISMATCH = 0x80000001;
    static constexpr UINT ERR_DRIVER_NOT_FOUND = 0x80000002;
    static constexpr ULONG UNKNOWN_COUNT = 0xFFFFFFFF;
    static constexpr ULONG THIS_ADAPTER = 0xFFFFFFFF;
    // GetHardwareType answers
    static constexpr ULONG HARDWARE_QV7K = 0x4000;
    static constexpr ULONG HARDWARE_Q150 = 0x150;

    explicit Morliven(int adapterid);
    ~Morliven();
    Morliven(const Morliven&) = delete;
    Morliven& operator=(const Morliven&) = delete;

    ULONG Initialize();
    ULONG ExitInstance();
    BOOL StopUtility();

    HANDLE OpenMorliven();
    BOOL MorlivenIoControl(HANDLE h, INT Request, LPVOID SrbBuffer);
    BOOL CloseMorliven(HANDLE h);

    UINT IsValid(char* strErr);
    UINT CheckVersion(HANDLE h);
    BOOL GetDriverVersion(char* version, char* timestamp);
    static int AscToInt(const char* buff, int length);

    // Table readers on an open descriptor.
    ULONG GetArrays(HANDLE h);
    ULONG GetNumOfController(HANDLE h);
    ULONG GetControllers(HANDLE h);
    ULONG GetDiskBlocks(HANDLE h);

    ULONG GetNumOfArray();
    ULONG GetNumOfController();
    ULONG GetNumOfDiskBlock();
    ULONG GetNumOfArray(HANDLE h);
    ULONG GetNumOfDiskBlock(HANDLE h);

    ULONG GetArray(ULONG index, tagARRAYINFO* info);
    ULONG GetArrayId(int* ids);
    ULONG GetController(ULONG index, tagCONTROLLERINFO* info);
    ULONG GetChannel(ULONG channel, tagCHANNELINFO* info);
    ULONG GetDiskBlock(ULONG channel, ULONG device, tagDISKBLOCKINFO* info, ULONG adapter);
    ULONG GetDiskBlock(ULONG index, tagDISKBLOCKINFO* info);
    ULONG GetDiskBlock(ULONG arrayIndex, ULONG member, tagDISKBLOCKINFO* info);
    char* GetDiskBlockString(ULONG index);
    static BOOL SwapEndianStr(LPSTR String, ULONG Length);

    ULONG UpdateMorlivenInfo();
    BOOL CheckError();
    BOOL HasError() { return m_bError; }
    BOOL UpdateArrayStatus(HANDLE h);
    BOOL GetArrayStatus(ULONG index, PARRAYSTATUS pAs);
    BOOL GetNotifyData();
    BOOL GetLastNotifyData(PMORLIVENNOTIFICATION pNotification);

    UCHAR GetMaintenanceLength();
    UCHAR PutMaintenanceLength(UCHAR length);
    UCHAR GetChannelThreshold();
    UCHAR PutChannelThreshold(UCHAR threshold);
    UCHAR GetOriginalChannelCount();
    UCHAR PutOriginalChannelCount(UCHAR count);
    ULONG GetReadThreshold();
    ULONG GetWriteThreshold();
    ULONG SetReadThreshold(ULONG value);
    ULONG SetWriteThreshold(ULONG value);
    ULONG GetSubmitChannelThreshold();
    ULONG SetSubmitChannelThreshold(ULONG value);
    ULONG GetWriteMode();
    ULONG SetWriteMode(ULONG mode);

    int GetWriteCacheEnabled(BOOL& enabled);
    int GetHotSparesEnabled(BOOL& enabled);
    int GetHotSwapEnabled(BOOL& enabled);
    int GetAlarmBuzzerEnabled(BOOL& enabled);
    int GetSmartCheckEnabled(BOOL& enabled);
    int SetWriteCacheEnabled(BOOL enabled);
    int SetHotSparesEnabled(BOOL enabled);
    int SetHotSwapEnabled(BOOL enabled);
    int SetAlarmBuzzerEnabled(BOOL enabled);
    int SetSmartCheckEnable(BOOL enabled);

    UCHAR GetSyncRate(ULONG channel, ULONG device);
    UCHAR GetRebuildRate(ULONG channel, ULONG device);
    UCHAR GetExpanConvRate(ULONG channel, ULONG device);
    int SetSyncRate(ULONG channel, ULONG device, UCHAR rate);
    int SetRebuildRate(ULONG channel, ULONG device, UCHAR rate);
    int SetExpanConvRate(ULONG channel, ULONG device, UCHAR rate);
    int GetDiskSmartStatus(ULONG channel, ULONG device, int* status);

    int GetEnclosureType(ULONG channel, ULONG device);
    int GetFanStatus(ULONG channel, ULONG device);
    int GetTemperature(ULONG channel, ULONG device);
    int GetV5VStatus(ULONG channel, ULONG device);
    int GetV12VStatus(ULONG channel, ULONG device);
    int EnclosureCommand(int cmd, ULONG channel, ULONG device);
    int SwapBoxPowerOnOff(ULONG channel, ULONG device, BOOL on);

    ULONG CheckBatteryBackModule(ULONG adapter);
    ULONG CheckBatteryPack(ULONG adapter);
    USHORT GetChargeStatus(ULONG adapter);
    USHORT GetChargeCycle(ULONG adapter);
    USHORT GetBatteryTemperature(ULONG adapter);
    USHORT GetBatteryVoltage(ULONG adapter);
    ULONG GetDimmSize(ULONG adapter);
    ULONG GetHardwareType(ULONG adapter);
    ULONG ClearLog();
    ULONG CheckBusy();
    int ResetHDInfo();

    // Changing arrays.  The maintenance operations return the driver's
    // answer or one of the MAINT_ codes.
    ULONG CreateArray(const CHAR* Arrayname, ULONG blRAID, const UCHAR* diskID, ULONG nDisk, ULONG sbSize);
    ULONG DeleteArray(ULONG ulPhysIndex);
    ULONG RenameArray(ULONG ulIndex, const UCHAR* name);
    ULONG RebuildArray(ULONG ulIndex, ULONG ulDiskInArray, ULONG ulFlag);
    ULONG CheckIntegrity(ULONG ulIndex, ULONG ulFlag);
    ULONG ExpanConv(ULONG ulPhysIndex, ULONG blNewRAID, const ULONG* NewDiskIDs, ULONG nNewDisk, ULONG sbSize,
                    ULONG ulFlag);
    // Logical and physical array numbers are the same.
    static ULONG MapToPhysArray(ULONG index) { return index; }
    static ULONG MapLogicalToPhysicalArray(ULONG index) { return index; }

    // The driver's event queue.
    BOOL GetEventCount(ULONG* pCount);
    // 0 when the driver could not be opened or the request failed: then no
    // record is handed over.  *pFetched gets the number handed over.
    BOOL GetEvents(ULONG NumEvents, LOGEVENT* pEvents, ULONG* pFetched = nullptr);
    // 1 with events, 0 with none queued (or no driver), -1 when the queued
    // ones could not be fetched: then no event is handed over.
    BOOL HasNewEvents(LOGEVENT* pEv, ULONG* pNumEvents);
    // str takes at most EVENT_TEXT_LENGTH bytes, IDString EVENT_ID_LENGTH.
    BOOL GetErrorString(const LOGEVENT* pev, UINT* pErrorLevel, char* str, char* timestamp, UINT* pCode, UINT* aID,
                        UINT* dID, char* IDString, DWORD* EventID);

    int AdapterId;
    MORLIVENNOTIFICATION m_mvNotification;
    int m_percentage;
    _tagArrayStatus m_as[ARRAYS_PER_ADAPTER];
    ULONG NumOfArray;
    array ArrayDef[ARRAYS_PER_ADAPTER];
    ULONG NumOfController;
    _HW_ADAPTER_EXTENSION TavrineAdapter[MAX_ADAPTERS];
    ULONG NumOfDiskBlock;
    block blkDisk[MAX_DISKS];
    block blkDisk2[MAX_DISKS];
    ULONG m_ulFlag;
    HANDLE m_hUtilityThread;
    BOOL m_bUtilityStop;
    USHORT m_prilangid;
    USHORT m_sublangid;
    UINT m_errno;
    int m_iMaintArray;
    int m_iMaintActivity;
    int m_EncType[MAX_ADAPTERS][DISKS_PER_ADAPTER];
    int m_EncPowerStatus[MAX_ADAPTERS][DISKS_PER_ADAPTER];
    int theMorlivenIsExit;
    BOOL m_bError;

private:
    bool IsKnownAdapter() const;
    int FindDriverMajor();
    bool Request(INT code, void* frame, int* result);
    ULONG RetryUnknown(ULONG (Morliven::*reader)(HANDLE), HANDLE h);
    void ReadTables(HANDLE h);
    ULONG GlobalChannelBase(ULONG adapter) const;
    int FindDiskIndex(ULONG globalChannel, ULONG device) const;
    void FindMembership(int disk, tagDISKBLOCKINFO* info) const;
    UCHAR GetByteSetting(INT code);
    UCHAR PutByteSetting(INT code, UCHAR value);
    ULONG GetWordSetting(INT code, ULONG noDriver);
    ULONG SetWordSetting(INT code, ULONG value, ULONG noDriver);
    int GetEnabled(INT code, BOOL& enabled);
    int SetEnabled(INT code, BOOL enabled);
    UCHAR GetRate(INT code, ULONG channel, ULONG device);
    int SetRate(INT code, ULONG channel, ULONG device, UCHAR rate);
    ULONG AdapterRequest(INT code, ULONG adapter);
    ULONG CheckMaintainable(ULONG index, ULONG refusedLayout, bool busyTest);
    ULONG RunWorker(ULONG (*worker)(MVTKUTTHRFRAME*), MVTKUTTHRFRAME* frame, ULONG flag);
    USHORT GlobalArray(ULONG index) const;
};

// Results of the maintenance operations other than the driver's answers.
enum : ULONG
{
    MAINT_TARGET_TOO_SMALL = EXPAN_TARGET_TOO_SMALL,
    MAINT_SAME_ARRAY = EXPAN_SAME_ARRAY,
    MAINT_INVALID_ARRAY = EXPAN_INVALID_ARRAY,
    MAINT_INVALID_DISK = EXPAN_INVALID_DISK,
    MAINT_CANNOT_REBUILD = 0x80000005,
    MAINT_BUSY = 0x80000006,
    MAINT_NO_DRIVER = 0x80000007,
    MAINT_CANNOT_SYNC = 0x80000008,
    MAINT_CANNOT_CONVERT = EXPAN_CANNOT_CONVERT,
    // An expansion request that the driver failed without an answer.
    MAINT_REQUEST_FAILED = 0x8000000A
};

constexpr int EVENT_TEXT_LENGTH = 128;
constexpr int EVENT_ID_LENGTH = 32;

// What a maintenance worker needs: the adapter object and, by activity,
// the global array index and the request's details.
struct MVTKUTTHRFRAME
{
    Morliven* pMorliven;
    union
    {
        struct
        {
            ULONG ulArrayIndex;
        } verify;
        struct
        {
            USHORT usArrayIndex;
            USHORT usDiskInArray;
        } rebuild;
        struct
        {
            USHORT usArrayIndex;
            USHORT usNewRAID;
            USHORT usNewnumDisk;
            USHORT usOldnumDisk;
            USHORT usNewDiskIds[MAX_MEMBERS];
            USHORT usStripeSize;
        } expanconv;
    };
};

// The workers issue one maintenance request each, on the caller's thread;
// the driver carries the activity out in the background.
DWORD MorlivenRebuildThread(MVTKUTTHRFRAME* frame);
ULONG MorlivenCheckIntegrityThread(MVTKUTTHRFRAME* frame);
ULONG MorlivenExpanConvThread(MVTKUTTHRFRAME* frame);

extern Morliven mvs[MAX_ADAPTERS];
extern Morliven* theMorliven;
