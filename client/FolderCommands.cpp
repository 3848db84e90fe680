#include "FolderCommands.h"

#include "ExitStatus.h"
#include "FolderClient.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace halsen
{
namespace
{
struct CommandForm
{
    const char* name;
    // Arguments every use takes; tree also takes an optional path.
    size_t nArgs;
};

const CommandForm kForms[] = {
    {"dir", 0},    {"cd", 1},      {"get", 1},  {"set", 2},
    {"invoke", 2}, {"refresh", 0}, {"tree", 0}, {"wait", 1},
};

const CommandForm* FindForm(const std::string& word)
{
    for (const CommandForm& form : kForms)
    {
        if (word == form.name)
            return &form;
    }
    return nullptr;
}

struct Step
{
    std::string command;
    std::vector<std::string> args;
};

int UsageError(const std::string& problem)
{
    fprintf(stderr, "halsenctl: %s (see halsenctl --help)\n", problem.c_str());
    return kUsage;
}

bool ParseSeconds(const std::string& text, int& seconds)
{
    char* end = nullptr;
    errno = 0;
    const long value = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || value < 0 || value > INT_MAX / 1000)
        return false;
    seconds = static_cast<int>(value);
    return true;
}

// Cuts the words into steps; the exit status of a usage error, or -1.
int ParseSteps(const std::vector<std::string>& words, std::vector<Step>& steps)
{
    size_t i = 0;
    while (i < words.size())
    {
        const CommandForm* form = FindForm(words[i]);
        if (!form)
            return UsageError("\"" + words[i] + "\" is no folder command");
        Step step;
        step.command = words[i++];
        if (words.size() - i < form->nArgs)
            return UsageError(step.command + " needs " + std::to_string(form->nArgs) +
                              " argument(s)");
        step.args.assign(words.begin() + static_cast<long>(i),
                         words.begin() + static_cast<long>(i + form->nArgs));
        i += form->nArgs;
        if (step.command == "tree" && i < words.size() && !FindForm(words[i]))
            step.args.push_back(words[i++]);
        int seconds = 0;
        if (step.command == "wait" && !ParseSeconds(step.args[0], seconds))
            return UsageError("wait needs a number of seconds, not " + step.args[0]);
        steps.push_back(step);
    }
    return -1;
}

void PrintNotice(const Packet& notice)
{
    printf("%s\n", Describe(notice).c_str());
    fflush(stdout);
}

void PrintEntry(int depth, const Entry& entry)
{
    printf("%*s%s\n", depth * 2, "", EntryLine(entry).c_str());
}

// The exit status of an answer, telling what went wrong.
int Judge(const std::string& what, const Answer& answer)
{
    fflush(stdout);
    if (answer.Ok())
        return kOk;
    fprintf(stderr, "halsenctl: %s: %s\n", what.c_str(), answer.Problem().c_str());
    return answer.status == Connection::kGot ? kErrorReply : kTransport;
}

int RunDir(FolderClient& client)
{
    const Answer answer = client.Dir();
    for (const std::string& line : answer.lines)
        PrintEntry(0, ParseEntry(line));
    return Judge("dir", answer);
}

int RunGet(FolderClient& client, const std::string& name)
{
    const Answer answer = client.Get(name);
    for (const std::string& line : answer.lines)
        PrintEntry(
            0, ParseEntry(name == "." && line.compare(0, 2, ".@") == 0 ? line.substr(2) : line));
    return Judge("get " + name, answer);
}

int RunInvoke(FolderClient& client, const std::string& method, const std::string& args)
{
    const Answer answer = client.Invoke(method, args);
    if (answer.status == Connection::kGot && answer.code != kNoticeNoUser)
        printf("%s\n", answer.Problem().c_str());
    return Judge("invoke " + method, answer);
}

int RunTree(FolderClient& client, const Step& step)
{
    if (!step.args.empty())
    {
        const int status = Judge("cd " + step.args[0], client.Cd(step.args[0]));
        if (status != kOk)
            return status;
    }
    std::string problem;
    const bool done = client.Walk(PrintEntry, problem);
    fflush(stdout);
    if (done)
        return kOk;
    fprintf(stderr, "halsenctl: tree: %s\n", problem.c_str());
    return kErrorReply;
}

int RunWait(FolderClient& client, const std::string& seconds)
{
    int n = 0;
    ParseSeconds(seconds, n);
    Answer answer;
    answer.status = client.Listen(n * 1000);
    if (answer.status == Connection::kTimeout)
        return kOk;
    return Judge("wait", answer);
}

int RunStep(FolderClient& client, const Step& step)
{
    const std::string& c = step.command;
    if (c == "dir")
        return RunDir(client);
    if (c == "cd")
        return Judge("cd " + step.args[0], client.Cd(step.args[0]));
    if (c == "get")
        return RunGet(client, step.args[0]);
    if (c == "set")
        return Judge("set " + step.args[0], client.Set(step.args[0], step.args[1]));
    if (c == "invoke")
        return RunInvoke(client, step.args[0], step.args[1]);
    if (c == "refresh")
        return Judge("refresh", client.Refresh());
    if (c == "tree")
        return RunTree(client, step);
    return RunWait(client, step.args[0]);
}
} // namespace

bool IsFolderCommand(const std::string& word)
{
    return FindForm(word) != nullptr;
}

const char* FolderUsage()
{
    return "Folder commands, run in order on one connection that starts in the root:\n"
           "  dir              list the current folder's entries\n"
           "  cd PATH          change folder; PATH is folder names separated by\n"
           "                   backslashes, a leading one starts at the root, .. goes up\n"
           "  get NAME         print one entry; . is the folder itself\n"
           "  set NAME VALUE   write a property\n"
           "  invoke METHOD ARGS  run a method (ARGS may be \"\"); prints its result\n"
           "  refresh          have the folder read its entries anew\n"
           "  tree [PATH]      print the folder and everything below it, indented;\n"
           "                   with PATH (a word that is no command) cd PATH first\n"
           "  wait SECONDS     print the notices that arrive meanwhile\n"
           "Entries print as \"pr- Model = TR-1000\", \"m-- Succeed (rights 1)\" and\n"
           "\"o-- MVP1 (type 26)\"; notices print as they arrive. The first error reply\n"
           "stops the run with its code and text on standard error.\n"
           "  e.g. halsenctl cd 'RAID\\MVP1' get IRQ invoke TurnOnBuzzer \"\" tree ch1\n";
}

int RunFolderCommands(const FolderRun& run)
{
    std::vector<Step> steps;
    const int usage = ParseSteps(run.words, steps);
    if (usage >= 0)
        return usage;
    Connection connection;
    std::string error;
    if (!connection.Connect(run.host, run.port, error))
    {
        fprintf(stderr, "halsenctl: %s\n", error.c_str());
        return kTransport;
    }
    FolderClient client(connection, run.timeoutMs, run.stamp);
    client.OnNotice(PrintNotice);
    for (const Step& step : steps)
    {
        const int status = RunStep(client, step);
        if (status != kOk)
            return status;
    }
    return kOk;
}
} // namespace halsen
