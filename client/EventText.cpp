#include "EventText.h"

#include "EventSeverity.h"

#include <cstdlib>
#include <ctime>

namespace halsen
{
namespace
{
// The whole text is a decimal number.
bool ToNumber(const std::string& text, long& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = strtol(text.c_str(), &end, 10);
    return *end == '\0';
}

std::string LocalTime(long seconds)
{
    const time_t when = static_cast<time_t>(seconds);
    struct tm local;
    char text[32] = "";
    if (!localtime_r(&when, &local) || strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return std::to_string(seconds);
    return text;
}

// Splits off the text before the next "@"; false when there is none.
bool TakeField(std::string& rest, std::string& field)
{
    const size_t at = rest.find('@');
    if (at == std::string::npos)
        return false;
    field = rest.substr(0, at);
    rest.erase(0, at + 1);
    return true;
}
} // namespace

bool ParseEvent(const std::string& text, EventFields& out)
{
    std::string rest = text, id, time, severity;
    if (!TakeField(rest, id) || !TakeField(rest, time) || !TakeField(rest, severity) ||
        !TakeField(rest, out.title) || !ToNumber(id, out.id) || !ToNumber(time, out.time) ||
        !ToNumber(severity, out.severity))
        return false;
    out.detail = rest;
    return true;
}

std::string DescribeEvent(const std::string& text)
{
    EventFields event;
    if (!ParseEvent(text, event))
        return text;
    return LocalTime(event.time) + " " + EventSeverityText(static_cast<unsigned long>(event.severity)) + " " +
           std::to_string(event.id) + " " + event.title + ": " + event.detail;
}

std::string DescribeNotice(const Packet& packet)
{
    if (packet.kind != kNotice || packet.command < kNoticeRemoved || packet.command > kNoticeEvent)
        return Describe(packet);
    std::string rest = packet.body, path;
    if (!TakeField(rest, path))
        return Describe(packet);
    if (packet.command == kNoticeRemoved)
        return "removed " + path;
    if (packet.command == kNoticeChanged)
        return "changed " + path;
    return "event   " + path + (rest.empty() ? "" : " " + DescribeEvent(rest));
}
} // namespace halsen
