#pragma once

// The JSON the API answers with, made from an agent's view or from what
// an agent answered.

#include "AgentMonitor.h"
#include "EventCursor.h"

#include <nlohmann/json.hpp>

#include <string>

namespace halsend
{
// Host, address, state and a summary of the arrays, disks and events.
nlohmann::json AgentSummary(const AgentMonitor& agent);
// The folder at path and every folder below it; null when not known.
nlohmann::json TreeView(const AgentMonitor& agent, const std::string& path);
nlohmann::json EventView(const EventRecord& record);
// The events of a ReadEvent answer and the cursor to go on from.
nlohmann::json EventsView(const std::vector<std::string>& lines);
// {"error": text} and, when the agent gave one, its code.
nlohmann::json ErrorView(const std::string& text, int code = -1);
} // namespace halsend
