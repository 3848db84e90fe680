#pragma once

// The simulated driver as the library meets it: the "/proc/devices"
// listing, the device node and the ioctl requests.

#include "SimState.h"

#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace zelsim
{

constexpr mode_t kNodeMode = S_IFBLK | 0644;

std::string DevicesText(const SimState& s);

// Each returns 0 or an errno value.
int MakeNode(SimState& s, mode_t mode, dev_t dev);
int RemoveNode(SimState& s);
int OpenNode(SimState& s);
int DriverIoctl(SimState& s, unsigned long code, void* buf);

// The bytes a request's buffer holds (0 for an unknown code).
size_t FrameSize(unsigned long code, const void* buf);

// Keeps the last `max` writes of a control file, the oldest dropped first.
void RecordWrite(RecordedWrite* list, uint32_t* count, uint32_t max, const char* data, size_t length);
void RecordScsiWrite(SimState& s, const char* data, size_t length);

// Arms a fault for the next count requests of code.
bool SetFault(SimState& s, uint32_t code, FaultMode mode, uint32_t count);

} // namespace zelsim
