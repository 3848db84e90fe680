#pragma once

// The real agent with the RAID plug-in as its device "RAID", on the
// simulated controller, driven as a management server drives it: through
// the client library and halsenctl.

#include "AgentConnection.h"
#include "AgentProcess.h"
#include "FolderClient.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace raidagent
{
using Names = std::vector<std::string>;

const std::string kCritical = std::to_string(static_cast<int>(0x80000001));

// A tree as halsenctl prints it: each entry by its path below the walk's
// start ("MVP1\\ch1\\master"), the start itself by "".
struct PrintedTree
{
    std::map<std::string, halsen::Entry> entries;
    std::map<std::string, Names> children;
};

inline PrintedTree ParseTree(const std::string& text)
{
    PrintedTree tree;
    Names stack;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos)
            continue;
        const size_t depth = indent / 2;
        // "attr name = value", "attr name (type N)", "attr name (rights N)"
        halsen::Entry entry;
        entry.attribute = line.substr(indent, 3);
        std::string rest = line.substr(indent + 4);
        const size_t eq = rest.find(" = ");
        const size_t paren = rest.rfind(" (");
        const size_t cut = eq != std::string::npos ? eq : paren;
        entry.name = rest.substr(0, cut);
        entry.value =
            eq != std::string::npos ? rest.substr(eq + 3) : rest.substr(rest.rfind(' ') + 1);
        if (eq == std::string::npos && !entry.value.empty())
            entry.value.pop_back();
        stack.resize(depth);
        std::string parent;
        for (size_t i = 1; i < stack.size(); ++i)
            parent += (parent.empty() ? "" : "\\") + stack[i];
        stack.push_back(entry.name);
        const std::string path =
            depth == 0 ? "" : (parent.empty() ? "" : parent + "\\") + entry.name;
        tree.entries[path] = entry;
        if (depth > 0 && entry.IsObject())
            tree.children[parent].push_back(entry.name);
    }
    return tree;
}

class RaidAgentTest : public testing::Test
{
public:
    // A fresh preset (its clock stopped, no hot spares to step in unasked),
    // then `setup` (zelsim commands joined by &&), then the agent and one
    // connection.
    void Start(const std::string& preset, const std::string& setup = "")
    {
        Load(preset, setup);
        Launch();
    }

    void Load(const std::string& preset, const std::string& setup = "")
    {
        simtest::LoadPreset(preset);
        simtest::Shell("zelsim set hot-spares 0");
        if (!setup.empty())
            simtest::Shell(setup);
    }

    void Launch()
    {
        // One agent runs at a time: the one of an earlier start goes first.
        m_agent.reset();
        agenttest::UseDevice("RAID", MVRAID_PATH);
        logontest::CreateAdmin();
        m_client.reset();
        m_connection.reset(new halsen::Connection);
        m_agent.reset(new AgentProcess({}));
        ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout() << m_agent->Stderr();
        ASSERT_TRUE(agenttest::ConnectToAgent(*m_connection));
        m_client.reset(new halsen::FolderClient(*m_connection));
        m_client->OnNotice([this](const halsen::Packet& p) { m_Notices.push_back(p); });
    }

    halsen::FolderClient& Client() { return *m_client; }

    // Moves the connection to a folder below the device, e.g. "MVP1\\Data".
    bool At(const std::string& path)
    {
        return Client().Cd("\\RAID" + std::string(path.empty() ? "" : "\\") + path).Ok();
    }

    // Moves to a folder refreshing every folder on the way and the folder
    // itself, as a server does after a notice: a refresh has the plug-in
    // read the object anew and the folder list what it now holds.
    bool Reach(const std::string& path)
    {
        if (!At("") || !Client().Refresh().Ok())
            return false;
        size_t start = 0;
        while (start < path.size())
        {
            size_t end = path.find('\\', start);
            end = end == std::string::npos ? path.size() : end;
            if (!Client().Cd(path.substr(start, end - start)).Ok() || !Client().Refresh().Ok())
                return false;
            start = end + 1;
        }
        return true;
    }

    // The value of an entry as the folder lists it after the refreshes;
    // "<none>" when it is not listed.
    std::string Prop(const std::string& path, const std::string& name)
    {
        if (!Reach(path))
            return "<no " + path + ">";
        const halsen::Answer answer = Client().Get(name);
        return answer.Ok() && answer.lines.size() == 1 ? halsen::ParseEntry(answer.lines[0]).value
                                                       : "<none>";
    }

    // The identity number that method arguments name an object by.
    std::string Identity(const std::string& path)
    {
        const std::string handle = Prop(path, "handle");
        return handle.substr(0, handle.find(';'));
    }

    // The names of a folder's objects after the refreshes.
    Names Children(const std::string& path)
    {
        Names names;
        if (!Reach(path))
            return {"<no " + path + ">"};
        for (const std::string& line : Client().Dir().lines)
        {
            const halsen::Entry entry = halsen::ParseEntry(line);
            if (entry.IsObject())
                names.push_back(entry.name);
        }
        return names;
    }

    // Whether this connection has proved that it runs on the agent's
    // machine: only then do the adapter's local-only methods (creating
    // and deleting arrays, the settings) show their rights.
    bool ProvesLocality()
    {
        At("MVP1");
        const halsen::Answer answer = Client().Get("CreateArray");
        return answer.Ok() && answer.lines.size() == 1 &&
               halsen::ParseEntry(answer.lines[0]).value != "0";
    }

    // Waits up to timeoutMs for a notice with `code` about the folder at
    // `path` below the device.
    bool WaitForNotice(int code, const std::string& path, int timeoutMs)
    {
        const std::string body = "\\RAID\\" + path + "@";
        for (int waited = 0; waited <= timeoutMs; waited += 200)
        {
            for (const halsen::Packet& p : m_Notices)
                if (p.command == code && p.body == body)
                    return true;
            Client().Listen(200);
        }
        return false;
    }

    std::unique_ptr<AgentProcess> m_agent;
    std::unique_ptr<halsen::Connection> m_connection;
    std::unique_ptr<halsen::FolderClient> m_client;
    std::vector<halsen::Packet> m_Notices;
};

#define SKIP_UNLESS_LOCAL()                                                                        \
    if (!ProvesLocality())                                                                         \
    GTEST_SKIP()                                                                                   \
        << "the connection has not proved that it is local, so the local-only methods are refused"

} // namespace raidagent
