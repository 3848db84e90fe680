// A disk failed on the simulated controller, end to end: the RAID plug-in
// reports the event, the adapter's folder collects it on the tree's tick,
// the agent mails it to the receivers, pushes it to a watching server and
// keeps it in the folder's log, as the machine folder's settings ask.

#include "AgentConnection.h"
#include "AgentProcess.h"
#include "PluginInterfaces.h"
#include "SimHelpers.h"
#include "SmtpPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace
{
using agenttest::Ask;

IRiver* SubRiver(IRiver* river, const std::string& name)
{
    IUnknown* unknown = nullptr;
    if (river->cd(name.c_str(), &unknown) != S_OK || !unknown)
        return nullptr;
    void* child = nullptr;
    unknown->QueryInterface(IID_IRiver, &child);
    unknown->Release();
    return static_cast<IRiver*>(child);
}

// Whether the river or a river below it offers its events.
bool OffersEventLog(IRiver* river, int depth)
{
    void* log = nullptr;
    if (river->QueryInterface(IID_IEventLog, &log) == S_OK && log)
    {
        static_cast<IUnknown*>(log)->Release();
        return true;
    }
    IUnknown* unknown = nullptr;
    void* drops = nullptr;
    if (depth == 0 || river->dir(&unknown) != S_OK || !unknown)
        return false;
    unknown->QueryInterface(IID_IEnumString, &drops);
    unknown->Release();
    IEnumString* list = static_cast<IEnumString*>(drops);
    bool found = false;
    char text[RIVER_TEXT_SIZE];
    char* buffers[1] = {text};
    unsigned long fetched = 0;
    while (list && !found && list->Next(1, buffers, &fetched) == S_OK && fetched == 1)
    {
        const std::string entry = text;
        if (entry.find("@o") == std::string::npos)
            continue;
        IRiver* child = SubRiver(river, entry.substr(0, entry.find('@')));
        found = child && OffersEventLog(child, depth - 1);
        if (child)
            child->Release();
    }
    if (list)
        list->Release();
    return found;
}

// The plug-in is asked in this process, on the same simulated controller.
bool PluginOffersEventLog()
{
    void* library = dlopen(MVRAID_PATH, RTLD_NOW);
    auto create = library ? reinterpret_cast<PFNCREATEINSTANCE>(dlsym(library, "CreateInstance")) : nullptr;
    void* root = nullptr;
    if (!create || create(IID_IRiver, &root) != S_OK || !root)
        return false;
    const bool offers = OffersEventLog(static_cast<IRiver*>(root), 3);
    static_cast<IRiver*>(root)->Release();
    return offers;
}

const char kDone[] = "800@Functional";

struct DiskFailure
{
    const char* name;
    const char* command;
    // The adapter folder that stores the event, and the disk it names: the
    // disk of that adapter, whichever adapter the driver's queue was read
    // with.
    const char* adapter;
    const char* text;
};

void PrintTo(const DiskFailure& failure, std::ostream* os) { *os << failure.name; }

class EventEndToEnd : public ::testing::TestWithParam<DiskFailure>
{
};

TEST_P(EventEndToEnd, AFailedDiskIsMailedPushedAndStored)
{
    const DiskFailure& failure = GetParam();
    simtest::LoadPreset("two-adapters");
    if (!PluginOffersEventLog())
        GTEST_SKIP() << "the RAID plug-in's adapters offer no IEventLog, so no event can reach the agent";
    agenttest::UseDevice("MVRAID", MVRAID_PATH);
    logontest::CreateAdmin();
    SmtpPeer peer;
    AgentProcess agent({});
    ASSERT_TRUE(agent.WaitForStdout(kRunningText)) << agent.Stdout() << agent.Stderr();
    halsen::Connection control, watcher;
    ASSERT_TRUE(agenttest::ConnectToAgent(control));
    ASSERT_TRUE(agenttest::ConnectToAgent(watcher));
    for (const std::pair<int, const char*>& step : std::vector<std::pair<int, const char*>>{
             {halsen::kSet, "PollFrequency@15"},
             {halsen::kSet, "SMTPServer@127.0.0.1"},
             {halsen::kSet, "EmailID@Raid Admin <admin@example.com>"},
             {halsen::kSet, "bEmailEnable@1"},
             {halsen::kInvoke, "AddReceiptor@Ann <ann@example.com>"},
             {halsen::kInvoke, "SetEmailNoticeList@1@256"},
             {halsen::kInvoke, "SetReportNoticeList@1@256"},
         })
        EXPECT_EQ(Ask(control, step.first, step.second).finish, kDone) << step.second;

    simtest::Shell(std::string("zelsim ") + failure.command);
    std::string pushed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    halsen::Packet p;
    while (pushed.empty() && std::chrono::steady_clock::now() < deadline &&
           watcher.Receive(p, 1000) != halsen::Connection::kClosed)
    {
        if (p.kind == halsen::kNotice && p.command == 8195 && p.body.find("@256@") != std::string::npos)
            pushed = p.body;
        p = halsen::Packet();
    }
    ASSERT_FALSE(pushed.empty()) << "no disk-down event pushed\n" << agent.Stdout();
    EXPECT_NE(pushed.find(std::string("@Drv. Fail@") + failure.text), std::string::npos) << pushed;
    const std::string folder = pushed.substr(0, pushed.find('@'));
    EXPECT_EQ(folder.substr(folder.rfind('\\') + 1), failure.adapter) << pushed;

    std::vector<std::string> mails = peer.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_NE(mails[0].find("RCPT TO ann@example.com\n"), std::string::npos) << mails[0];
    EXPECT_NE(mails[0].find("-Drv. Fail\r\n"), std::string::npos) << mails[0];
    EXPECT_NE(mails[0].find("Message from Morliven at "), std::string::npos) << mails[0];

    const agenttest::CommandResult list = agenttest::RunHalsenctl("events '" + folder + "'");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find(std::string(" 256 Drv. Fail: ") + failure.text), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("next "), std::string::npos) << list.out;
}

const DiskFailure kFailures[] = {
    {"FirstAdapter", "fail-disk 0 1", "MVP1", "Disk Set Down : ZELSIM HD-40G ( 1, )"},
    {"SecondAdapter", "fail-disk 1 4", "MVP2", "Disk Set Down : ZELSIM HD-80G ( 3, )"},
};

std::string FailureName(const ::testing::TestParamInfo<DiskFailure>& row) { return row.param.name; }

INSTANTIATE_TEST_SUITE_P(Disks, EventEndToEnd, ::testing::ValuesIn(kFailures), FailureName);
} // namespace
