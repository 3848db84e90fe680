#pragma once

// Texts for enclosure values and sizes.  The Str helpers return a text
// allocated with new[] that the caller frees with delete[].

#include "DriverRecords.h"

char* EnclosureTypeStr(int type);
char* FanStatusStr(int fs);
char* TemperatureStr(int temp);
BOOL ULongToCommaString(ULONG value, LPSTR buffer);
BOOL DiskSizeToBuffer(ULONG size, LPSTR buffer);
