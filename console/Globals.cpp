#include "Velcon.h"

int cardnum;
int adanum;
const char szHelpFile[] = "/etc/tavrine/velcon.hlp";
const char helpline[] = "Press F1 for help";
const char szTitle[] = "TAVRINE RAID UTILITY v1.30.0.23";

// Indexed by assignment status + 1; the short texts are padded so that
// the disk columns line up.
const char* const diskstatus[] = {"AssignmentStatusUnknown", "Free   ", "Assigned", "Spare  ", "Claimed "};
const char* const actions[] = {"Rebuilding", "Synchronizing", "Migrating", "Initializing"};

ShowAdapterInfo gvShowAdapterInfo[kMaxAdapters];
ShowDriverInfo gvShowDriverInfo[kMaxAdapters];
ShowArrayInfo gvShowArrayInfo[kMaxAdapters][kArraysPerAdapter];
int gnArrayCount[kMaxAdapters];
ShowDiskInfo gvShowDiskInfo[kMaxAdapters][kDisksPerAdapter];
ShowEnclosureInfo gvShowEnclosureInfo[kMaxAdapters][kDisksPerAdapter];
ShowBatteryBackupInfo gvShowBatteryBackupInfo[kMaxAdapters];
rasArrayInfo testaryinfo[kMaxAdapters][kArraysPerAdapter];
int garrayid[kMaxAdapters][kArraysPerAdapter];
StatArrayInfo stataryinfo[kMaxAdapters][kArraysPerAdapter];
FreeDiskList freedisk;
char diskmodel[kDisksPerAdapter][kModelSize];
