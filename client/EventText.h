#pragma once

// Event texts and the agent's change notices in words, for people.

#include "HalsenClient.h"

#include <string>

namespace halsen
{
// Notice codes: an object went, an object changed, a new event.
enum Notice
{
    kNoticeRemoved = 8193,
    kNoticeChanged = 8194,
    kNoticeEvent = 8195,
};

// The fields of an event text "id@time@severity@title@detail".
struct EventFields
{
    long id = 0;
    long time = 0;
    long severity = 0;
    std::string title;
    std::string detail;
};
// False for a text of another form.
bool ParseEvent(const std::string& text, EventFields& out);

// "id@time@severity@title@detail" as "2026-12-10 12:00:00 Error 256
// Drv. Fail: disk 1" in local time; a text of another form comes back as
// it is.
std::string DescribeEvent(const std::string& text);
// A removed, changed or event notice as "removed PATH", "changed PATH" or
// "event PATH <event>"; any other packet as Describe gives it.
std::string DescribeNotice(const Packet& packet);
} // namespace halsen
