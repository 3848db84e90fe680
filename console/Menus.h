#pragma once

// The screens of the utility, each a fire callback of a menu item.

#include "dialog.h"

int adapter_menu(dialogMenuItem* self);

int raid_list(dialogMenuItem* self);
int raid_detail(dialogMenuItem* self);
int raid_list_delete(dialogMenuItem* self);
int raid_delete(dialogMenuItem* self);
int raid_create(dialogMenuItem* self);

int raid_maintenance(dialogMenuItem* self);
int raid_do_it(dialogMenuItem* self);

int disk(dialogMenuItem* self);
int disk_detail(dialogMenuItem* self);
int disk_cache(dialogMenuItem* self);
int disk_smart(dialogMenuItem* self);

int misc(dialogMenuItem* self);
int detail(dialogMenuItem* self);
int cmdln_other_driverversion(dialogMenuItem* self);
int cmdln_other_bufferpolicy(dialogMenuItem* self);
int other_batterybackup(dialogMenuItem* self);
int buzz(dialogMenuItem* self);

// Whether the current adapter offers a maintenance choice: an array that
// can be rebuilt, synchronised or migrated, or one with an activity.
// *busy tells whether every array has an activity running.
bool MaintenanceAvailable(int adapter, bool* allBusy);

// The label of the adapter menu's Cancel button: "Quit" when the menu is
// the utility's first screen, "Cancel" under the adapter chooser.
void SetAdapterCancelLabel(const char* label);
