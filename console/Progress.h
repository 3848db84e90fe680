#pragma once

// Following a maintenance activity with a gauge until it ends or a key
// is pressed.

#include "Raidapi.h"

struct ProgressWatch
{
    int adapter;
    int array; // id
    raeArrayActivityStatus expected;
    const char* prompt;
    // The maintenance screen's wording (status errors reported, "Attention"
    // for an activity that stopped short), else the one of a fresh start.
    bool bScreen;
};

// True when a key ended the watch while the activity still ran.
bool FollowProgress(const ProgressWatch& watch);
