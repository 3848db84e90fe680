/*
 * The RAID API of libmvraidapi: a flat set of C functions over the kernel
 * RAID driver.  Every function works on the adapter selected by the last
 * successful raInitialize and returns a raeStatus (0 is success; callers
 * treat any other value as failure).  The functions are not reentrant:
 * callers serialise them.
 *
 * Identifiers: a disk is named by its device id, local channel x 2 +
 * device (0..7, even ids are masters); an array by its local index 0..3.
 */
#ifndef TAVRINE_RAIDAPI_H
#define TAVRINE_RAIDAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C"
{
#endif

#define RAIDAPI_EXPORT __attribute__((visibility("default")))

/* The enumerations are int-sized; in C++ they are fixed to int so that any
 * value a C caller passes is a value of the type. */
#ifdef __cplusplus
#define RA_ENUM(name) enum name : int
#else
#define RA_ENUM(name) enum name
#endif

    typedef uint32_t ULONG;
    typedef uint32_t UINT;
    typedef uint32_t DWORD;
    typedef uint16_t USHORT;
    typedef uint8_t UCHAR;
    typedef int32_t BOOL;

    typedef RA_ENUM(raeStatus)
    {
        reSNotImplemented = -1,
        reSOK = 0,
        reSApiNotInitialized = 1,
        reSGenericError = 2,
        reSFunctionNotSupported = 3,
        reSNoAdapter = 4,
        reSDriverNotFound = 5,
        reSVersionMismatch = 6,
        reSNoDiskPresent = 7,
        reSInvalidArrayId = 8,
        reSArrayStatusError = 9,
        reCannotCreateMailslot = 10,
        reSNoSuchArray = 11,
        reSInvalidArrayNumber = 12,
        reSErrorCreatingArray = 13,
        reSInvalidRAIDMode = 14,
        reSInvalidArrayConfiguration = 15,
        reSTargetSizeToosmall = 16,
        reSSameArrayError = 17,
        reSInvalidDisk = 18,
        reSArrayBusy = 19,
        reSSyncInvalid = 20,
        reSRebuildInvalid = 21,
        reSExpanInvalid = 22,
        reSDriverBusy = 23,
        reSInvalidAdapter = 24
    } raeStatus;

    typedef RA_ENUM(raeAction)
    {
        reGET = 0,
        reSET = 1
    } raeAction;

    typedef RA_ENUM(raeChannelType)
    {
        reChannelUnknown = -1,
        reChannelInvalid = 0,
        reChannelIde = 1,
        reChannelScsi = 2,
        reChannelEnclosure = 3,
        reChannel1394 = 4
    } raeChannelType;

    typedef RA_ENUM(raeDeviceType)
    {
        reDeviceUnknown = -1,
        reDeviceNone = 0,
        reDeviceIdeDisk = 1,
        reDeviceStorage = 2,
        reDeviceCdrom = 3,
        reDeviceArray = 4,
        reDeviceFan = 5,
        reDevicePower = 6,
        reDeviceTemperature = 7,
        reDeviceVoltage = 8
    } raeDeviceType;

    typedef RA_ENUM(raeRaidMode)
    {
        reRaidModeUnknown = -1,
        reRaidModeStriping = 0,
        reRaidModeMirroring = 1,
        reRaidModeStripeMirroring = 2,
        reRaidModeSpan = 3,
        reRaidModeParity = 4,
        reRaidModeParityDistributed = 5,
        reRaidModeJBOD = 6
    } raeRaidMode;

    typedef RA_ENUM(raeArrayFunctionalStatus)
    {
        reArrayFunctionalStatusUnknown = -1,
        reArrayFunctional = 0,
        reArrayCritical = 1,
        reArrayOffline = 2
    } raeArrayFunctionalStatus;

    typedef RA_ENUM(raeArrayActivityStatus)
    {
        reArrayActivityStatusUnknown = -1,
        reArrayIdle = 0,
        reArrayRebuilding = 1,
        reArraySynchronizing = 2,
        reArrayExpanding = 3,
        reArrayRaid5Initializing = 4,
        reArrayRebuildPause = 5,
        reArrayExpanPause = 6,
        reArraySyncPause = 7,
        reArrayEngineRebuilding = 8
    } raeArrayActivityStatus;

    typedef RA_ENUM(raeDiskFunctionalStatus)
    {
        raeDiskFunctionalStatusUnknown = -1,
        reDiskFunctional = 0,
        reDiskOffline = 1,
        reDiskFunctionalNeedsRebuilding = 2
    } raeDiskFunctionalStatus;

    typedef RA_ENUM(raeDiskAssignmentStatus)
    {
        raeDiskAssignmentStatusUnknown = -1,
        reDiskFree = 0,
        reDiskAssigned = 1,
        reDiskSpare = 2,
        reDiskClaimed = 3
    } raeDiskAssignmentStatus;

    typedef RA_ENUM(raeDiskMaintenanceActivity)
    {
        raeMaintenanceNone = 0,
        raeMaintenanceRebuilding = 1,
        raeMaintenanceSynchronizing = 2,
        raeMaintenanceConverting = 3,
        raeMaintenanceRaid5Initializing = 4
    } raeDiskMaintenanceActivity;

    typedef RA_ENUM(raeDiskSMARTStatus)
    {
        raeSMARTUnknown = 0,
        raeSMARTOK = 1,
        raeSMARTFail = 2,
        raeSMARTNotSupported = 3,
        raeSMARTNotAvailable = 4
    } raeDiskSMARTStatus;

    typedef RA_ENUM(raeDiskTiming)
    {
        reDiskTimingUnknown = -1,
        reDiskTimingUDMA4 = 0,
        reDiskTimingUDMA3 = 1,
        reDiskTimingUDMA2 = 2,
        reDiskTimingUDMA1 = 3,
        reDiskTimingUDMA0 = 4,
        reDiskTimingDMA2 = 5,
        reDiskTimingDMA1 = 6,
        reDiskTimingDMA0 = 7,
        reDiskTimingUDMA5 = 8
    } raeDiskTiming;

    typedef RA_ENUM(raeEnclosureType)
    {
        raeNone = 0,
        raeNoDrive = 1,
        raeBramwell = 2,
        raeTindalow = 3,
        raeCorrimontSwap = 4,
        raeUnknown = 5
    } raeEnclosureType;

    typedef RA_ENUM(raeBatteryStatus)
    {
        reBatteryStatusUnknown = -1,
        reBatteryOK = 0,
        reBatteryBusy = 1,
        reBatteryReservedCommand = 2,
        reBatteryUnsupportedCommand = 3,
        reBatteryAccessDenied = 4,
        reBatteryOverflowUnderflow = 5,
        reBatteryBadSize = 6,
        reBatteryUnknownError = 7,
        reBatteryFullyDischarged = 8,
        reBatteryFullyCharged = 9,
        reBatteryDischarging = 10,
        reBatteryInitialized = 11,
        reBatteryRemainingTimeAlarm = 12,
        reBatteryRemainingCapacityAlarm = 13,
        reBatteryTerminateDischargeAlarm = 14,
        reBatteryOverTempAlarm = 15,
        reBatteryTerminateChargeAlarm = 16,
        reBatteryOverChargedAlarm = 17,
        reBatteryDischargingFullyCharged = 18,
        reBatteryDischargingFullyDischarged = 19,
        reBatteryFullyChargedFullyDischarged = 20
    } raeBatteryStatus;

    typedef RA_ENUM(raeWriteMode)
    {
        reNotSupport = -1,
        reWriteBack = 0,
        reWriteThrough = 1
    } raeWriteMode;

    typedef RA_ENUM(raeHardwareType)
    {
        reUnknownType = -1,
        reMorliven = 0,
        reMorlivenQV7K = 1,
        reMorlivenQ150QV7 = 2,
        reKindravel = 3,
        reKindravelQV = 4,
        reVossmereQV = 5
    } raeHardwareType;

    /* Bits of the creation flag: initialise a RAID 5 array, align the array's
     * size to a GB boundary. */
    typedef RA_ENUM(raeCreateAryFlag)
    {
        reFlagUnKnown = -1,
        reFlagNone = 0,
        reFlagRAID5Init = 1,
        reFlagGigaBoundary = 2
    } raeCreateAryFlag;

    /* How to run or steer a maintenance activity. */
    typedef RA_ENUM(raeIgnoreFix)
    {
        raeStart = 0,
        raeFix = 1,
        raeIgnore = 2,
        raePause = 3,
        raeStop = 4,
        raeContinue = 5
    } raeIgnoreFix;

    typedef RA_ENUM(raeEventType)
    {
        reEventUnknown = -1,
        reEventECCError = 0,
        reEventDiskDown = 1,
        reEventDiskPlugin = 2,
        reEventBadSector = 3,
        reEventRebuildStart = 4,
        reEventSyncStart = 5,
        reEventExpanConvStart = 6,
        reEventDiskRetry = 7,
        reEventArrayCritical = 8,
        reEventArrayOffline = 9,
        reEventRebuildCompleted = 10,
        reEventSyncCompleted = 11,
        reEventExpanConvCompleted = 12,
        reEventDiskMediaError = 13,
        reEventReservedSectorError = 14,
        reEventRebuildAborted = 15,
        reEventSyncAborted = 16,
        reEventExpanConvAborted = 17,
        reEventSyncComparisonError = 18,
        reEventSMARTError = 19,
        reEventSwapPowerDown = 20,
        reEventSwapPowerUp = 21,
        reEventSwapBadSwap = 22,
        reEventSwapOverTemp = 23,
        reEventSwapFanStop = 24,
        reEventSwap12VOutOfRange = 25,
        reEventSwap5VOutOfRange = 26,
        reEventArrayCreate = 27,
        reEventArrayDelete = 28
    } raeEventType;

    typedef RA_ENUM(raeEventLevel)
    {
        reInformational = 0,
        reWarning = 1,
        reError = 2
    } raeEventLevel;

    /* One member slot of an array. */
    typedef struct _raidstrm
    {
        UCHAR blFlag;
        UCHAR bIndex; /* the member's index in the disk table */
        UCHAR bDuplicateIndex;
        UCHAR bRedirectIndex;
    } raidstrm;

    typedef struct _rasArrayInfo
    {
        ULONG NumberDisks;
        char Name[64];
        ULONG Status; /* 0 online, 1 offline */
        raidstrm strm[8];
        raeRaidMode RAID;
        UCHAR blFlag;
        UCHAR bWidth;
        UCHAR bLogicalWidth;
        int16_t hStripeBlockSize;
        USHORT NumberOfCylinders;
        USHORT NumberOfHeads;
        USHORT SectorsPerTrack;
        int32_t ulSize; /* sectors */
    } rasArrayInfo;

    typedef struct _rasChannelInfo
    {
        ULONG NumberDisks;
        char Name[32];
        ULONG Status;
        ULONG BaseIoAddress1;
        ULONG BaseIoAddress2;
        ULONG LogicalChannelNumber;
    } rasChannelInfo;

    typedef struct _rasControllerInfo
    {
        ULONG NumberChannels;
        ULONG BusMasterBase;
        ULONG IRQ;
        ULONG SlotNumber;
        ULONG BIOSMemStart;
        ULONG BIOSMemRange;
        ULONG BaseAddressATA;
        ULONG BaseAddressXOR;
        ULONG BaseAddressSEQ;
        ULONG BaseAddressMMIO;
        ULONG BaseAddressSDRAM;
    } rasControllerInfo;

    typedef struct _rasBramwell
    {
        int wFanSpeed;
    } rasBramwell;

    typedef struct _rasTindalow
    {
        int wFanSpeed;
        int wTemperature;
        int w5VVoltage;
        int w12VVoltage;
    } rasTindalow;

    typedef struct _rasCorrimontSwap
    {
        int wFanSpeed;
        int wTemperature;
        int w5VVoltage;
        int w12VVoltage;
        int wKey;
    } rasCorrimontSwap;

    typedef union _rauEnclosureData
    {
        rasBramwell sBramwell;
        rasTindalow sTindalow;
        rasCorrimontSwap sCorrimontSwap;
    } rauEnclosureData;

    typedef struct _rasEvent
    {
        raeEventType eType;
        raeEventLevel eLevel;
        int aID; /* local array index or -1 */
        int dID; /* disk-table index or -1 */
        char desc[128];
    } rasEvent;

    /* One driver event as the driver queues it. */
    typedef struct _rasLogEvent
    {
        ULONG id;
        ULONG TimeStamp;
        ULONG QueueNum;
        ULONG NumOfParams;
        ULONG WarningLevel;
        ULONG ParamList[6];
    } rasLogEvent;

/* At most this many events come back from one raGetEvents or
 * raHasNewEvents; the rest stay queued for the next call. */
#define RA_MAX_EVENTS 20

    /* Selecting an adapter.  *pHandle points at the adapter index (0 or 1) or
     * is null for adapter 0. */
    RAIDAPI_EXPORT raeStatus raInitialize(void** pHandle);
    RAIDAPI_EXPORT raeStatus raTerminate(void* handle);

    /* Adapters, channels and devices. */
    RAIDAPI_EXPORT raeStatus raGetNumberOfAdapters(int* nAdapters);
    RAIDAPI_EXPORT raeStatus raGetMaxChannelsPerAdapter(int* nChannels);
    RAIDAPI_EXPORT raeStatus raGetMaxDeviceInChannel(int iChannel, int* nDevices);
    RAIDAPI_EXPORT raeStatus raScanChannel(int iAdapter, int iChannel, raeChannelType* eType,
                                           int* nChannelId);
    RAIDAPI_EXPORT raeStatus raScanDevice(int iChannel, int iID, raeDeviceType* eType,
                                          int* nDeviceId);
    /* name: at least 40 bytes. */
    RAIDAPI_EXPORT raeStatus raGetDeviceName(int iDeviceID, char* name);
    /* idDisks: room for 8 ids. */
    RAIDAPI_EXPORT raeStatus raEnumerateAllDisks(int* nDisks, int* idDisks);
    RAIDAPI_EXPORT raeStatus raGetControllerInfo(int id, rasControllerInfo* info);
    RAIDAPI_EXPORT raeStatus raGetChannelInfo(int ChannelId, rasChannelInfo* info);

    /* Disks. */
    RAIDAPI_EXPORT raeStatus raGetDiskStatus(int iDeviceID, raeDiskFunctionalStatus* eFunctional,
                                             raeDiskAssignmentStatus* eAssignment,
                                             raeDiskMaintenanceActivity* eActivity,
                                             raeDiskSMARTStatus* eSmart);
    RAIDAPI_EXPORT raeStatus raGetDiskTiming(int iDeviceID, raeDiskTiming* eTiming);
    RAIDAPI_EXPORT raeStatus raGetDiskSize(int iDeviceID, int* nBlocks, int* nBlockSize);
    RAIDAPI_EXPORT raeStatus raGetDiskDescription(int iDeviceID, ULONG* nLBA, int* nCyl, int* nHds,
                                                  int* nSect);

    /* Maintenance rates, per disk. */
    RAIDAPI_EXPORT raeStatus raGetSynchronizationRate(int iDeviceID, int* iRate);
    RAIDAPI_EXPORT raeStatus raGetRebuildRate(int iDeviceID, int* iRate);
    RAIDAPI_EXPORT raeStatus raGetExpanConvRate(int iDeviceID, int* iRate);
    RAIDAPI_EXPORT raeStatus raSetSynchronizationRate(int iDeviceID, int iRate);
    RAIDAPI_EXPORT raeStatus raSetRebuildRate(int iDeviceID, int iRate);
    RAIDAPI_EXPORT raeStatus raSetExpanConvRate(int iDeviceID, int iRate);

    /* Arrays. */
    /* iArrayIds: room for 4 ids. */
    RAIDAPI_EXPORT raeStatus raEnumerateAllArrays(int* nArrays, int* iArrayIds);
    RAIDAPI_EXPORT raeStatus raGetArrayInfo(int ArrayId, rasArrayInfo* info);
    /* Name: at least 64 bytes. */
    RAIDAPI_EXPORT raeStatus raGetArrayName(int iArrayID, char* Name);
    RAIDAPI_EXPORT raeStatus raGetArrayDescription(int iArrayId, raeRaidMode* eMode, ULONG* nSize,
                                                   int* nStripeBlockSize);
    RAIDAPI_EXPORT raeStatus raGetArrayStatus(int iArrayId, raeArrayFunctionalStatus* eFunctional,
                                              raeArrayActivityStatus* eActivity, int* npercentdone);
    /* idDisks: room for 8 ids. */
    RAIDAPI_EXPORT raeStatus raEnumerateDisksInArray(int iArrayId, int* nDisks, int* idDisks);
    /* Every member slot of an array in the driver's order, the failed and
     * missing ones included (raEnumerateDisksInArray lists the members in
     * place only): for slot i, idDisks[i] is the device id of the disk the
     * slot names, -1 when that disk is gone from the adapter, and
     * bInPlace[i] (when not null) is 1 for a member in place, 0 for one
     * that failed or is missing.  The slot's position is the member index
     * that raArrayRebuildDisk takes.  No refresh; room for 8 of each. */
    RAIDAPI_EXPORT raeStatus raEnumerateArrayMembers(int iArrayId, int* nSlots, int* idDisks,
                                                     BOOL* bInPlace);
    RAIDAPI_EXPORT raeStatus raMapLogicalToPhysicalArray(int iLogical, int* iPhysical);
    RAIDAPI_EXPORT raeStatus raNeedUpdate(BOOL* update);
    /* The name is at most 63 characters. */
    RAIDAPI_EXPORT raeStatus raRenameArray(ULONG arrayid, UCHAR* aryname);

    /* Adapter settings: reGET reads into the pointer, reSET writes from it. */
    RAIDAPI_EXPORT raeStatus raOriginalChannelCount(raeAction eAction, int* count);
    RAIDAPI_EXPORT raeStatus raChannelThreshold(raeAction eAction, int* count);
    RAIDAPI_EXPORT raeStatus raMaintenanceLength(raeAction eAction, int* length);
    RAIDAPI_EXPORT raeStatus raSmartCheckEnabled(raeAction eAction, BOOL* enabled);
    RAIDAPI_EXPORT raeStatus raAlarmBuzzerEnabled(raeAction eAction, BOOL* enabled);
    RAIDAPI_EXPORT raeStatus raHotSparesEnabled(raeAction eAction, BOOL* enabled);
    RAIDAPI_EXPORT raeStatus raWriteCacheEnabled(raeAction eAction, BOOL* enabled);
    RAIDAPI_EXPORT raeStatus raHotSwapEnabled(raeAction eAction, BOOL* enabled);
    RAIDAPI_EXPORT raeStatus raReadThreshold(raeAction eAction, ULONG* count);
    RAIDAPI_EXPORT raeStatus raWriteThreshold(raeAction eAction, ULONG* count);
    RAIDAPI_EXPORT raeStatus raSubmitChannelThreshold(raeAction eAction, ULONG* count);
    RAIDAPI_EXPORT raeStatus raWriteMode(raeAction eAction, raeWriteMode* mode);

    /* Enclosures: only even device ids carry one. */
    RAIDAPI_EXPORT raeStatus raEnclosureType(int iDeviceID, raeEnclosureType* eType);
    /* sEncData: room for a rauEnclosureData; *sSize gets the bytes filled. */
    RAIDAPI_EXPORT raeStatus raGetEnclosureStatus(int iDeviceID, raeEnclosureType* eType,
                                                  int* sSize, void* sEncData);

    /* Battery and adapter identity. */
    RAIDAPI_EXPORT raeStatus raCheckBatteryBackModule(ULONG AdapterId, BOOL* bexist);
    RAIDAPI_EXPORT raeStatus raCheckBatteryPack(ULONG AdapterId, BOOL* bexist);
    RAIDAPI_EXPORT raeStatus raGetChargeStatus(ULONG AdapterId, raeBatteryStatus* eStatus);
    RAIDAPI_EXPORT raeStatus raGetChargeCycle(ULONG AdapterId, USHORT* cycles);
    RAIDAPI_EXPORT raeStatus raGetBatteryTemperature(ULONG AdapterId, USHORT* temperature);
    RAIDAPI_EXPORT raeStatus raGetBatteryVoltage(ULONG AdapterId, USHORT* voltage);
    RAIDAPI_EXPORT raeStatus raGetDimmSize(ULONG AdapterId, ULONG* size);
    RAIDAPI_EXPORT raeStatus raGetHardwareType(ULONG AdapterId, raeHardwareType* eType);
    RAIDAPI_EXPORT raeStatus raClearLog(void);

    /* Versions and texts.  version and timestamp: at least 256 bytes each. */
    RAIDAPI_EXPORT raeStatus raGetDriverVersion(char* version, char* timestamp);
    RAIDAPI_EXPORT raeStatus raGetDLLVersion(char* Version);
    RAIDAPI_EXPORT const char* raErrorDescription(raeStatus status);

    /* Creating, deleting and maintaining arrays.  DiskIds and newDiskIds are
     * device ids; the array name is at most 31 characters. */
    RAIDAPI_EXPORT raeStatus raCreateArray(UCHAR* name, raeRaidMode eMode, int numDisk,
                                           UCHAR* DiskIds, int nStripeSize,
                                           raeCreateAryFlag eCreateFlag);
    RAIDAPI_EXPORT raeStatus raDeleteArray(int iArrayId);
    RAIDAPI_EXPORT raeStatus raArrayRebuildDisk(int iArrayId, int iDiskinArray,
                                                raeIgnoreFix eHandle);
    RAIDAPI_EXPORT raeStatus raArraySynchronize(int iArrayId, raeIgnoreFix eHandle);
    RAIDAPI_EXPORT raeStatus raCheckIntegrity(int ArrayId, raeIgnoreFix ehandle);
    RAIDAPI_EXPORT raeStatus raExpanConv(int nArrayId, raeRaidMode eNewMode, int newnumDisk,
                                         int* newDiskIds, int nStripeSize, raeIgnoreFix eHandle);
    /* eNewMode: room for 6 modes. */
    RAIDAPI_EXPORT raeStatus raExpanConvMode(int nArrayId, int newnumDisk, int* newDiskIds,
                                             int* numMode, raeRaidMode* eNewMode);

    /* Events.  pEvents and ev: room for RA_MAX_EVENTS records.  raGetErrorString
     * writes at most 128 bytes into str and 32 into IDString, and empties
     * timestamp.  raGetEvents and raHasNewEvents give -1 when nothing is
     * queued and reSGenericError, with no event, when the queue could not
     * be fetched; the queued events then stay for the next call.  A disk
     * is described as its own adapter last read it, whichever is selected:
     * the driver keeps one queue for all adapters. */
    RAIDAPI_EXPORT raeStatus raGetEvents(rasEvent* pEvents, int* numevents);
    RAIDAPI_EXPORT raeStatus raHasNewEvents(rasLogEvent* ev, ULONG* num);
    RAIDAPI_EXPORT raeStatus raGetErrorString(rasLogEvent* pev, UINT* pErrorLevel, char* str,
                                              char* timestamp, UINT* pCode, UINT* aID, UINT* dID,
                                              char* IDString, DWORD* EventID);

#ifdef __cplusplus
}
#endif

#endif
