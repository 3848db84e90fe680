#include "Task.h"

#include "TreeCache.h"

namespace halsend
{
halsen::Packet Request(int command, const std::string& body)
{
    halsen::Packet p;
    p.command = command;
    p.body = body;
    return p;
}

std::vector<halsen::Packet> GoTo(const std::string& path)
{
    std::vector<halsen::Packet> steps{Request(halsen::kCd, "\\")};
    for (const std::string& name : PathNames(path))
        steps.push_back(Request(halsen::kCd, name));
    return steps;
}
} // namespace halsend
