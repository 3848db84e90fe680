#include "TreeCache.h"

#include <cstdlib>

namespace halsend
{
std::string ChildPath(const std::string& parent, const std::string& name)
{
    return parent == "\\" ? "\\" + name : parent + "\\" + name;
}

std::string ParentPath(const std::string& path)
{
    const size_t cut = path.rfind('\\');
    return cut == std::string::npos || cut == 0 ? "\\" : path.substr(0, cut);
}

std::string LastName(const std::string& path)
{
    const size_t cut = path.rfind('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> PathNames(const std::string& path)
{
    std::vector<std::string> names;
    std::string name;
    for (char c : path + "\\")
    {
        if (c != '\\')
        {
            name += c;
            continue;
        }
        if (!name.empty())
            names.push_back(name);
        name.clear();
    }
    return names;
}

bool IsWithin(const std::string& path, const std::string& folder)
{
    if (folder == "\\")
        return !path.empty() && path[0] == '\\';
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '\\');
}

bool TreeCache::Set(const std::string& path, const std::vector<std::string>& lines)
{
    if (!Has(path) && m_folders.size() >= kMaxFolders)
        return false;
    Folder& folder = m_folders[path];
    folder.clear();
    for (const std::string& line : lines)
    {
        if (folder.size() == kMaxEntries)
            break;
        halsen::Entry entry = halsen::ParseEntry(line.substr(0, kMaxValue));
        if (!entry.attribute.empty() && !entry.name.empty() && entry.name.find('\\') == std::string::npos)
            folder.push_back(entry);
    }
    return true;
}

void TreeCache::Erase(const std::string& path)
{
    for (const std::string& p : Below(path))
        m_folders.erase(p);
}

const TreeCache::Folder* TreeCache::Find(const std::string& path) const
{
    const auto it = m_folders.find(path);
    return it == m_folders.end() ? nullptr : &it->second;
}

std::string TreeCache::Value(const std::string& path, const std::string& name, const std::string& fallback) const
{
    const Folder* folder = Find(path);
    if (folder)
    {
        for (const halsen::Entry& e : *folder)
        {
            if (e.name == name && !e.IsObject() && !e.IsMethod())
                return e.value;
        }
    }
    return fallback;
}

int TreeCache::Type(const std::string& path) const
{
    const Folder* parent = path == "\\" ? nullptr : Find(ParentPath(path));
    if (parent)
    {
        const std::string name = LastName(path);
        for (const halsen::Entry& e : *parent)
        {
            if (e.name == name && e.IsObject())
                return atoi(e.value.c_str());
        }
    }
    return -1;
}

std::vector<std::string> TreeCache::Below(const std::string& path) const
{
    std::vector<std::string> found;
    for (auto it = m_folders.lower_bound(path); it != m_folders.end() && it->first.compare(0, path.size(), path) == 0;
         ++it)
    {
        if (IsWithin(it->first, path))
            found.push_back(it->first);
    }
    return found;
}

size_t TreeCache::Bytes() const
{
    size_t n = 0;
    for (const auto& f : m_folders)
    {
        n += f.first.size();
        for (const halsen::Entry& e : f.second)
            n += e.name.size() + e.attribute.size() + e.value.size() + sizeof e;
    }
    return n;
}
} // namespace halsend
