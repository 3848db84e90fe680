#pragma once

// The kernel's files besides the driver's own that the console reads and
// writes: the module list with the driver module and its size, and the
// kernel message levels.

#include "SimState.h"

#include <cstddef>
#include <string>

namespace zelsim
{

// The name the driver module has in "/proc/modules".
extern const char kModuleName[];
constexpr uint32_t kDefaultModuleSize = 98304;
// Console, default message, lowest console and default console levels.
constexpr int32_t kDefaultPrintk[kPrintkFields] = {4, 4, 1, 7};

// "/proc/modules": a few other modules, and the driver's while it is
// loaded ("name size users dependencies state address").
std::string ModulesText(const SimState& s);

// "/proc/sys/kernel/printk": the four levels separated by tabs.
std::string PrintkText(const SimState& s);

// A write to "/proc/sys/kernel/printk": as the kernel does, the levels
// given (one to four whole numbers) replace the first ones and the rest
// stay.  Every write is recorded; returns 0, or EINVAL when the text
// holds no level.
int WritePrintk(SimState& s, const char* data, size_t length);

// Where writes to the levels that the simulator does not see one by one
// end up (a shell's redirection hands the descriptor to its commands): a
// file next to the state, taken in line by line, each line one write, at
// the next access to the state.
std::string PrintkSinkPath();
void TakePrintkSink(SimState& s);

// Sets the levels without recording a write (the state a test starts
// from); false for a text that holds no level.
bool SetPrintk(SimState& s, const char* text);

// "printk L1 L2 L3 L4", then one line per recorded write, oldest first.
std::string ShowPrintk(const SimState& s);

} // namespace zelsim
