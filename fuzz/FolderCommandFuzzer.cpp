// Sends arbitrary folder commands to the agent's tree over one real
// connection, logged on as the administrator from this machine, so that
// the splitting of their bodies at "@", the paths of cd and the arguments
// of set and invoke reach the machine root, the Users folder and a plug-in
// device (the tests' plug-in) as a management server's would.
//
// The input is one command a line: its first character names it (a access,
// d dir, c cd, g get, s set, i invoke, r refresh, p ping, x close; any
// other character an unknown command word) and the rest of the line is the
// body, in which "\n" stands for a line feed.

#include "AgentConnection.h"
#include "CAccountManager.h"
#include "CAccountFile.h"
#include "CEmail.h"
#include "HalsenClient.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace
{
const char kAdmin[] = "admin";
const char kPassword[] = "fuzz-secret";
// Commands taken from one input.
const int kMostCommands = 64;

struct Letter
{
    char letter;
    int command;
};
const Letter kLetters[] = {
    {'a', halsen::kAccess}, {'d', halsen::kDir},     {'c', halsen::kCd},   {'g', halsen::kGet},   {'s', halsen::kSet},
    {'i', halsen::kInvoke}, {'r', halsen::kRefresh}, {'p', halsen::kPing}, {'x', halsen::kClose},
};

int CommandWord(char letter)
{
    for (const Letter& l : kLetters)
    {
        if (l.letter == letter)
            return l.command;
    }
    return 4096 + (static_cast<unsigned char>(letter) & 0x1F);
}

std::string Unescape(const std::string& body)
{
    std::string out;
    for (size_t i = 0; i < body.size(); ++i)
    {
        if (body[i] == '\\' && i + 1 < body.size() && body[i + 1] == 'n')
        {
            out += '\n';
            ++i;
        }
        else
            out += body[i];
    }
    return out;
}

std::string ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const char* path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The agent as it stands after its start: the test plug-in as its one
// device, the Users folder, and an administrator account. Gives the
// account file as it was made.
std::string StartAgent()
{
    fuzzlink::StartDocument();
    WriteFile("/etc/tavrine/Dorvik.rc",
              std::string("[Morliven]\nNumOfDevice=1\nDevice1=Dev\nPath1=") + FUZZ_PLUGIN_PATH + "\n");
    if (g_am.Init(kAdmin, kPassword) != 0)
    {
        fprintf(stderr, "folder command fuzz: cannot make the account (run it in tools/sandbox)\n");
        abort();
    }
    g_AgentDoc.InitRiver();
    g_AgentDoc.InitUserGroup();
    return ReadFile(CAccountFile::m_AccountDataBase);
}

// Receivers added by one input are dropped before the next, as its
// accounts are, so that the inputs do not pile up state.
void ForgetReceivers()
{
    CEmail email;
    while (!CEmail::m_UserList.IsEmpty())
        email.RemoveReceiver(*CEmail::m_UserList.GetAt(1));
}

std::string Packet(int command, int stamp, const std::string& body)
{
    halsen::Packet p;
    p.command = command;
    p.stamp = stamp;
    p.body = body;
    return halsen::Encode(p);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    static const std::string accounts = StartAgent();
    static const std::string logon =
        Packet(halsen::kAccess, 0, halsen::LogonBody(g_AgentDoc.m_Location, halsen::EncodeCredential(kAdmin, kPassword)));
    WriteFile(CAccountFile::m_AccountDataBase, accounts);
    ForgetReceivers();

    fuzzlink::Connection connection;
    connection.Send(logon.data(), logon.size());
    std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
    std::string line;
    for (int n = 1; n <= kMostCommands && connection.IsOpen() && std::getline(lines, line); ++n)
    {
        if (line.empty())
            continue;
        const std::string packet = Packet(CommandWord(line[0]), n, Unescape(line.substr(1)));
        connection.Send(packet.data(), packet.size());
    }
    return 0;
}
