#pragma once

// One unit of work on an agent connection: requests sent one after the
// other, each only when the one before it has been answered (the agent
// takes one packet per read and must not get a second before it has
// answered the first). A cd that fails ends the task, so a task that
// starts with "cd \" always works in the folder it names.

#include "FolderClient.h"

#include <functional>
#include <string>
#include <vector>

namespace halsend
{
struct Task
{
    using Done = std::function<void(const std::vector<halsen::Answer>& answers, bool complete)>;

    // Tasks with the same non-empty key are queued once.
    std::string key;
    // Builds the requests when the task starts, so that they carry the
    // state of that moment (an event cursor, for one).
    std::function<std::vector<halsen::Packet>()> build;
    Done done;
    // Told also when the connection is lost; internal work is not.
    bool external = false;
};

// A request packet.
halsen::Packet Request(int command, const std::string& body);
// "cd \" and a cd for every name along path.
std::vector<halsen::Packet> GoTo(const std::string& path);
} // namespace halsend
