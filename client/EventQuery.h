#pragma once

// halsenctl's events command: the ReadEvent walk of one folder's event
// log.

#include "HalsenClient.h"

#include <string>
#include <vector>

namespace halsen
{
struct EventQuery
{
    // The folder's path, one name per step from the root.
    std::vector<std::string> path;
    bool oldestFirst = false;
    // How many events at most; 0 for all.
    long limit = 0;
    // Where an earlier walk stopped, as it printed it.
    unsigned long position = 0;
    unsigned long magic = 0;
};

// Reads "FOLDER [--oldest] [--limit N] [--from POSITION MAGIC]"; false with
// the problem told.
bool ParseEventQuery(const std::vector<std::string>& words, EventQuery& query, std::string& problem);

// The body of the ReadEvent invoke for the query.
std::string ReadEventBody(const EventQuery& query);

// Goes to the folder and prints its events, one line each, then the
// cursor to go on from ("next POSITION MAGIC"); with `json`, one object
// with "events" and "next". `code` is the reply code of the step that
// failed, or 800.
Connection::Status ListEvents(Connection& connection, const EventQuery& query, int timeoutMs, bool json,
                              int& code);
} // namespace halsen
