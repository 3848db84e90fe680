#pragma once

// What the simulated controller does: presets, disks coming and going,
// arrays made and removed, background activities driven by the clock and
// the events a real controller queues for all of it.

#include "SimState.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace zelsim
{

enum EventLevel : uint32_t
{
    kInfo = 0,
    kWarning = 1,
    kError = 2
};

// Driver event codes.
enum : uint32_t
{
    EV_REBUILD_START = 0x40000001,
    EV_SYNC_START = 0x50000001,
    EV_DISK_SETDOWN = 0x80000100,
    EV_DISK_PLUGIN = 0x80000101,
    EV_DISK_OFFLINE = 0x80000103,
    EV_REBUILD_COMPLETE = 0x80000200,
    EV_SYNC_COMPLETE = 0x80000201,
    EV_REBUILD_ABORT = 0x80000202,
    EV_SYNC_ABORT = 0x80000203,
    EV_ARRAY_OFFLINE = 0x80000205,
    EV_ARRAY_CRITICAL = 0x80000206,
    EV_SMART_ERROR = 0x80000209,
    EV_SWAP_POWER_DOWN = 0x8000020b,
    EV_SWAP_POWER_UP = 0x8000020c,
    EV_SWAP_OVER_TEMP = 0x8000020e,
    EV_SWAP_FAN_STOP = 0x8000020f,
    EV_SWAP_12V = 0x80000210,
    EV_SWAP_5V = 0x80000211,
    EV_ARRAY_CREATE = 0x80000213,
    EV_ARRAY_DELETE = 0x80000214
};

// Flag words of maintenance requests that steer a running activity.
enum : uint32_t
{
    kFlagPause = 3,
    kFlagStop = 4,
    kFlagContinue = 5
};

// The temperature (half degrees) above which an enclosure raises an alarm.
constexpr int32_t kMaxTemperature = 110;

bool InitPreset(SimState& s, const std::string& name);
const char* PresetNames();

void QueueEvent(SimState& s, uint32_t id, uint32_t level, std::initializer_list<uint32_t> params);
void AdvanceClock(SimState& s, int64_t nowMs);
void Step(SimState& s, uint32_t progress);

bool FailDisk(SimState& s, int adapter, int position);
bool RemoveDisk(SimState& s, int adapter, int position);
bool InsertDisk(SimState& s, int adapter, int position, const char* model, uint32_t sectors);
bool SetSmart(SimState& s, int adapter, int position, uint8_t status);

// Request handlers: the driver's answer for each.
int CreateArray(SimState& s, IOCTL_MORLIVEN_CREATE_ARRAY_FRAME& f); // global index, or -1
bool DeleteArray(SimState& s, int g);
uint16_t Rebuild(SimState& s, int g, uint32_t slot, uint32_t flag);
uint16_t Synchronise(SimState& s, int g, uint32_t flag);
uint32_t ExpandConvert(SimState& s, const IOCTL_MORLIVEN_EXPANCONV_FRAME& f);

bool SetFan(SimState& s, int adapter, int channel, int32_t value);
bool SetTemperature(SimState& s, int adapter, int channel, int32_t value);
bool SetVoltage(SimState& s, int adapter, int channel, bool twelve, int32_t millivolts);
bool SetPower(SimState& s, int adapter, int channel, bool on);

// The driver may be told to report more adapters than it has tables for;
// only the first two ever answer.
bool HasAdapter(const SimState& s, uint32_t adapter);

// Present, usable and in no array.
bool FreeDisk(const SimState& s, int disk);

} // namespace zelsim
