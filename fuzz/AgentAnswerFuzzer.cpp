// Feeds arbitrary lines to halsend as an agent's answers: a folder listing
// for the tree cache, and a ReadEvent answer for the event cursor, which
// must never move backwards while the log stays the same.

#include "EventCursor.h"
#include "TreeCache.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < size; ++i)
    {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(data[i]);
    }
    halsend::TreeCache tree;
    tree.Set("\\", lines);
    for (const halsen::Entry& e : *tree.Find("\\"))
        tree.Type(halsend::ChildPath("\\", e.name));
    halsend::EventCursor cursor;
    std::vector<halsend::EventRecord> fresh;
    for (int round = 0; round < 2; ++round)
    {
        const unsigned long before = cursor.Position();
        const unsigned long magic = cursor.Magic();
        if (cursor.Take(lines, fresh) == halsend::EventCursor::kTaken && cursor.Magic() == magic && magic != 0 &&
            cursor.Position() < before)
            __builtin_trap();
    }
    return 0;
}
