#include "FolderCommands.h"

#include "ExitStatus.h"
#include "FolderClient.h"
#include "JsonForms.h"
#include "StateWords.h"
#include "TreeJson.h"

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

// How the run prints: words or raw values, text or JSON.
struct Style
{
    bool raw = false;
    bool json = false;
};

Style g_style;

void PrintNotice(const Packet& notice)
{
    if (g_style.json)
        PrintJson(NoticeJson(notice));
    else
        printf("%s\n", Describe(notice).c_str());
    fflush(stdout);
}

std::string WordOf(const std::string& folderType, const Entry& entry)
{
    if (g_style.raw || entry.IsObject() || entry.IsMethod())
        return "";
    return StateWord(folderType, entry.name, entry.value);
}

void PrintEntry(int depth, const std::string& folderType, const Entry& entry)
{
    printf("%*s%s\n", depth * 2, "", EntryLine(entry, WordOf(folderType, entry)).c_str());
}

// The type number of the current folder's object, which says what its
// values mean; "" when it cannot be told (no words are shown then).
std::string CurrentType(FolderClient& client)
{
    if (g_style.raw)
        return "";
    const Answer self = client.Get(".");
    if (!self.Ok() || self.lines.size() != 1 || self.lines[0].compare(0, 2, ".@") != 0)
        return "";
    return ParseEntry(self.lines[0].substr(2)).value;
}

Json StepJson(const Step& step, const Answer& answer)
{
    Json out = {{"command", step.command}, {"args", step.args}, {"ok", answer.Ok()}};
    if (answer.status != Connection::kGot || answer.code == -1)
        out["problem"] = answer.Problem();
    else
    {
        out["code"] = answer.code;
        const size_t at = answer.finish.find('@');
        out["reply"] = at == std::string::npos ? answer.finish : answer.finish.substr(at + 1);
    }
    return out;
}

// The exit status of an answer, telling what went wrong; in JSON the
// answer's object comes first, with `more` in it.
int Judge(const Step& step, const Answer& answer, const Json& more = Json::object())
{
    if (g_style.json)
    {
        Json out = StepJson(step, answer);
        out.update(more);
        PrintJson(out);
    }
    fflush(stdout);
    if (answer.Ok())
        return kOk;
    // The command and what it names: a value set or a method's arguments
    // stay untold.
    const std::string what = step.command + (step.args.empty() ? "" : " " + step.args[0]);
    fprintf(stderr, "halsenctl: %s: %s\n", what.c_str(), answer.Problem().c_str());
    return answer.status == Connection::kGot ? kErrorReply : kTransport;
}

// The entries of a dir or get; a get of the folder itself lists it
// under its own name.
int RunListing(FolderClient& client, const Step& step, const Answer& answer)
{
    const bool self = step.command == "get" && step.args[0] == ".";
    const std::string type = answer.Ok() && !self ? CurrentType(client) : "";
    Json entries = Json::array();
    for (const std::string& line : answer.lines)
    {
        const Entry entry = ParseEntry(self && line.compare(0, 2, ".@") == 0 ? line.substr(2) : line);
        if (g_style.json)
            entries.push_back(EntryJson(entry, type));
        else
            PrintEntry(0, type, entry);
    }
    return Judge(step, answer, {{"entries", entries}});
}

int RunInvoke(FolderClient& client, const Step& step)
{
    const Answer answer = client.Invoke(step.args[0], step.args[1]);
    if (!g_style.json && answer.status == Connection::kGot && answer.code != kNoticeNoUser)
        printf("%s\n", answer.Problem().c_str());
    return Judge(step, answer, {{"lines", answer.lines}});
}

int RunTree(FolderClient& client, const Step& step)
{
    if (!step.args.empty())
    {
        const Step cd{"cd", step.args};
        const Answer answer = client.Cd(step.args[0]);
        if (!answer.Ok())
            return Judge(cd, answer);
    }
    // The type of each depth's folder: a folder's entries come right after
    // its own entry, which carries its type.
    std::vector<std::string> types(1);
    TreeJson tree;
    auto visit = [&types, &tree](int depth, const Entry& entry)
    {
        const size_t level = static_cast<size_t>(depth);
        const std::string type = level < types.size() ? types[level] : "";
        if (g_style.json)
            tree.Visit(depth, entry, g_style.raw ? "" : type);
        else
            PrintEntry(depth, type, entry);
        if (!entry.IsObject())
            return;
        types.resize(level + 1);
        types.push_back(entry.value);
    };
    std::string problem;
    const bool done = client.Walk(visit, problem);
    if (g_style.json)
    {
        Json out = {{"command", "tree"}, {"args", step.args}, {"ok", done}};
        out[done ? "tree" : "problem"] = done ? tree.Root() : Json(problem);
        PrintJson(out);
    }
    fflush(stdout);
    if (done)
        return kOk;
    fprintf(stderr, "halsenctl: tree: %s\n", problem.c_str());
    return kErrorReply;
}

int RunWait(FolderClient& client, const Step& step)
{
    int n = 0;
    ParseSeconds(step.args[0], n);
    Answer answer;
    answer.status = client.Listen(n * 1000);
    if (answer.status != Connection::kTimeout)
        return Judge(step, answer);
    // Waiting the time out is what was asked.
    if (g_style.json)
        PrintJson({{"command", step.command}, {"args", step.args}, {"ok", true}});
    return kOk;
}

int RunStep(FolderClient& client, const Step& step)
{
    const std::string& c = step.command;
    if (c == "dir")
        return RunListing(client, step, client.Dir());
    if (c == "cd")
        return Judge(step, client.Cd(step.args[0]));
    if (c == "get")
        return RunListing(client, step, client.Get(step.args[0]));
    if (c == "set")
        return Judge(step, client.Set(step.args[0], step.args[1]));
    if (c == "invoke")
        return RunInvoke(client, step);
    if (c == "refresh")
        return Judge(step, client.Refresh());
    if (c == "tree")
        return RunTree(client, step);
    return RunWait(client, step);
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
           "\"o-- MVP1 (type 26)\"; states of arrays, disks and enclosures with their\n"
           "words, \"prv Status = -2147483647 (critical)\". Notices print as they\n"
           "arrive. The first error reply stops the run with its code and text on\n"
           "standard error.\n"
           "  e.g. halsenctl cd 'RAID\\MVP1' get IRQ invoke TurnOnBuzzer \"\" tree ch1\n";
}

int RunFolderCommands(const FolderRun& run)
{
    std::vector<Step> steps;
    const int usage = ParseSteps(run.words, steps);
    if (usage >= 0)
        return usage;
    Connection connection;
    if (!run.connect(connection))
        return kTransport;
    g_style.raw = run.raw;
    g_style.json = run.json;
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
