#pragma once

// The whole agent under load for a while in its sandbox: management
// servers connecting, walking, setting and leaving in a loop on threads of
// their own, the simulated controller changing under them, and readers of
// what the agent keeps on disk.

#include "AgentConnection.h"
#include "AgentProcess.h"
#include "CEventFile.h"
#include "FolderClient.h"
#include "SimHelpers.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace soak
{
using Clock = std::chrono::steady_clock;

const char kDone[] = "800@Functional";
// How long a request may wait for its answer: the agent serves everyone
// from one thread, and under load on a busy machine (or sanitized) a walk
// of the plug-ins or a mail holds the others back for a while.
const int kAnswerMs = 30000;
// The sender the load sets over and over to what it already is.
const char kEmailId[] = "Raid Admin <admin@example.com>";

// A count from the environment, so that a run by hand can go on longer
// than the one in the suite.
inline int FromEnvironment(const char* variable, int fallback)
{
    const char* text = getenv(variable);
    const int value = text ? atoi(text) : 0;
    return value > 0 ? value : fallback;
}

// What the agent holds of the machine, from /proc.
struct Use
{
    long rssKb = -1;
    int descriptors = -1;
};

inline Use Measure(int pid)
{
    Use use;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmRSS:") == 0)
            use.rssKb = atol(line.c_str() + 6);
    DIR* fds = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!fds)
        return use;
    use.descriptors = 0;
    while (dirent* entry = readdir(fds))
        use.descriptors += entry->d_name[0] != '.';
    closedir(fds);
    return use;
}

// Management servers on threads: each connects, walks the whole tree,
// reads the adapter, sets a root folder value to what it already is and
// disconnects, over and over. A walk may meet a folder that the controller
// just took away; what counts as a fault is a connection that is refused
// or stops answering.
class ClientLoad
{
public:
    ClientLoad(int threads, const std::string& emailId) : m_strEmailId(emailId)
    {
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { Run(); });
    }

    ~ClientLoad() { Stop(); }
    ClientLoad(const ClientLoad&) = delete;
    ClientLoad& operator=(const ClientLoad&) = delete;

    void Stop()
    {
        m_bStop = true;
        for (std::thread& t : m_threads)
            if (t.joinable())
                t.join();
    }

    int Rounds() const { return m_nRounds; }

    std::vector<std::string> Problems()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_problems;
    }

private:
    void Run()
    {
        while (!m_bStop)
        {
            halsen::Connection connection;
            if (!agenttest::ConnectToAgent(connection))
            {
                Note("connect refused");
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                continue;
            }
            halsen::FolderClient client(connection, kAnswerMs);
            client.OnNotice([](const halsen::Packet&) {});
            Round(client);
        }
    }

    void Round(halsen::FolderClient& client)
    {
        std::string walkProblem;
        int entries = 0;
        client.Walk([&entries](int, const halsen::Entry&) { ++entries; }, walkProblem);
        const halsen::Answer adapter = client.Cd("\\RAID\\MVP1");
        if (adapter.Ok())
            client.Get("handle");
        const halsen::Answer root = client.Cd("\\");
        const halsen::Answer set = client.Set("EmailID", m_strEmailId);
        if (!root.Ok() || !set.Ok())
            Note("root folder: " + (root.Ok() ? set.Problem() : root.Problem()));
        else if (entries == 0)
            Note("the walk listed nothing: " + walkProblem);
        else
            ++m_nRounds;
    }

    void Note(const std::string& problem)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_problems.push_back(problem);
    }

    const std::string m_strEmailId;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nRounds{0};
    std::mutex m_lock;
    std::vector<std::string> m_problems;
    std::vector<std::thread> m_threads;
};

// The controller changing on its own: a mirror member failing and coming
// back, the enclosure's fan, temperature, power and voltages going out of
// range and back, the battery's charge failing and recovering. Each step
// is one zelsim command; the steps go round.
class HardwareLoad
{
public:
    void Next()
    {
        static const char* const kSteps[] = {
            "zelsim fail-disk 0 2",
            "zelsim set-fan 0 0 0",
            "zelsim set-battery 0 status 0x0001",
            "zelsim remove-disk 0 2",
            "zelsim set-temp 0 0 120",
            "zelsim set-fan 0 0 4200",
            "zelsim insert-disk 0 2 'ZELSIM HD-80G'",
            "zelsim set-power 0 0 12v 10000",
            "zelsim set-temp 0 0 70",
            "zelsim set-battery 0 status 0x0020",
            "zelsim set-power 0 0 12v 12050",
            "zelsim set-power 0 0 off",
            "zelsim set-power 0 0 on",
        };
        const char* step = kSteps[m_nStep++ % (sizeof kSteps / sizeof kSteps[0])];
        int status = -1;
        const std::string out = simtest::Shell(std::string(step) + " 2>&1", &status);
        if (status != 0)
            m_failed.push_back(std::string(step) + ": " + out);
    }

    const std::vector<std::string>& Failed() const { return m_failed; }
    unsigned Steps() const { return m_nStep; }

private:
    unsigned m_nStep = 0;
    std::vector<std::string> m_failed;
};

