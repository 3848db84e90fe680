#pragma once

#include "Raidapi.h"

// The mode texts that the array methods take, in their index order.
const int RAID_MODE_COUNT = 7;
const int RAID_MODE_RAID5 = 4;

// The index of the exactly matching mode text, or -1.
int StringToRAIDMode(const char* text);
// The API's RAID mode of a mode index.
raeRaidMode RAIDModeOfIndex(int index);
// The mode text of an API mode for an array of disks members; null for a
// mode without a text.
const char* RAIDModeToString(int mode, int disks);
// The text that an array's "RAID_Mode" shows for an API mode.
const char* RAIDModeDisplayText(int mode);
