#pragma once

// The folder commands over one connection, as a management server browses
// an agent's tree: dir, cd (a path taken one step at a time), get, set,
// invoke, refresh, and a walk of the whole tree below a folder. Notices
// that arrive meanwhile go to a handler as they come.

#include "HalsenClient.h"

#include <functional>
#include <string>
#include <vector>

namespace halsen
{
// One entry of a folder as dir and get list it: name@attribute@value.
struct Entry
{
    std::string name;
    std::string attribute;
    std::string value;

    bool IsObject() const { return !attribute.empty() && attribute[0] == 'o'; }
    bool IsMethod() const { return !attribute.empty() && attribute[0] == 'm'; }
};

// Splits at the first two "@" (the value may hold more); a text with fewer
// gives the whole text as the name and no attribute.
Entry ParseEntry(const std::string& text);
// One line for people: "pr- Model = TR-1000", "m-- Succeed (rights 1)",
// "o-- MVP1 (type 26)"; a property's value with its word, when given, as
// "prv Status = -2147483647 (critical)".
std::string EntryLine(const Entry& entry, const std::string& word = "");

// What answered one request.
struct Answer
{
    Connection::Status status = Connection::kGot;
    std::vector<std::string> lines;
    // The closing reply's body, e.g. "800@Functional".
    std::string finish;
    int code = -1;

    // Closed with a code whose text is "Functional": 800, or the 0 that a
    // get of a plug-in property closes with.
    bool Ok() const { return status == Connection::kGot && (code == 800 || code == 0); }
    // "803 Not found", or what ended the wait.
    std::string Problem() const;
};

// The notice an agent sends instead of a reply when the connection has no
// valid logon.
const int kNoticeNoUser = 8192;

class FolderClient
{
public:
    using NoticeHandler = std::function<void(const Packet&)>;
    using Visitor = std::function<void(int depth, const Entry&)>;

    explicit FolderClient(Connection& connection, int timeoutMs = 5000, int stamp = 1);

    void OnNotice(NoticeHandler handler) { m_onNotice = std::move(handler); }

    // Sends one request and gathers its data lines up to its closing reply.
    Answer Ask(int command, const std::string& body);
    Answer Dir() { return Ask(kDir, ""); }
    Answer Get(const std::string& name) { return Ask(kGet, name); }
    Answer Set(const std::string& name, const std::string& value)
    {
        return Ask(kSet, name + "@" + value);
    }
    Answer Invoke(const std::string& method, const std::string& args)
    {
        return Ask(kInvoke, method + "@" + args);
    }
    Answer Refresh() { return Ask(kRefresh, ""); }
    // A path of folder names separated by backslashes (a name never holds
    // one); a leading backslash starts at the root, ".." goes up. Stops at
    // the first step that fails and answers with it.
    Answer Cd(const std::string& path);

    // Visits the current folder (depth 0) and every entry below it, each
    // folder's entries in the agent's order, a child folder's entries
    // right after the child; ends in the folder it started in. False with
    // `problem` set when a step fails.
    bool Walk(const Visitor& visit, std::string& problem);

    // Hands on the notices that arrive within timeoutMs; kTimeout when the
    // time passed quietly, otherwise what ended the wait.
    Connection::Status Listen(int timeoutMs);

private:
    bool WalkFolder(int depth, const Visitor& visit, std::string& problem);
    // Hands a notice on; false when it ends the request (the agent closes,
    // or wants a logon first).
    bool TakeNotice(const Packet& notice, Answer& answer);

    Connection& m_connection;
    int m_timeoutMs;
    int m_stamp;
    NoticeHandler m_onNotice;
};
} // namespace halsen
