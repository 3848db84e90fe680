#pragma once

// halsend's settings, read once at start from its INI file. Secrets (the
// agents' account password, the API token, the basic-auth password) come
// from files of their own that only the owner may read; they are loaded
// here and handed to the parts that need them, never printed.

#include <string>
#include <vector>

namespace halsend
{
struct StaticAgent
{
    std::string address;
    int port = 710;
};

struct Config
{
    // Where announcements are received (UDP 712) and where discovery
    // requests are sent from.
    std::string listenAddress = "0.0.0.0";
    int announcePort = 712;
    int discoveryPort = 713;
    // Broadcast addresses the discovery request goes to.
    std::vector<std::string> networks;
    int discoveryIntervalSeconds = 60;
    std::vector<StaticAgent> agents;
    int agentPort = 710;

    std::string user;
    std::string passwordFile;
    std::string password;

    std::string httpAddress = "127.0.0.1";
    int httpPort = 9710;
    std::string token;
    std::string basicUser;
    std::string basicPassword;
    std::string tlsCertificate;
    std::string tlsKey;

    int requestTimeoutSeconds = 10;
    int reconnectMaxSeconds = 60;
    int eventPollSeconds = 30;
    int keepAliveSeconds = 60;
};

// Reads the file at `path`; false with the reason in `error`, which never
// holds a secret.
bool LoadConfig(const std::string& path, Config& config, std::string& error);

// The first line of a secret file that is a regular file no one but its
// owner can read or write; false with the reason otherwise.
bool ReadSecretFile(const std::string& path, std::string& secret, std::string& error);

// Whether path is a regular file that only its owner may read or write.
bool CheckOwnerOnly(const std::string& path, std::string& error);

// "10.0.0.5", "10.0.0.5:7100"; false for anything else.
bool ParseAgentAddress(const std::string& text, int defaultPort, StaticAgent& out);

// Splits a list written with commas or blanks.
std::vector<std::string> SplitList(const std::string& text);
} // namespace halsend
