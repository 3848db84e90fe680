#pragma once

// The state file that every process of one sandbox shares.  Each access
// takes an exclusive flock, brings the background activities up to the
// current time, runs its change and writes the state back.

#include "SimState.h"

#include <functional>
#include <string>

namespace zelsim
{

// Where the state lives: $ZELSIM_STATE, else kDefaultStatePath.
extern const char kDefaultStatePath[];
std::string StatePath();

// Milliseconds of the monotonic clock that drives the activities.
int64_t NowMs();

// Runs change on the state under the lock and saves it.  False when the
// state file is missing or was never initialised.
bool UpdateState(const std::function<void(SimState&)>& change);

// Replaces the whole state (used by init).
bool WriteState(const SimState& s);

} // namespace zelsim
