// halsenctl: finds dorvik agents and talks to them as a management server.

#include "EventQuery.h"
#include "EventText.h"
#include "ExitStatus.h"
#include "FolderCommands.h"
#include "HalsenClient.h"
#include "JsonForms.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
const char kUsageText[] =
    "Usage: halsenctl [OPTIONS] discover\n"
    "       halsenctl [OPTIONS] send REQUEST...\n"
    "       halsenctl [OPTIONS] raw HEX\n"
    "       halsenctl [OPTIONS] watch SECONDS\n"
    "       halsenctl [OPTIONS] FOLDER-COMMAND... (below)\n"
    "       halsenctl [OPTIONS] events FOLDER [--oldest] [--limit N] [--from POS MAGIC]\n"
    "\n"
    "Finds dorvik agents and talks to them as a management server does.\n"
    "\n"
    "  discover         broadcast a discovery request; print the host name and\n"
    "                   address of every agent that announces itself\n"
    "  send REQUEST...  connect and send the requests in order on one connection.\n"
    "                   A request is a command (access, dir, cd, get, set, invoke,\n"
    "                   refresh, close, ping, or a number), a blank and the body,\n"
    "                   e.g. \"get name\". Every data line, closing reply and notice\n"
    "                   that answers is printed; an error reply stops the run\n"
    "  raw HEX          connect, send the bytes written in hexadecimal, print the\n"
    "                   packets that come back until the agent closes or time-out\n"
    "  watch SECONDS    connect and print the notices that arrive meanwhile; removed,\n"
    "                   changed and event notices in words, with the event decoded\n"
    "  events FOLDER    list the events kept in a folder's log (e.g. \\\\MVP1), newest\n"
    "                   first or, with --oldest, oldest first; --limit N stops after\n"
    "                   N; the last line \"next POS MAGIC\" is where --from goes on\n"
    "\n"
    "Options:\n"
    "  --host ADDR      the agent's dotted address (default 127.0.0.1)\n"
    "  --port N         the agent's port (default 710)\n"
    "  --timeout MS     how long to wait for answers (default 5000, discover 2000)\n"
    "  --address ADDR   where discover sends its request (default 255.255.255.255)\n"
    "  --request TEXT   the discovery request (default \"TAVRINE_HALSEN#\")\n"
    "  --stamp N        stamp word of the first request, counted up (default 1)\n"
    "  --user NAME      log NAME on first and keep the logon (a silent connection\n"
    "                   pings the agent every minute and answers its pings);\n"
    "                   the password is asked for without echo, or taken from\n"
    "                   $HALSEN_PASSWORD or the first line of --password-file\n"
    "  --password-file FILE  read the password of --user from FILE\n"
    "  --raw            print status values as the agent sends them, without\n"
    "                   their words (\"Status = 512\", not \"Status = 512 (rebuilding)\")\n"
    "  --json           print JSON instead of text, one object on a line for each\n"
    "                   answer, notice or packet (see halsenctl(1)); errors are\n"
    "                   still told on standard error, with the same exit status\n"
    "  -h, --help       this text\n"
    "\n"
    "Exit status: 0 done; 1 an error reply, or no agent answered; 2 bad usage;\n"
    "3 the connection failed, the logon was refused, the agent closed the\n"
    "connection or it timed out.\n";

// Well inside the agent's two minutes of silence that end a logon.
const int kKeepAliveMs = 60000;

struct Options
{
    std::string host = "127.0.0.1";
    int port = halsen::kAgentPort;
    int timeoutMs = -1;
    int stamp = 1;
    std::string user;
    halsen::PasswordSource password;
    halsen::DiscoverOptions discover;
    bool raw = false;
    bool json = false;
    std::vector<std::string> words;
};

int Usage(const char* problem)
{
    fprintf(stderr, "halsenctl: %s\n\n%s\n%s", problem, kUsageText, halsen::FolderUsage());
    return kUsage;
}

bool ParseNumber(const char* text, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long value = strtol(text, &end, 10);
    if (!*text || *end || errno || value < -2147483647L - 1 || value > 2147483647L)
        return false;
    out = static_cast<int>(value);
    return true;
}

