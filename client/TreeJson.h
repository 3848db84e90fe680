#pragma once

// The JSON form of a walk of the tree: the folder's own entry with its
// entries in "entries", each folder below nested the same way.

#include "JsonForms.h"

#include <vector>

namespace halsen
{
class TreeJson
{
public:
    TreeJson() = default;
    TreeJson(const TreeJson&) = delete;
    TreeJson& operator=(const TreeJson&) = delete;

    // Takes the walk's entries in its order: depth 0 the folder itself,
    // then each folder's entries right after the folder's own entry.
    // `folderType` is the type of the folder the entry is in.
    void Visit(int depth, const Entry& entry, const std::string& folderType);
    const Json& Root() const { return m_root; }

private:
    Json m_root;
    // The list each depth's entries go into. A deeper level's stays valid
    // while its folder is the last entry of the level above, which holds
    // for a walk that finishes a folder before it goes on.
    std::vector<Json*> m_levels;
};
} // namespace halsen
