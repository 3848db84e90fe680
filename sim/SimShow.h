#pragma once

// The readable form of the simulated hardware.  The adapter, disk and array
// lines are built by the functions below so that a client that reads the
// same facts through the driver library can print identical lines.

#include "SimState.h"

#include <string>
#include <vector>

namespace zelsim
{

std::string AdapterLine(int adapter, uint32_t channels, uint32_t irq, uint32_t slot);
// state: "free", "member" or "unusable"; array: global index or -1.
std::string DiskLine(int adapter, int position, const std::string& model, uint32_t sectors, const char* state,
                     int array, bool needsRebuild);
std::string ArrayLine(int g, const std::string& name, int raidType, uint32_t sectors, int stripe,
                      const char* state, const std::vector<int>& members, int activity, int percent);

// Layout names by the library's RAID type (-1..6).
const char* LayoutName(int raidType);
// The library's RAID type of a driver layout code.
int RaidTypeOf(int blRAID, int width);
// "free", "member" or "unusable" for a present disk's block flags.
const char* DiskState(uint8_t blFlag);
// "online", "critical" or "offline" for an array's flags.
const char* ArrayState(uint8_t blFlag);

// The adapter, disk and array lines of the state, in that order.
std::string ShowHardware(const SimState& s);
// Everything: driver, settings, hardware, enclosures, batteries, queue.
std::string ShowState(const SimState& s);
std::string ShowEvents(const SimState& s);
std::string ShowScsi(const SimState& s);

} // namespace zelsim
