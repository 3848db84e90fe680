#include "HalsenClient.h"

#include "PacketForm.h"

#include <cstdlib>

namespace halsen
{
namespace
{
const struct
{
    const char* name;
    int command;
} kCommands[] = {
    {"access", kAccess}, {"dir", kDir},         {"cd", kCd},       {"get", kGet},   {"set", kSet},
    {"invoke", kInvoke}, {"refresh", kRefresh}, {"close", kClose}, {"ping", kPing},
};

bool IsNumber(const std::string& text)
{
    if (text.empty() || text.size() > 10)
        return false;
    for (char c : text)
    {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}
} // namespace

std::string Encode(const Packet& packet)
{
    const int nBody = PacketForm::WireBodyLength(static_cast<long>(packet.body.size()));
    std::string out(static_cast<size_t>(PacketForm::HeaderSize(nBody)), '\0');
    PacketForm::WriteHeader(reinterpret_cast<unsigned char*>(&out[0]), packet.command, packet.stamp, packet.kind,
                            nBody);
    out.append(packet.body, 0, static_cast<size_t>(nBody));
    return out;
}

PacketReader::Result PacketReader::Next(Packet& out)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(m_buf.data());
    const int nHave = m_buf.size() > PacketForm::kMaxPacket ? PacketForm::kMaxPacket : static_cast<int>(m_buf.size());
    const int nPacket = PacketForm::PacketLength(bytes, nHave);
    if (nPacket == PacketForm::kMalformed)
        return kMalformed;
    if (nPacket == PacketForm::kNeedMore || nPacket > nHave)
        return kNeedMore;
    const int nHeader = bytes[12] == PacketForm::kLongMarker ? PacketForm::kLongHeader : PacketForm::kShortHeader;
    out.command = PacketForm::ReadWord(bytes, 0);
    out.stamp = PacketForm::ReadWord(bytes, 4);
    out.kind = PacketForm::ReadWord(bytes, 8);
    out.body = m_buf.substr(static_cast<size_t>(nHeader), static_cast<size_t>(nPacket - nHeader));
    m_buf.erase(0, static_cast<size_t>(nPacket));
    return kPacket;
}

int CommandCode(const std::string& name)
{
    for (const auto& c : kCommands)
    {
        if (name == c.name)
            return c.command;
    }
    return IsNumber(name) ? static_cast<int>(strtol(name.c_str(), nullptr, 10)) : -1;
}

std::string CommandName(int command)
{
    for (const auto& c : kCommands)
    {
        if (command == c.command)
            return c.name;
    }
    return std::to_string(command);
}

int ReplyCode(const Packet& packet)
{
    const size_t at = packet.body.find('@');
    const std::string code = packet.body.substr(0, at);
    return at != std::string::npos && IsNumber(code) ? static_cast<int>(strtol(code.c_str(), nullptr, 10)) : -1;
}

std::string Describe(const Packet& packet)
{
    switch (packet.kind)
    {
    case kData:
        return "data    " + packet.body;
    case kFinish:
        return "done    " + packet.body;
    case kNotice:
        return "notice  " + CommandName(packet.command) + (packet.body.empty() ? "" : " " + packet.body);
    default:
        return "kind " + std::to_string(packet.kind) + " " + CommandName(packet.command) + " " + packet.body;
    }
}
} // namespace halsen
