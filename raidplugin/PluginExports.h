#pragma once

#include "PluginInterfaces.h"

// A plug-in library exports these and nothing of its own classes, so two
// plug-ins loaded into one agent never bind to each other's code.
#define PLUGIN_EXPORT __attribute__((visibility("default")))

extern "C" {
// Creates the library's root river and answers QueryInterface(iid, out) on
// it; the result is 0 whatever the query gave (out is null when it failed).
PLUGIN_EXPORT STATUS CreateInstance(unsigned iid, void** out);
// The periodic procedure, run on the agent's clock tick.
PLUGIN_EXPORT STATUS MVRaid_TimerProc();
}
