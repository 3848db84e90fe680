#include "Config.h"

#include "CProfile.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace halsend
{
namespace
{
const int kStaticKeys = 256;

std::string Text(CProfile& profile, const char* section, const char* key, const std::string& fallback)
{
    CString value;
    profile.GetProfile(section, key, value);
    return value.GetLength() > 0 ? std::string(value.GetBuffer()) : fallback;
}

bool Number(CProfile& profile, const char* section, const char* key, int low, int high, int& out,
            std::string& error)
{
    const std::string text = Text(profile, section, key, std::to_string(out));
    char* end = nullptr;
    errno = 0;
    const long value = strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value < low || value > high)
    {
        error = std::string(section) + "/" + key + " must be a number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not \"" + text + "\"";
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool IsAddress(const std::string& text)
{
    in_addr addr;
    return inet_pton(AF_INET, text.c_str(), &addr) == 1;
}

bool ReadNumbers(CProfile& profile, Config& config, std::string& error)
{
    return Number(profile, "Discovery", "IntervalSeconds", 1, 86400, config.discoveryIntervalSeconds, error) &&
           Number(profile, "Discovery", "AnnouncePort", 1, 65535, config.announcePort, error) &&
           Number(profile, "Discovery", "RequestPort", 1, 65535, config.discoveryPort, error) &&
           Number(profile, "Agents", "Port", 1, 65535, config.agentPort, error) &&
           Number(profile, "Agents", "RequestTimeoutSeconds", 1, 600, config.requestTimeoutSeconds, error) &&
           Number(profile, "Agents", "ReconnectMaxSeconds", 1, 3600, config.reconnectMaxSeconds, error) &&
           Number(profile, "Agents", "EventPollSeconds", 1, 3600, config.eventPollSeconds, error) &&
           Number(profile, "Agents", "KeepAliveSeconds", 1, 110, config.keepAliveSeconds, error) &&
           Number(profile, "Http", "Port", 1, 65535, config.httpPort, error);
}

// A profile line holds a few hundred bytes at most, so a long list goes on
// in Static2, Static3 and so on.
std::vector<std::string> StaticList(CProfile& profile)
{
    std::vector<std::string> all = SplitList(Text(profile, "Agents", "Static", ""));
    for (int i = 2; i <= kStaticKeys; ++i)
    {
        const std::vector<std::string> more = SplitList(Text(profile, "Agents", ("Static" + std::to_string(i)).c_str(), ""));
        all.insert(all.end(), more.begin(), more.end());
    }
    return all;
}

bool ReadAddresses(CProfile& profile, Config& config, std::string& error)
{
    config.listenAddress = Text(profile, "Discovery", "Listen", config.listenAddress);
    config.networks = SplitList(Text(profile, "Discovery", "Networks", ""));
    config.httpAddress = Text(profile, "Http", "Address", config.httpAddress);
    for (const std::string& a : config.networks)
    {
        if (!IsAddress(a))
        {
            error = "Discovery/Networks: not a dotted IPv4 address: " + a;
            return false;
        }
    }
    if (!IsAddress(config.listenAddress) || !IsAddress(config.httpAddress))
    {
        error = "Discovery/Listen and Http/Address must be dotted IPv4 addresses";
        return false;
    }
    for (const std::string& a : StaticList(profile))
    {
        StaticAgent agent;
        if (!ParseAgentAddress(a, config.agentPort, agent))
        {
            error = "Agents/Static: not an address or address:port: " + a;
            return false;
        }
        config.agents.push_back(agent);
    }
    return true;
}

bool ReadSecrets(CProfile& profile, Config& config, std::string& error)
{
    config.user = Text(profile, "Account", "User", "");
    config.passwordFile = Text(profile, "Account", "PasswordFile", "");
    if (config.user.empty() || config.passwordFile.empty())
    {
        error = "Account/User and Account/PasswordFile are needed";
        return false;
    }
    if (!ReadSecretFile(config.passwordFile, config.password, error))
        return false;
    const std::string tokenFile = Text(profile, "Http", "TokenFile", "");
    if (!tokenFile.empty() && !ReadSecretFile(tokenFile, config.token, error))
        return false;
    config.basicUser = Text(profile, "Http", "BasicUser", "");
    const std::string basicFile = Text(profile, "Http", "BasicPasswordFile", "");
    if (config.basicUser.empty() != basicFile.empty())
    {
        error = "Http/BasicUser and Http/BasicPasswordFile go together";
        return false;
    }
    return basicFile.empty() || ReadSecretFile(basicFile, config.basicPassword, error);
}

bool ReadTls(CProfile& profile, Config& config, std::string& error)
{
    config.tlsCertificate = Text(profile, "Http", "TlsCertificate", "");
    config.tlsKey = Text(profile, "Http", "TlsKey", "");
    if (config.tlsCertificate.empty() != config.tlsKey.empty())
    {
        error = "Http/TlsCertificate and Http/TlsKey go together";
        return false;
    }
    return config.tlsKey.empty() || CheckOwnerOnly(config.tlsKey, error);
}
} // namespace

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> items;
    std::string item;
    for (char c : text + ",")
    {
        if (c == ',' || c == ' ' || c == '\t')
        {
            if (!item.empty())
                items.push_back(item);
            item.clear();
        }
        else
            item += c;
    }
    return items;
}

bool ParseAgentAddress(const std::string& text, int defaultPort, StaticAgent& out)
{
    const size_t colon = text.find(':');
    out.address = text.substr(0, colon);
    out.port = defaultPort;
    if (colon != std::string::npos)
    {
        const std::string port = text.substr(colon + 1);
        char* end = nullptr;
        const long value = strtol(port.c_str(), &end, 10);
        if (port.empty() || *end != '\0' || value < 1 || value > 65535)
            return false;
        out.port = static_cast<int>(value);
    }
    return IsAddress(out.address);
}

bool CheckOwnerOnly(const std::string& path, std::string& error)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
    {
        error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode) || (st.st_mode & 077) != 0)
    {
        char mode[8];
        snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = path + " must be a plain file that only its owner may read (mode 0600), not mode " + mode;
        return false;
    }
    return true;
}

bool ReadSecretFile(const std::string& path, std::string& secret, std::string& error)
{
    if (!CheckOwnerOnly(path, error))
        return false;
    std::ifstream in(path);
    if (!in || !std::getline(in, secret) || secret.empty())
    {
        error = path + " holds no secret on its first line";
        return false;
    }
    return true;
}

bool LoadConfig(const std::string& path, Config& config, std::string& error)
{
    // The profile class makes a missing file; a daemon started with a
    // wrong path must say so instead of running with nothing configured.
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    {
        error = "no configuration file " + path;
        return false;
    }
    CProfile profile(path.c_str());
    if (!ReadNumbers(profile, config, error) || !ReadAddresses(profile, config, error) ||
        !ReadSecrets(profile, config, error) || !ReadTls(profile, config, error))
    {
        error = path + ": " + error;
        return false;
    }
    return true;
}
} // namespace halsend
