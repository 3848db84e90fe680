#pragma once

// The maintenance choices of an adapter: rebuild, synchronise and migrate
// lines built from its arrays and free disks.

#include "Raidapi.h"
#include "Velcon.h"

constexpr int kMaxChoices = 14;
constexpr int kMaxNewDisks = 4;

enum MaintenanceKind
{
    kRebuild = 0,
    kSynchronize = 1,
    kMigrate = 2
};

struct MaintenanceE
{
    MaintenanceKind kind;
    int array; // id
    int disk;  // member position (rebuild) or number of new disks (migrate)
    int row;
    raeRaidMode mode; // target of a migration
    char szLeft[48];
    char szRight[48];
};

struct MigrationRow
{
    int total;
    int data;
    raeRaidMode mode;
    const char* text;
};

extern const MigrationRow uraidmode[8];
extern MaintenanceE gMaintenance[kMaxChoices];
extern int C_dID[kMaxChoices][kMaxNewDisks];
extern long disksize[kMaxChoices][kMaxNewDisks];

bool can_do_convert(long size, int index, int count, const long* sizes);
// Fills gMaintenance for the current adapter from its array rows and the
// free-disk list; the number of choices.
int BuildChoices(int adapter);