// Fills `options`; returns -1 when the run goes on, else the exit status.
int ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help")
        {
            printf("%s\n%s", kUsageText, halsen::FolderUsage());
            return kOk;
        }
        if ((arg == "--raw" || arg == "--json") && options.words.empty())
        {
            (arg == "--raw" ? options.raw : options.json) = true;
            continue;
        }
        const bool takesValue = arg == "--host" || arg == "--port" || arg == "--timeout" || arg == "--address" ||
                                arg == "--request" || arg == "--stamp" || arg == "--user" ||
                                arg == "--password-file";
        if (!takesValue)
        {
            if (arg.size() > 1 && arg[0] == '-' && options.words.empty())
                return Usage(("unknown option " + arg).c_str());
            options.words.push_back(arg);
            continue;
        }
        if (++i == argc)
            return Usage((arg + " needs a value").c_str());
        const char* value = argv[i];
        if ((arg == "--port" && !ParseNumber(value, options.port)) ||
            (arg == "--timeout" && (!ParseNumber(value, options.timeoutMs) || options.timeoutMs < 0)) ||
            (arg == "--stamp" && !ParseNumber(value, options.stamp)))
            return Usage((arg + " needs a number, not " + value).c_str());
        if (arg == "--host")
            options.host = value;
        else if (arg == "--address")
            options.discover.address = value;
        else if (arg == "--request")
            options.discover.request = value;
        else if (arg == "--user")
            options.user = value;
        else if (arg == "--password-file")
            options.password.file = value;
    }
    return options.words.empty() ? Usage("no command given") : -1;
}

int Timeout(const Options& options, int fallback)
{
    return options.timeoutMs >= 0 ? options.timeoutMs : fallback;
}

int RunDiscover(const Options& options)
{
    halsen::DiscoverOptions discover = options.discover;
    discover.timeoutMs = Timeout(options, 2000);
    std::vector<halsen::Announcement> found;
    std::string error;
    if (!halsen::Discover(discover, found, error))
    {
        fprintf(stderr, "halsenctl: %s\n", error.c_str());
        return kTransport;
    }
    halsen::Json agents = halsen::Json::array();
    for (const halsen::Announcement& a : found)
    {
        if (options.json)
            agents.push_back({{"host", a.host}, {"address", a.address}});
        else
            printf("%s\t%s\n", a.host.c_str(), a.address.c_str());
    }
    if (options.json)
        halsen::PrintJson({{"command", "discover"}, {"agents", agents}});
    if (found.empty())
    {
        fprintf(stderr, "halsenctl: no agent answered within %d ms\n", discover.timeoutMs);
        return kErrorReply;
    }
    return kOk;
}

// Connects, and logs the user on when one is named.
bool Connect(const Options& options, halsen::Connection& connection)
{
    std::string error, password;
    if (!options.user.empty() && !halsen::ReadPassword(options.password, password, error))
    {
        fprintf(stderr, "halsenctl: %s\n", error.c_str());
        return false;
    }
    // The identity proves that the client is on the agent's machine; it is
    // never shown to an agent elsewhere, which could replay it.
    unsigned long location[2] = {0, 0};
    if (options.host.compare(0, 4, "127.") == 0)
        halsen::ReadLocalLocation(location);
    const bool done = connection.Connect(options.host, options.port, error) &&
                      (options.user.empty() || connection.LogOn(options.user, password, error, location));
    if (!done)
        fprintf(stderr, "halsenctl: %s\n", error.c_str());
    connection.KeepAlive(kKeepAliveMs);
    return done;
}

int ReportEnd(halsen::Connection::Status status)
{
    switch (status)
    {
    case halsen::Connection::kClosed:
        fprintf(stderr, "halsenctl: the agent closed the connection\n");
        break;
    case halsen::Connection::kTimeout:
        fprintf(stderr, "halsenctl: no answer in time\n");
        break;
    case halsen::Connection::kBroken:
        fprintf(stderr, "halsenctl: the connection failed or carried no packet\n");
        break;
    case halsen::Connection::kGot:
        return kOk;
    }
    return kTransport;
}

// What one request's answer means for the run: kOk to go on.
int Judge(const halsen::Packet& request, const halsen::Packet& last)
{
    if (last.kind == halsen::kNotice && last.command == halsen::kClose)
        return request.command == halsen::kClose ? kOk : ReportEnd(halsen::Connection::kClosed);
    const int code = halsen::ReplyCode(last);
    // A get of a plug-in property closes with 0@Functional.
    return code == -1 || code == 800 || code == 0 ? kOk : kErrorReply;
}

