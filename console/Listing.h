#pragma once

// The listing routines: each refills the display tables of one adapter
// from the API before a screen shows them.  A failing call leaves its row
// as it was.

#include "Raidapi.h"

raeStatus Initialize(int adapter);
int GetNumOfAda();
void ListController(int adapter);
void DriverVersion(int adapter);
void ListArrays(int adapter);
void ListDisks(int adapter);
void GetEnclosureStatus(int adapter);
void BatteryBackupInfo(int adapter);

// Orders the free-disk list by size, larger first; disks of one size keep
// their order.
void SortFreeDisks();
// The row of an array id in the adapter's array table, or -1.
int ArrayRow(int adapter, int id);

// An on/off setting of the selected adapter, read and written through the
// API's get/set call.
typedef raeStatus (*AdapterSetting)(raeAction, BOOL*);
bool SettingOn(AdapterSetting setting);
// Writes the opposite of the setting's state (on when it was not 1).
void ToggleSetting(AdapterSetting setting);
