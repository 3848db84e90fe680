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

// The device node's own path, and whether a path is the node's or one
// beside it ("/dev/zeldev.NAME"), which the simulator answers for too.
extern const char kNodePath[];
bool IsNodePath(const char* path);

// Each returns 0 or an errno value.  Nodes are made as mknod makes them,
// the file-creation mask taken from the permissions.
int MakeNode(SimState& s, const char* path, mode_t mode, dev_t dev, mode_t mask);
int RemoveNode(SimState& s, const char* path);
int RenameNode(SimState& s, const char* from, const char* to);
int ChangeNodeMode(SimState& s, const char* path, mode_t mode);
int StatNode(SimState& s, const char* path, struct stat* st);
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