int RunSend(const Options& options)
{
    std::vector<halsen::Packet> requests;
    for (size_t i = 1; i < options.words.size(); ++i)
    {
        const std::string& word = options.words[i];
        const size_t blank = word.find(' ');
        halsen::Packet p;
        p.command = halsen::CommandCode(word.substr(0, blank));
        if (p.command < 0)
            return Usage(("unknown command in \"" + word + "\"").c_str());
        p.stamp = options.stamp + static_cast<int>(i) - 1;
        p.body = blank == std::string::npos ? "" : word.substr(blank + 1);
        requests.push_back(p);
    }
    if (requests.empty())
        return Usage("send needs at least one request");
    halsen::Connection connection;
    if (!Connect(options, connection))
        return kTransport;
    for (const halsen::Packet& request : requests)
    {
        std::vector<halsen::Packet> replies;
        const halsen::Connection::Status status = connection.Request(request, replies, Timeout(options, 5000));
        for (const halsen::Packet& p : replies)
        {
            if (options.json)
                halsen::PrintJson(halsen::PacketJson(p));
            else
                printf("%s\n", halsen::Describe(p).c_str());
        }
        fflush(stdout);
        if (status != halsen::Connection::kGot)
            return ReportEnd(status);
        const int verdict = Judge(request, replies.back());
        if (verdict != kOk)
            return verdict;
    }
    return kOk;
}

bool ParseHex(const std::string& text, std::string& out)
{
    std::string digits;
    for (char c : text)
    {
        if (c == ' ' || c == ':' || c == '\n' || c == '\t')
            continue;
        if (!isxdigit(static_cast<unsigned char>(c)))
            return false;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        out += static_cast<char>(strtol(digits.substr(i, 2).c_str(), nullptr, 16));
    return true;
}

// Prints packets until the agent closes or the time-out passes.
int PrintIncoming(halsen::Connection& connection, int timeoutMs, bool json)
{
    halsen::Packet p;
    halsen::Connection::Status status;
    while ((status = connection.Receive(p, timeoutMs)) == halsen::Connection::kGot)
    {
        if (json)
            halsen::PrintJson(halsen::NoticeJson(p));
        else
            printf("%s\n", halsen::DescribeNotice(p).c_str());
        fflush(stdout);
    }
    if (status == halsen::Connection::kClosed && json)
        halsen::PrintJson({{"closed", true}});
    else if (status == halsen::Connection::kClosed)
        printf("closed\n");
    return status == halsen::Connection::kBroken ? ReportEnd(status) : kOk;
}

int RunRaw(const Options& options)
{
    std::string bytes;
    if (options.words.size() != 2 || !ParseHex(options.words[1], bytes))
        return Usage("raw needs one argument of hexadecimal byte pairs");
    halsen::Connection connection;
    if (!Connect(options, connection))
        return kTransport;
    if (!connection.SendRaw(bytes))
        return ReportEnd(halsen::Connection::kBroken);
    return PrintIncoming(connection, Timeout(options, 5000), options.json);
}

int RunWatch(const Options& options)
{
    int seconds = 0;
    if (options.words.size() != 2 || !ParseNumber(options.words[1].c_str(), seconds) || seconds < 0)
        return Usage("watch needs a number of seconds");
    halsen::Connection connection;
    if (!Connect(options, connection))
        return kTransport;
    return PrintIncoming(connection, seconds * 1000, options.json);
}
int RunEvents(const Options& options)
{
    halsen::EventQuery query;
    std::string problem;
    if (!halsen::ParseEventQuery(std::vector<std::string>(options.words.begin() + 1, options.words.end()), query,
                                 problem))
        return Usage(problem.c_str());
    halsen::Connection connection;
    if (!Connect(options, connection))
        return kTransport;
    int code = 0;
    const halsen::Connection::Status status =
        halsen::ListEvents(connection, query, Timeout(options, 5000), options.json, code);
    if (status != halsen::Connection::kGot)
        return ReportEnd(status);
    return code == 800 ? kOk : kErrorReply;
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int status = ParseOptions(argc, argv, options);
    if (status >= 0)
        return status;
    const std::string& command = options.words[0];
    if (command == "discover" && options.words.size() == 1)
        return RunDiscover(options);
    if (command == "send")
        return RunSend(options);
    if (command == "raw")
        return RunRaw(options);
    if (command == "watch")
        return RunWatch(options);
    if (halsen::IsFolderCommand(command))
    {
        auto connect = [&options](halsen::Connection& connection) { return Connect(options, connection); };
        return halsen::RunFolderCommands(
            {connect, Timeout(options, 5000), options.stamp, options.words, options.raw, options.json});
    }
    if (command == "events")
        return RunEvents(options);
    return Usage(("unknown command " + command).c_str());
}