// Arrays made and taken away on the adapter's two free disks through one
// management connection, where the connection may do so: creating and
// deleting are for servers on the agent's own machine only.
class ArrayLoad
{
public:
    explicit ArrayLoad(halsen::Connection& connection) : m_client(connection, kAnswerMs)
    {
        m_client.OnNotice([](const halsen::Packet&) {});
        const halsen::Answer create =
            m_client.Cd("\\RAID\\MVP1").Ok() ? m_client.Get("CreateArray") : halsen::Answer();
        m_bAllowed = create.Ok() && create.lines.size() == 1 && halsen::ParseEntry(create.lines[0]).value != "0";
    }

    bool Allowed() const { return m_bAllowed; }

    // Creates the array when it is not there, else deletes it; the driver
    // may refuse (801), but every request must be answered.
    void Next()
    {
        if (!m_bAllowed)
            return;
        const std::string args = m_bMade ? Identity("\\RAID\\MVP1\\Soak")
                                         : "Soak@RAID1(MIRROR)@0@2@" + Identity("\\RAID\\MVP1\\ch3\\master") + "@" +
                                               Identity("\\RAID\\MVP1\\ch4\\master") + "@64";
        // The new array may not be in the tree yet, or a disk may be out
        // just now: try again next round.
        if (args.empty() || args.find("@@") != std::string::npos)
            return;
        m_client.Cd("\\RAID\\MVP1");
        m_client.Refresh();
        const halsen::Answer answer = m_client.Invoke(m_bMade ? "DeleteArray" : "CreateArray", args);
        if (answer.code == 800)
        {
            m_bMade = !m_bMade;
            ++m_nDone;
        }
        else if (answer.code != 801)
            m_failed.push_back(answer.Problem());
    }

    int Done() const { return m_nDone; }
    const std::vector<std::string>& Failed() const { return m_failed; }

private:
    // The identity number of the object at `path`: the first number of its
    // handle, by which the methods name disks and arrays.
    std::string Identity(const std::string& path)
    {
        m_client.Cd("\\RAID\\MVP1");
        m_client.Refresh();
        if (!m_client.Cd(path).Ok())
            return "";
        const halsen::Answer handle = m_client.Get("handle");
        if (!handle.Ok() || handle.lines.size() != 1)
            return "";
        const std::string value = halsen::ParseEntry(handle.lines[0]).value;
        return value.substr(0, value.find(';'));
    }

    halsen::FolderClient m_client;
    bool m_bAllowed = false;
    bool m_bMade = false;
    int m_nDone = 0;
    std::vector<std::string> m_failed;
};

// What an event log reads back as, newest record first: whole when every
// record from the newest to the first reads.
struct StoredLog
{
    bool whole = false;
    std::vector<uint32_t> ids;
    std::vector<std::string> titles;
};

inline StoredLog ReadLog(const std::string& path)
{
    StoredLog log;
    CEventFile file;
    if (!file.Open(path.c_str(), false))
        return log;
    for (uint32_t pos = file.GetHead(); pos != 0;)
    {
        tagEventRecord record;
        if (!file.Read(pos, record))
            return log;
        log.ids.push_back(record.id);
        log.titles.push_back(static_cast<const char*>(record.title));
        // The oldest record links nowhere earlier.
        pos = record.link < pos ? record.link : 0;
    }
    log.whole = true;
    return log;
}

// Every event log under the agent's log folder (the misc logs aside) by
// its path.
inline void ReadLogsBelow(const std::string& dir, std::map<std::string, StoredLog>& logs)
{
    DIR* folder = opendir(dir.c_str());
    if (!folder)
        return;
    while (dirent* entry = readdir(folder))
    {
        const std::string name = entry->d_name;
        const std::string path = dir + "/" + name;
        struct stat info;
        if (name == "." || name == ".." || name == "misc" || stat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            ReadLogsBelow(path, logs);
        else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".log") == 0)
            logs[path] = ReadLog(path);
    }
    closedir(folder);
}

inline std::map<std::string, StoredLog> ReadEventLogs()
{
    std::map<std::string, StoredLog> logs;
    ReadLogsBelow("/var/log/tavrine", logs);
    return logs;
}

// The agent keeps its own failures to mail in the same logs; the others
// came from the controller.
const char kEmailError[] = "Email Error";

inline long CountRecords(const std::map<std::string, StoredLog>& logs,
                         const std::function<bool(uint32_t id, const std::string& title)>& which)
{
    long count = 0;
    for (const auto& log : logs)
        for (size_t i = 0; i < log.second.ids.size(); ++i)
            count += which(log.second.ids[i], log.second.titles[i]);
    return count;
}

inline long ControllerEvents(const std::map<std::string, StoredLog>& logs)
{
    return CountRecords(logs, [](uint32_t, const std::string& title) { return title != kEmailError; });
}

// Events the simulated driver raised since the preset, and those it had to
// drop unread because its queue was full.
inline uint32_t RaisedEvents()
{
    return simtest::Snapshot()->nextQueueNum - 1;
}

inline uint32_t DroppedEvents()
{
    return simtest::Snapshot()->counters.droppedEvents;
}
} // namespace soak
