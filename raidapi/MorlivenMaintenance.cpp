// Creating, deleting and renaming arrays, and the requests that start or
// steer rebuild, synchronisation and expansion.

#include "Morliven.h"

#include <stdio.h>
#include <string.h>

namespace
{
const char kProcScsi[] = "/proc/scsi/scsi";
// The kernel's SCSI layer learns of a new or removed array through these
// texts; the character at the given place becomes the array's number.
const char kScsiAdd[] = "scsi add-single-device 0 0 0 0";
const size_t kScsiAddNumber = 27;
const char kScsiRemove[] = "scsi remove-single-device 0 0 0 0";
const size_t kScsiRemoveNumber = 30;

const UCHAR kPercentUnknown = 255;
const ULONG kRebuildBits = Morliven::FLAG_BUSY | Morliven::FLAG_REBUILD;
const ULONG kCheckBits = Morliven::FLAG_BUSY | Morliven::FLAG_INTEGRITY;
const ULONG kExpansionBits = Morliven::FLAG_BUSY | Morliven::FLAG_EXPANSION;

// Writes the text with its terminator, as the SCSI layer expects one
// write per command.  A kernel without the file is left alone.
template <size_t N> void TellScsi(const char (&text)[N], size_t numberAt, ULONG number)
{
    if (number >= MAX_ARRAYS)
        return;
    char command[N];
    memcpy(command, text, N);
    command[numberAt] = static_cast<char>('0' + number);
    FILE* f = fopen(kProcScsi, "w");
    if (!f)
        return;
    fwrite(command, 1, N, f);
    fclose(f);
}

// Copies a name into a fixed field, cut to leave room for the terminator
// and zero-filled so that no byte past the caller's text is read.
void CopyName(char* field, size_t width, const void* name)
{
    memset(field, 0, width);
    if (name)
        strncpy(field, static_cast<const char*>(name), width - 1);
}

struct WorkerRequest
{
    INT code;
    UCHAR status; // what the cache shows while the request is in flight
    ULONG clearBits;
};

const WorkerRequest kRebuild = {IOCTL_REBUILD, AS_REBUILD, kRebuildBits};
const WorkerRequest kCheck = {IOCTL_CHECK_INTEGRITY, AS_SYNC, kCheckBits};
const WorkerRequest kExpansion = {IOCTL_EXPANCONV, AS_EXPAND, kExpansionBits};

// The adapter's own index of a global array index, or -1.
int LocalArray(const Morliven& m, ULONG global)
{
    ULONG base = static_cast<ULONG>(m.AdapterId) * ARRAYS_PER_ADAPTER;
    return global >= base && global < base + ARRAYS_PER_ADAPTER ? static_cast<int>(global - base)
                                                                : -1;
}

// Opens the driver, marks the array in the cache and issues the request.
// *result gets the ioctl's result; false when the driver could not be
// opened.
bool Issue(Morliven& m, int local, const WorkerRequest& w, void* frame, int* result)
{
    HANDLE h = m.OpenMorliven();
    if (h == -1)
        return false;
    m.m_as[local].status = static_cast<char>(w.status);
    m.m_as[local].percentage = kPercentUnknown;
    m.m_percentage = 0;
    *result = m.MorlivenIoControl(h, w.code, frame);
    m.m_percentage = 0;
    m.CloseMorliven(h);
    // Differs from any status the driver reports, so the next poll sees a
    // change and reads the activity afresh.
    m.m_as[local].status = static_cast<char>(AS_IN_FLIGHT);
    return true;
}

// The common part of the workers: the frame carries the caller's flag
// word, goes to the driver and answer reads the result from it.  The
// activity bits go on every way out, the request made or not.
template <typename Frame, typename Answer>
ULONG Work(MVTKUTTHRFRAME* frame, ULONG global, const WorkerRequest& w, Frame& f, Answer answer)
{
    Morliven& m = *frame->pMorliven;
    int local = LocalArray(m, global);
    f.ulFlag = m.m_ulFlag;
    int r = 0;
    ULONG result = local < 0 ? ULONG(MAINT_INVALID_ARRAY)
                   : !Issue(m, local, w, &f, &r) ? ULONG(MAINT_NO_DRIVER)
                                                 : answer(f, r);
    m.m_ulFlag &= ~w.clearBits;
    return result;
}
} // namespace

