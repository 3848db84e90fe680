#pragma once

// The settings of a systemd unit file: each key's values as words, a key
// given more than once collecting the words of every line.

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace servicetest
{
inline std::string UnitPath() { return std::string(TAVRINE_BUILD_DIR) + "/dist/dorvik.service"; }

class ServiceUnit
{
public:
    bool Load(const std::string& path)
    {
        std::ifstream in(path);
        if (!in)
            return false;
        std::string line;
        while (std::getline(in, line))
        {
            const size_t eq = line.find('=');
            if (line.empty() || line[0] == '#' || line[0] == '[' || eq == std::string::npos)
                continue;
            std::vector<std::string>& words = m_settings[line.substr(0, eq)];
            std::istringstream values(line.substr(eq + 1));
            std::string word;
            while (values >> word)
                words.push_back(word);
        }
        return true;
    }

    std::vector<std::string> Words(const std::string& key) const
    {
        const auto it = m_settings.find(key);
        return it == m_settings.end() ? std::vector<std::string>() : it->second;
    }

private:
    std::map<std::string, std::vector<std::string>> m_settings;
};
} // namespace servicetest
