#pragma once

// halsenctl's JSON forms of what it prints, for scripts: one object on a
// line for every answer, notice or packet, in the order the text form
// prints them.

#include "FolderClient.h"

#include <nlohmann/json.hpp>

#include <string>

namespace halsen
{
using Json = nlohmann::json;

// An entry: "name", "attribute" and "value" as the agent sent them, and
// "meaning" when the value has a word in a folder of `folderType`.
Json EntryJson(const Entry& entry, const std::string& folderType);
// A packet: "kind" ("data", "done", "notice", or its number), "command"
// (the number), "name" (the command's name or number), "stamp", "body".
Json PacketJson(const Packet& packet);
// A removed, changed or event notice as "notice" (its number), "what"
// ("removed", "changed", "event"), "path" and, for an event, "event"
// decoded; any other packet as PacketJson gives it.
Json NoticeJson(const Packet& packet);
// An event text decoded: "id", "time", "severity", "level" (its word),
// "title", "detail" and "text" as it came; a text of another form has
// "text" only.
Json EventJson(const std::string& text);
// Prints one object on one line and flushes. Bytes that are not UTF-8
// (an agent's texts are plain bytes) become U+FFFD instead of failing.
void PrintJson(const Json& value);
} // namespace halsen
