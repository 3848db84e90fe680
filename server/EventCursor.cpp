#include "EventCursor.h"

#include "EventSeverity.h"

#include <cstdlib>
#include <cstring>

namespace halsend
{
namespace
{
const char kEventLine[] = "ReadEvent@0@";
const char kCursorLine[] = "ReadEvent@255@256@";
// The log's header; its first record starts right after it.
const unsigned long kFirstRecord = 36;

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, strlen(prefix), prefix) == 0; }

bool ReadNumber(const std::string& text, size_t& at, long& out)
{
    const char* start = text.c_str() + at;
    char* end = nullptr;
    out = strtol(start, &end, 10);
    if (end == start)
        return false;
    at += static_cast<size_t>(end - start);
    return true;
}

bool Skip(const std::string& text, size_t& at)
{
    if (at >= text.size() || text[at] != '@')
        return false;
    ++at;
    return true;
}
} // namespace

bool ParseEventText(const std::string& text, EventRecord& out)
{
    size_t at = 0;
    if (!ReadNumber(text, at, out.id) || !Skip(text, at) || !ReadNumber(text, at, out.time) || !Skip(text, at) ||
        !ReadNumber(text, at, out.severity) || !Skip(text, at))
        return false;
    const size_t title = text.find('@', at);
    out.title = text.substr(at, title == std::string::npos ? std::string::npos : title - at);
    out.detail = title == std::string::npos ? "" : text.substr(title + 1);
    return true;
}

unsigned long RecordSize(const EventRecord& record)
{
    return 28 + record.title.size() + record.detail.size();
}

const char* SeverityText(long severity)
{
    return severity < 0 ? "Unknown" : EventSeverityText(static_cast<unsigned long>(severity));
}

ReadEventLines SplitReadEvent(const std::vector<std::string>& lines)
{
    ReadEventLines out;
    for (const std::string& line : lines)
    {
        if (StartsWith(line, kEventLine))
            out.events.push_back(line.substr(strlen(kEventLine)));
        else if (StartsWith(line, kCursorLine) && !out.cursor)
        {
            const char* rest = line.c_str() + strlen(kCursorLine);
            char* end = nullptr;
            out.position = strtoul(rest, &end, 10);
            out.cursor = *end == '@';
            out.magic = out.cursor ? strtoul(end + 1, nullptr, 10) : 0;
        }
    }
    return out;
}

std::string EventCursor::Arguments(int batch) const
{
    return std::to_string(m_position) + "@-" + std::to_string(batch) + "@" + std::to_string(m_magic);
}

EventCursor::Outcome EventCursor::Take(const std::vector<std::string>& lines, std::vector<EventRecord>& fresh)
{
    const ReadEventLines answer = SplitReadEvent(lines);
    if (!answer.cursor)
    {
        if (m_position == 0)
            return kNoLog;
        *this = EventCursor();
        return kRestart;
    }
    unsigned long next = m_position == 0 ? kFirstRecord : m_position + m_lastSize;
    unsigned long last = m_position;
    for (const std::string& text : answer.events)
    {
        EventRecord record;
        if (!ParseEventText(text, record))
            continue;
        last = next;
        m_lastSize = RecordSize(record);
        next += m_lastSize;
        fresh.push_back(record);
    }
    m_position = answer.position != 0 ? answer.position : last;
    m_magic = answer.magic;
    return kTaken;
}
} // namespace halsend
