#include "JsonForms.h"

#include "EventText.h"
#include "EventSeverity.h"
#include "StateWords.h"

#include <cstdio>

namespace halsen
{
namespace
{
std::string KindName(int kind)
{
    switch (kind)
    {
    case kData:
        return "data";
    case kFinish:
        return "done";
    case kNotice:
        return "notice";
    default:
        return std::to_string(kind);
    }
}

std::string NoticeName(int command)
{
    switch (command)
    {
    case kNoticeRemoved:
        return "removed";
    case kNoticeChanged:
        return "changed";
    default:
        return "event";
    }
}
} // namespace

Json EntryJson(const Entry& entry, const std::string& folderType)
{
    Json out = {{"name", entry.name}, {"attribute", entry.attribute}, {"value", entry.value}};
    const std::string word = entry.IsObject() || entry.IsMethod() ? "" : StateWord(folderType, entry.name, entry.value);
    if (!word.empty())
        out["meaning"] = word;
    return out;
}

Json PacketJson(const Packet& packet)
{
    return {{"kind", KindName(packet.kind)},
            {"command", packet.command},
            {"name", CommandName(packet.command)},
            {"stamp", packet.stamp},
            {"body", packet.body}};
}

Json NoticeJson(const Packet& packet)
{
    const size_t at = packet.body.find('@');
    if (packet.kind != kNotice || packet.command < kNoticeRemoved || packet.command > kNoticeEvent ||
        at == std::string::npos)
        return PacketJson(packet);
    Json out = {{"notice", packet.command}, {"what", NoticeName(packet.command)}, {"path", packet.body.substr(0, at)}};
    if (packet.command == kNoticeEvent)
        out["event"] = EventJson(packet.body.substr(at + 1));
    return out;
}

Json EventJson(const std::string& text)
{
    EventFields event;
    if (!ParseEvent(text, event))
        return {{"text", text}};
    return {{"id", event.id},
            {"time", event.time},
            {"severity", event.severity},
            {"level", EventSeverityText(static_cast<unsigned long>(event.severity))},
            {"title", event.title},
            {"detail", event.detail},
            {"text", text}};
}

void PrintJson(const Json& value)
{
    printf("%s\n", value.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
    fflush(stdout);
}
} // namespace halsen
