#include "EventQuery.h"

#include "EventText.h"
#include "JsonForms.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace halsen
{
namespace
{
const char kEventLine[] = "ReadEvent@0@";
const char kCursorLine[] = "ReadEvent@255@256@";

bool ParseUnsigned(const std::string& text, unsigned long long most, unsigned long long& out)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    out = strtoull(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0 && out <= most;
}

std::vector<std::string> SplitPath(const std::string& text)
{
    std::vector<std::string> names;
    std::string name;
    for (char c : text)
    {
        if (c != '\\' && c != '/')
        {
            name += c;
            continue;
        }
        if (!name.empty())
            names.push_back(name);
        name.clear();
    }
    if (!name.empty())
        names.push_back(name);
    return names;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, strlen(prefix), prefix) == 0; }

// One request; code is its closing reply's code, -1 when the agent closed
// instead.
Connection::Status Ask(Connection& connection, int command, const std::string& body, int timeoutMs,
                       std::vector<Packet>& replies, int& code)
{
    Packet request;
    request.command = command;
    request.stamp = 1;
    request.body = body;
    replies.clear();
    const Connection::Status status = connection.Request(request, replies, timeoutMs);
    code = status == Connection::kGot && !replies.empty() ? ReplyCode(replies.back()) : -1;
    return status;
}

Connection::Status Walk(Connection& connection, const EventQuery& query, int timeoutMs, int& code)
{
    std::vector<Packet> replies;
    Connection::Status status = Ask(connection, kCd, "\\", timeoutMs, replies, code);
    for (size_t i = 0; i < query.path.size() && status == Connection::kGot && code == 800; ++i)
    {
        status = Ask(connection, kCd, query.path[i], timeoutMs, replies, code);
        if (status == Connection::kGot && code != 800)
            fprintf(stderr, "halsenctl: no folder %s\n", query.path[i].c_str());
    }
    return status;
}

// The event lines of a ReadEvent answer, and the cursor after them (empty
// when none came).
struct EventList
{
    std::vector<std::string> events;
    std::string position;
    std::string magic;
};

EventList TakeEvents(const std::vector<Packet>& replies)
{
    EventList list;
    for (const Packet& p : replies)
    {
        if (p.kind != kData)
            continue;
        if (StartsWith(p.body, kEventLine))
            list.events.push_back(p.body.substr(strlen(kEventLine)));
        else if (StartsWith(p.body, kCursorLine) && list.position.empty())
        {
            const std::string rest = p.body.substr(strlen(kCursorLine));
            const size_t at = rest.find('@');
            list.position = rest.substr(0, at);
            list.magic = at == std::string::npos ? "" : rest.substr(at + 1);
        }
    }
    return list;
}

void PrintJsonEvents(const EventQuery& query, const EventList& list)
{
    Json events = Json::array();
    for (const std::string& text : list.events)
        events.push_back(EventJson(text));
    Json out = {{"command", "events"}, {"folder", query.path}, {"events", events}};
    if (!list.position.empty())
        out["next"] = {{"position", strtoul(list.position.c_str(), nullptr, 10)},
                       {"magic", strtoul(list.magic.c_str(), nullptr, 10)}};
    PrintJson(out);
}

void PrintEvents(const EventQuery& query, const std::vector<Packet>& replies, bool json)
{
    const EventList list = TakeEvents(replies);
    if (json)
        PrintJsonEvents(query, list);
    else
    {
        for (const std::string& text : list.events)
            printf("%s\n", DescribeEvent(text).c_str());
        if (!list.position.empty())
            printf("next %s%s%s\n", list.position.c_str(), list.magic.empty() ? "" : " ", list.magic.c_str());
    }
    if (list.position.empty())
        fprintf(stderr, "halsenctl: the folder keeps no event log, or it was made anew since that cursor\n");
}
} // namespace

bool ParseEventQuery(const std::vector<std::string>& words, EventQuery& query, std::string& problem)
{
    if (words.empty() || StartsWith(words[0], "-"))
    {
        problem = "events needs a folder, e.g. \\MVP1";
        return false;
    }
    query.path = SplitPath(words[0]);
    for (size_t i = 1; i < words.size(); ++i)
    {
        unsigned long long value = 0, magic = 0;
        if (words[i] == "--oldest")
            query.oldestFirst = true;
        else if (words[i] == "--limit" && i + 1 < words.size() && ParseUnsigned(words[i + 1], INT_MAX, value))
        {
            query.limit = static_cast<long>(value);
            ++i;
        }
        else if (words[i] == "--from" && i + 2 < words.size() && ParseUnsigned(words[i + 1], UINT32_MAX, value) &&
                 ParseUnsigned(words[i + 2], UINT32_MAX, magic))
        {
            query.position = static_cast<unsigned long>(value);
            query.magic = static_cast<unsigned long>(magic);
            i += 2;
        }
        else
        {
            problem = "events does not take " + words[i] +
                      " (--oldest, --limit N, --from POSITION MAGIC)";
            return false;
        }
    }
    return true;
}

// A negative count walks oldest first, so an unbounded walk that way asks
// for as many as the count can say.
std::string ReadEventBody(const EventQuery& query)
{
    long count = query.limit;
    if (query.oldestFirst)
        count = -(query.limit ? query.limit : static_cast<long>(INT_MAX));
    return "ReadEvent@" + std::to_string(query.position) + "@" + std::to_string(count) + "@" +
           std::to_string(query.magic);
}

Connection::Status ListEvents(Connection& connection, const EventQuery& query, int timeoutMs, bool json, int& code)
{
    Connection::Status status = Walk(connection, query, timeoutMs, code);
    if (status != Connection::kGot || code != 800)
        return status;
    std::vector<Packet> replies;
    status = Ask(connection, kInvoke, ReadEventBody(query), timeoutMs, replies, code);
    if (status == Connection::kGot && code == 800)
        PrintEvents(query, replies, json);
    return status;
}
} // namespace halsen
