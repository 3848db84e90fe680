#include "FolderClient.h"

#include "ClientSockets.h"

namespace halsen
{
namespace
{
// An agent's tree is a few levels deep (adapter, channel, disk); a walk
// that goes far deeper is following a fault of the peer, not a tree.
const int kMaxWalkDepth = 32;

std::string StatusText(Connection::Status status)
{
    switch (status)
    {
    case Connection::kTimeout:
        return "no answer in time";
    case Connection::kClosed:
        return "the agent closed the connection";
    case Connection::kBroken:
        return "the connection failed or carried no packet";
    case Connection::kGot:
        break;
    }
    return "";
}

std::vector<std::string> PathSteps(const std::string& path)
{
    std::vector<std::string> steps;
    if (!path.empty() && path[0] == '\\')
        steps.push_back("\\");
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            steps.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return steps;
}
} // namespace

Entry ParseEntry(const std::string& text)
{
    Entry entry;
    const size_t first = text.find('@');
    const size_t second = first == std::string::npos ? first : text.find('@', first + 1);
    if (second == std::string::npos)
    {
        entry.name = text;
        return entry;
    }
    entry.name = text.substr(0, first);
    entry.attribute = text.substr(first + 1, second - first - 1);
    entry.value = text.substr(second + 1);
    return entry;
}

std::string EntryLine(const Entry& entry, const std::string& word)
{
    if (entry.attribute.empty())
        return entry.name;
    const std::string head = entry.attribute + " " + entry.name;
    if (entry.IsObject())
        return head + " (type " + entry.value + ")";
    if (entry.IsMethod())
        return head + " (rights " + entry.value + ")";
    return head + " = " + entry.value + (word.empty() ? "" : " (" + word + ")");
}

std::string Answer::Problem() const
{
    if (status != Connection::kGot)
        return StatusText(status);
    if (code == kNoticeNoUser)
        return "the agent wants a logon first (notice 8192)";
    const size_t at = finish.find('@');
    return at == std::string::npos ? finish : finish.substr(0, at) + " " + finish.substr(at + 1);
}

FolderClient::FolderClient(Connection& connection, int timeoutMs, int stamp)
    : m_connection(connection), m_timeoutMs(timeoutMs), m_stamp(stamp)
{
}

bool FolderClient::TakeNotice(const Packet& notice, Answer& answer)
{
    if (m_onNotice)
        m_onNotice(notice);
    if (notice.command == kClose)
    {
        answer.status = Connection::kClosed;
        return false;
    }
    if (notice.command == kNoticeNoUser)
    {
        answer.code = kNoticeNoUser;
        return false;
    }
    return true;
}

Answer FolderClient::Ask(int command, const std::string& body)
{
    Packet request;
    request.command = command;
    request.stamp = m_stamp++;
    request.body = body;
    Answer answer;
    if (!m_connection.Send(request))
    {
        answer.status = Connection::kBroken;
        return answer;
    }
    const Deadline deadline(m_timeoutMs);
    for (;;)
    {
        Packet p;
        answer.status = m_connection.Receive(p, deadline.Left());
        if (answer.status != Connection::kGot)
            return answer;
        if (p.kind == kNotice && !TakeNotice(p, answer))
            return answer;
        if (p.kind == kData && p.command == command)
            answer.lines.push_back(p.body);
        if (p.kind == kFinish && p.command == command)
        {
            answer.finish = p.body;
            answer.code = ReplyCode(p);
            return answer;
        }
    }
}

Answer FolderClient::Cd(const std::string& path)
{
    const std::vector<std::string> steps = PathSteps(path);
    // A path of no names is the agent's to answer.
    if (steps.empty())
        return Ask(kCd, path);
    Answer answer;
    for (const std::string& step : steps)
    {
        answer = Ask(kCd, step);
        if (!answer.Ok())
            return answer;
    }
    return answer;
}

bool FolderClient::Walk(const Visitor& visit, std::string& problem)
{
    const Answer self = Get(".");
    if (!self.Ok() || self.lines.size() != 1 || self.lines[0].compare(0, 2, ".@") != 0)
    {
        problem = "get .: " + (self.Ok() ? "no entry of the folder itself" : self.Problem());
        return false;
    }
    visit(0, ParseEntry(self.lines[0].substr(2)));
    return WalkFolder(1, visit, problem);
}

bool FolderClient::WalkFolder(int depth, const Visitor& visit, std::string& problem)
{
    const Answer listing = Dir();
    if (!listing.Ok())
    {
        problem = "dir: " + listing.Problem();
        return false;
    }
    for (const std::string& line : listing.lines)
    {
        const Entry entry = ParseEntry(line);
        visit(depth, entry);
        if (!entry.IsObject())
            continue;
        if (depth == kMaxWalkDepth)
        {
            problem = "the tree goes deeper than " + std::to_string(kMaxWalkDepth) + " levels at " +
                      entry.name;
            return false;
        }
        const Answer in = Ask(kCd, entry.name);
        if (!in.Ok())
        {
            problem = "cd " + entry.name + ": " + in.Problem();
            return false;
        }
        if (!WalkFolder(depth + 1, visit, problem))
            return false;
        // A folder that vanished meanwhile moves the connection to the
        // root, where ".." fails: the walk stops instead of going astray.
        const Answer out = Ask(kCd, "..");
        if (!out.Ok())
        {
            problem = "cd .. from " + entry.name + ": " + out.Problem();
            return false;
        }
    }
    return true;
}

Connection::Status FolderClient::Listen(int timeoutMs)
{
    const Deadline deadline(timeoutMs);
    for (;;)
    {
        Packet p;
        Answer answer;
        const Connection::Status status = m_connection.Receive(p, deadline.Left());
        if (status != Connection::kGot)
            return status;
        if (p.kind == kNotice && !TakeNotice(p, answer) && answer.status != Connection::kGot)
            return answer.status;
    }
}
} // namespace halsen
