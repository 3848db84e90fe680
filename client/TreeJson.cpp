#include "TreeJson.h"

namespace halsen
{
void TreeJson::Visit(int depth, const Entry& entry, const std::string& folderType)
{
    Json item = EntryJson(entry, folderType);
    if (depth <= 0)
    {
        m_root = item;
        m_root["entries"] = Json::array();
        m_levels.assign(1, &m_root["entries"]);
        return;
    }
    const size_t level = static_cast<size_t>(depth) - 1;
    if (level >= m_levels.size())
        return;
    Json& list = *m_levels[level];
    list.push_back(item);
    m_levels.resize(level + 1);
    if (!entry.IsObject())
        return;
    Json& entries = list.back()["entries"];
    entries = Json::array();
    m_levels.push_back(&entries);
}
} // namespace halsen
