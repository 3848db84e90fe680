#pragma once

// A hundred agents in one process for halsend's benchmark: each port on
// loopback answers the logon, cd, dir, refresh and ReadEvent over a tree
// shaped like a two-adapter machine's (adapters, channels, disks, arrays
// with members, enclosures and a battery), and on SIGUSR1 the first agent
// turns an array critical and tells its servers with the change notice.

#include <map>
#include <string>
#include <vector>

namespace halsendbench
{
using Tree = std::map<std::string, std::vector<std::string>>;

// The tree every fake agent serves.
Tree MachineTree();

// Serves `count` agents on ports from `firstPort` until SIGTERM.
void ServeFleet(int firstPort, int count);
} // namespace halsendbench
