#pragma once

// What halsend knows of one agent's tree: every folder it has listed, by
// its backslash path ("\" for the root, "\RAID\MVP1" below it), with the
// entries as the agent listed them. Bounded: a folder keeps at most
// kMaxEntries entries of at most kMaxValue bytes each, and the cache at
// most kMaxFolders folders, so a peer that lists without end costs a
// bounded amount of memory.

#include "FolderClient.h"

#include <map>
#include <string>
#include <vector>

namespace halsend
{
class TreeCache
{
public:
    static constexpr size_t kMaxFolders = 4096;
    static constexpr size_t kMaxEntries = 512;
    static constexpr size_t kMaxValue = 1024;

    using Folder = std::vector<halsen::Entry>;

    // Replaces a folder's entries; false when the cache is full and the
    // folder is new. Entries past the bound are left out.
    bool Set(const std::string& path, const std::vector<std::string>& lines);
    // Drops a folder and everything below it.
    void Erase(const std::string& path);
    void Clear() { m_folders.clear(); }

    bool Has(const std::string& path) const { return m_folders.count(path) != 0; }
    const Folder* Find(const std::string& path) const;
    // The value of a property of a folder, or fallback.
    std::string Value(const std::string& path, const std::string& name, const std::string& fallback = "") const;
    // The object type the parent lists the folder with; -1 when unknown.
    int Type(const std::string& path) const;
    // The folder and those below it, in path order.
    std::vector<std::string> Below(const std::string& path) const;
    const std::map<std::string, Folder>& Folders() const { return m_folders; }
    size_t Size() const { return m_folders.size(); }
    // Bytes held by names, attributes and values.
    size_t Bytes() const;

private:
    std::map<std::string, Folder> m_folders;
};

// The path of a child of the folder at `parent`.
std::string ChildPath(const std::string& parent, const std::string& name);
// The parent folder's path; the root's own for the root.
std::string ParentPath(const std::string& path);
// The last name of a path ("" for the root).
std::string LastName(const std::string& path);
// The names along a path, root first, without the root.
std::vector<std::string> PathNames(const std::string& path);
// Whether `path` is `folder` or lies below it.
bool IsWithin(const std::string& path, const std::string& folder);
} // namespace halsend