ULONG Morliven::CreateArray(const CHAR* Arrayname, ULONG blRAID, const UCHAR* diskID, ULONG nDisk,
                            ULONG sbSize)
{
    if (nDisk > MAX_MEMBERS)
        return 0;
    IOCTL_CREATE_FRAME f;
    memset(&f, 0, sizeof(f));
    f.ReturnCode = RC_PRESET;
    f.Create.blRAID = blRAID;
    f.Create.nDisk = static_cast<UCHAR>(nDisk);
    for (ULONG i = 0; i < nDisk; i++)
        f.Create.DiskID[i] = static_cast<UCHAR>(AdapterId * DISKS_PER_ADAPTER + diskID[i]);
    f.Create.nStripeBlockSize = static_cast<UCHAR>(sbSize & 0xFF);
    CopyName(f.Create.Arrayname, sizeof(f.Create.Arrayname), Arrayname);
    f.Create.dwStatus = -1;
    int r = -1;
    if (!Request(IOCTL_CREATE_ARRAY, &f, &r))
        return MAINT_NO_DRIVER;
    if (r != 0 || f.ReturnCode != RC_DONE)
        return 0;
    // The driver leaves the new array's number in the layout word.
    if (f.Create.dwStatus)
        TellScsi(kScsiAdd, kScsiAddNumber, f.Create.blRAID & 0xFF);
    return static_cast<ULONG>(f.Create.dwStatus);
}

ULONG Morliven::DeleteArray(ULONG ulPhysIndex)
{
    // Another index would reach the other adapter's arrays.
    if (ulPhysIndex >= ARRAYS_PER_ADAPTER)
        return 0;
    ULONG global = static_cast<ULONG>(AdapterId) * ARRAYS_PER_ADAPTER + ulPhysIndex;
    IOCTL_DELETE_FRAME f;
    memset(&f, 0, sizeof(f));
    f.ReturnCode = RC_PRESET;
    f.Delete.bPhysIndex = static_cast<UCHAR>(global);
    f.Delete.dwStatus = -1;
    int r = -1;
    if (!Request(IOCTL_DELETE_ARRAY, &f, &r) || r != 0 || f.ReturnCode != RC_DONE)
        return 0;
    if (f.Delete.dwStatus)
        TellScsi(kScsiRemove, kScsiRemoveNumber, global);
    return static_cast<ULONG>(f.Delete.dwStatus);
}

ULONG Morliven::RenameArray(ULONG ulIndex, const UCHAR* name)
{
    if (ulIndex >= ARRAYS_PER_ADAPTER)
        return 0;
    IOCTL_RENAME_FRAME f;
    f.ReturnCode = RC_PRESET;
    f.Rename.aryid = static_cast<ULONG>(AdapterId) * ARRAYS_PER_ADAPTER + ulIndex;
    CopyName(reinterpret_cast<char*>(f.Rename.aryname), sizeof(f.Rename.aryname), name);
    return Request(IOCTL_RENAME_ARRAY, &f, nullptr) ? f.ReturnCode : 0;
}

// 0 when a maintenance request may go to the driver for the array, else
// the reason it may not.  refusedLayout is the answer for striping and
// JBOD arrays, 0 where they are acceptable.  Only the rebuild asks for
// the busy test.
ULONG Morliven::CheckMaintainable(ULONG index, ULONG refusedLayout, bool busyTest)
{
    if (NumOfArray == UNKNOWN_COUNT || index >= ARRAYS_PER_ADAPTER ||
        !(ArrayDef[MapToPhysArray(index)].blFlag & ARRAY_DEFINED))
        return MAINT_INVALID_ARRAY;
    BoOL layout = ArrayDef[MapToPhysArray(index)].blRAID;
    if (refusedLayout && (layout == RAID_STRIPING || layout == RAID_JBOD))
        return refusedLayout;
    if (busyTest && (m_ulFlag & FLAG_BUSY))
        return MAINT_BUSY;
    return 0;
}

// The request carries the caller's flag word; whatever the request set
// in the object's flag word goes again on every way out, so that no
// failure leaves the adapter marked busy.
ULONG Morliven::RunWorker(ULONG (*worker)(MVTKUTTHRFRAME*), MVTKUTTHRFRAME* frame, ULONG flag)
{
    ULONG before = m_ulFlag;
    m_bUtilityStop = 0;
    m_ulFlag = flag;
    frame->pMorliven = this;
    ULONG result = worker(frame);
    m_ulFlag = before;
    m_bUtilityStop = 1;
    return result;
}

USHORT Morliven::GlobalArray(ULONG index) const
{
    return static_cast<USHORT>(AdapterId * ARRAYS_PER_ADAPTER + MapToPhysArray(index));
}

