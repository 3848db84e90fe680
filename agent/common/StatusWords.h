#pragma once

// The agent's status words are the plug-in contract's, so statuses of the
// two sides compare equal; the agent adds only its own.
#include "PluginInterfaces.h"

// Enumeration: no more users, or an empty database.
const STATUS S_NOMOREUSERS = 259;
