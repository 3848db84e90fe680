#pragma once

// The agent's status words in the numbers halsend exports. An array's
// "Status" names either its state (functional, critical, offline) or the
// task it runs; a rebuild runs only on an array that lost a member, so it
// counts as critical until it ends.

#include <string>

namespace halsend
{
// Object types the agent gives its folders.
enum ObjectType
{
    kTypeEnclosure = 17,
    kTypeChannel = 20,
    kTypeDisk = 21,
    kTypeArray = 25,
    kTypeAdapter = 26,
    kTypeBattery = 29,
};

enum ArrayActivity
{
    kIdle = 0,
    kSynchronising = 1,
    kRebuilding = 2,
    kExpanding = 3,
    kInitialising = 4,
};

// 0 functional, 1 critical, 2 offline.
int ArrayState(long status);
int ArrayActivityOf(long status);
const char* ActivityName(int activity);
// 0 in an array, 1 free or spare, 2 offline.
int DiskState(long status);
// Whether the battery's charge status text tells of a fault or an alarm.
bool BatteryFailed(const std::string& status);
// The status word as the agent writes it, decimal and possibly negative.
long StatusWord(const std::string& text);
} // namespace halsend