ULONG Morliven::RebuildArray(ULONG ulIndex, ULONG ulDiskInArray, ULONG ulFlag)
{
    ULONG refused = CheckMaintainable(ulIndex, MAINT_CANNOT_REBUILD, true);
    if (refused)
        return refused;
    MVTKUTTHRFRAME t;
    memset(&t, 0, sizeof(t));
    t.rebuild.usArrayIndex = GlobalArray(ulIndex);
    t.rebuild.usDiskInArray = static_cast<USHORT>(ulDiskInArray);
    return RunWorker(MorlivenRebuildThread, &t, ulFlag);
}

ULONG Morliven::CheckIntegrity(ULONG ulIndex, ULONG ulFlag)
{
    ULONG refused = CheckMaintainable(ulIndex, MAINT_CANNOT_SYNC, false);
    if (refused)
        return refused;
    MVTKUTTHRFRAME t;
    memset(&t, 0, sizeof(t));
    t.verify.ulArrayIndex = GlobalArray(ulIndex);
    return RunWorker(MorlivenCheckIntegrityThread, &t, ulFlag);
}

ULONG Morliven::ExpanConv(ULONG ulPhysIndex, ULONG blNewRAID, const ULONG* NewDiskIDs,
                          ULONG nNewDisk, ULONG sbSize, ULONG ulFlag)
{
    ULONG refused = CheckMaintainable(ulPhysIndex, 0, false);
    if (refused)
        return refused;
    if (nNewDisk > MAX_MEMBERS)
        return MAINT_INVALID_DISK;
    MVTKUTTHRFRAME t;
    memset(&t, 0, sizeof(t));
    t.expanconv.usArrayIndex = GlobalArray(ulPhysIndex);
    t.expanconv.usNewRAID = static_cast<USHORT>(blNewRAID);
    t.expanconv.usNewnumDisk = static_cast<USHORT>(nNewDisk);
    t.expanconv.usOldnumDisk = ArrayDef[MapToPhysArray(ulPhysIndex)].bWidth;
    for (ULONG i = 0; i < nNewDisk; i++)
    {
        // A disk of the other adapter is not this array's to take.
        if (NewDiskIDs[i] >= DISKS_PER_ADAPTER)
            return MAINT_INVALID_DISK;
        t.expanconv.usNewDiskIds[i] =
            static_cast<USHORT>(AdapterId * DISKS_PER_ADAPTER + NewDiskIDs[i]);
    }
    t.expanconv.usStripeSize = static_cast<USHORT>(sbSize);
    return RunWorker(MorlivenExpanConvThread, &t, ulFlag);
}

DWORD MorlivenRebuildThread(MVTKUTTHRFRAME* frame)
{
    IOCTL_MORLIVEN_REBUILD_FRAME f;
    memset(&f, 0, sizeof(f));
    f.bID = frame->rebuild.usArrayIndex;
    f.RebuildDisk = frame->rebuild.usDiskInArray;
    return Work(frame, f.bID, kRebuild, f,
                [](const IOCTL_MORLIVEN_REBUILD_FRAME& done, int) { return ULONG(done.Status); });
}

ULONG MorlivenCheckIntegrityThread(MVTKUTTHRFRAME* frame)
{
    IOCTL_MORLIVEN_CHECKINTEGRITY_FRAME f;
    memset(&f, 0, sizeof(f));
    f.bID = static_cast<USHORT>(frame->verify.ulArrayIndex);
    return Work(frame, frame->verify.ulArrayIndex, kCheck, f,
                [](const IOCTL_MORLIVEN_CHECKINTEGRITY_FRAME& done, int)
                { return ULONG(done.Status == 1 ? 1 : 0); });
}

ULONG MorlivenExpanConvThread(MVTKUTTHRFRAME* frame)
{
    IOCTL_MORLIVEN_EXPANCONV_FRAME f;
    memset(&f, 0, sizeof(f));
    f.nPhysIndex = frame->expanconv.usArrayIndex;
    f.nNewRAID = frame->expanconv.usNewRAID;
    f.nNewDisk = static_cast<USHORT>(frame->expanconv.usOldnumDisk + frame->expanconv.usNewnumDisk);
    memcpy(f.nNewDiskIDs, frame->expanconv.usNewDiskIds, sizeof(frame->expanconv.usNewDiskIds));
    f.nStripeBlockSize = frame->expanconv.usStripeSize;
    // A request the driver never answered must not read as accepted (0),
    // nor as a judgement on the conversion asked for.
    return Work(frame, f.nPhysIndex, kExpansion, f,
                [](const IOCTL_MORLIVEN_EXPANCONV_FRAME& done, int r)
                { return r == 0 ? done.Status : ULONG(MAINT_REQUEST_FAILED); });
}
