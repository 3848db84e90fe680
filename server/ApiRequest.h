#pragma once

// What the JSON API accepts from a client, checked before anything goes to
// an agent: folder paths, invoke bodies and event queries. Each parser
// answers false with a sentence for the client.

#include "EventQuery.h"

#include <string>

namespace halsend
{
struct InvokeRequest
{
    std::string path;
    std::string method;
    std::string arguments;
};

// A request the agent takes in one read has at most this many body bytes.
const size_t kMaxRequestBody = 1000;

// "\RAID\MVP1", "/RAID/MVP1" or "RAID/MVP1" to the agent's form "\RAID\MVP1";
// "" and "/" are the root.
bool ParseFolderPath(const std::string& text, std::string& path, std::string& problem);
// {"path": "...", "method": "...", "arguments": "..."}; arguments may be
// left out.
bool ParseInvokeBody(const std::string& body, InvokeRequest& out, std::string& problem);
// folder (required), limit (1 to 1000, default 50), from
// ("POSITION:MAGIC", as an earlier answer's "next" gave it) and order
// ("newest", the default, or "oldest").
bool ParseEventsQuery(const std::string& folder, const std::string& limit, const std::string& from,
                      const std::string& order, std::string& path, halsen::EventQuery& out, std::string& problem);
} // namespace halsend
