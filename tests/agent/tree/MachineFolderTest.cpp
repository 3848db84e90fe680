// The machine root folder and the folders' event methods as a management
// server meets them: the real dorvik with the tests' plug-in, whose
// adapter MVP1 keeps an event log.

#include "AgentConnection.h"
#include "CProfile.h"
#include "HalsenClient.h"
#include "TestPluginAgent.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
using agenttest::Ask;
using agenttest::Reply;

struct Row
{
    int command;
    std::string body;
    std::vector<std::string> lines;
    std::string finish;
};

const char kDone[] = "800@Functional";
const char kError[] = "801@Error";
const char kDenied[] = "802@Access Denied";
const char kNotFound[] = "803@Not found";
const char kInvalid[] = "805@Invalid argument";

std::string ReadProfile()
{
    std::ifstream in("/etc/tavrine/Dorvik.rc", std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string Stored(const char* section, const char* key)
{
    CProfile profile;
    CString value;
    profile.GetProfile(section, key, value);
    return value.GetBuffer();
}

class MachineFolderTest : public TestPluginAgent
{
protected:
    void SetUp() override
    {
        TestPluginAgent::SetUp();
        ASSERT_TRUE(agenttest::ConnectToAgent(m_c));
    }

public:
    // Runs the rows in order on the connection.
    void Run(const std::vector<Row>& rows)
    {
        for (const Row& row : rows)
        {
            SCOPED_TRACE(halsen::CommandName(row.command) + " " + row.body);
            Reply reply = Ask(m_c, row.command, row.body);
            EXPECT_EQ(reply.lines, row.lines);
            EXPECT_EQ(reply.finish, row.finish);
        }
    }

protected:
    // Stops the agent with SIGTERM, as its service does.
    void StopAgent()
    {
        m_agent->Signal(SIGTERM);
        ASSERT_EQ(m_agent->WaitExit(), 0) << m_agent->Stderr();
    }
    // Starts the agent anew, the connection logged on to it.
    void StartAgent()
    {
        m_agent.reset(new AgentProcess({}));
        ASSERT_TRUE(m_agent->WaitForStdout(kRunningText)) << m_agent->Stdout();
        ASSERT_TRUE(agenttest::ConnectToAgent(m_c));
    }

    halsen::Connection m_c;
};

// An invoke's own data line: its code, then the body as it then stands.
std::string Invoked(const std::string& code, const std::string& body) { return code + "@" + body; }

Row Set(const std::string& body, const std::string& finish) { return {halsen::kSet, body, {}, finish}; }

Row Get(const std::string& name, const std::string& line)
{
    return {halsen::kGet, name, {line}, "0@Functional"};
}

Row Invoke(const std::string& body, const std::string& finish)
{
    return {halsen::kInvoke, body, {Invoked(finish, body)}, finish};
}

// A method that answers with one line of its own before the invoke's line.
Row Answer(const std::string& method, const std::string& text)
{
    const std::string line = method + "@0@" + text;
    return {halsen::kInvoke, method + "@", {line, Invoked(kDone, line)}, kDone};
}

TEST_F(MachineFolderTest, RootSettingsAndMethodsAnswerWithTheirCodes)
{
    const std::string ann = "\"Ann\" <ann@example.com>";
    Run({
        Set("PollFrequency@14", kInvalid),
        Set("PollFrequency@15x", kInvalid),
        Set("PollFrequency@15", kDone),
        Get("PollFrequency", "PollFrequency@prw@15"),
        Set("bEmailEnable@yes", kInvalid),
        Get("bEmailEnable", "bEmailEnable@prw@0"),
        Set("bEmailEnable@7", kDone),
        Get("bEmailEnable", "bEmailEnable@prw@1"),
        Set("SMTPServer@mail.example.com", kInvalid),
        Set("SMTPServer@127.0.0.1", kDone),
        Get("SMTPServer", "SMTPServer@prw@127.0.0.1"),
        Set("EmailID@nobody", kInvalid),
        Set("EmailID@Raid Admin <admin@example.com>", kDone),
        Get("EmailID", "EmailID@prw@\"Raid Admin\" <admin@example.com>"),
        Set("ReceiptorList@x", kNotFound),
        Set("name@other", kNotFound),
        Set("FileVersion@2", kDenied),
        Get("FileVersion", "FileVersion@pr-@Version 1.30.0 build-16 (1/15/2002)"),
        Invoke("AddReceiptor@Ann <ann@example.com>", kDone),
        Invoke("AddReceiptor@Ann <ann@example.com>", kError),
        Invoke("AddReceiptor@no address", kInvalid),
        Invoke("addreceiptor@Bob <bob@example.com>", kNotFound),
        Get("ReceiptorList", "ReceiptorList@prw@" + ann),
        Invoke("AddReceiptor@Bob <bob@example.com>", kDone),
        Invoke("DelReceiptor@Bob <bob@example.com>", kDone),
        Invoke("DelReceiptor@Bob <bob@example.com>", kError),
        Invoke("SetEmailNoticeList@2@512", kError),
        Invoke("SetEmailNoticeList@1@999", kError),
        Invoke("SetEmailNoticeList@1@512", kDone),
        Answer("GetEmailNoticeList", "1@512"),
        Invoke("SetReportNoticeList@2@256@257", kDone),
        Answer("GetReportNoticeList", "2@256@257"),
        Answer("GetVerifySchedule", ""),
        Invoke("SetVerifySchedule@1@9@5", kInvalid),
        Invoke("SetVerifySchedule@1@4@0", kInvalid),
        Invoke("SetVerifySchedule@1@2@0@23@0", kDone),
        Answer("GetVerifySchedule", "1@2@0@23@0"),
        Invoke("SetProperty@x", kNotFound),
        {halsen::kRefresh, "", {}, kDone},
        Get("SMTPServer", "SMTPServer@prw@127.0.0.1"),
    });
    EXPECT_EQ(Stored("E-Mail log", "SMTP"), "127.0.0.1") << "settings are kept as they change";
    EXPECT_EQ(Stored("E-Mail log", "EnableEmail"), "1");
    EXPECT_EQ(Stored("E-Mail log", "NumOfReceiptor"), "1");
    EXPECT_EQ(Stored("E-Mail log", "Receiptor-1"), ann);
    EXPECT_EQ(Stored("LogEvent", "EmailNotice"), "1@512");
    EXPECT_EQ(Stored("GetVerifySchedule", "GetVerifySchedule"), "1@2@0@23@0");
}

// With the schedule off the reply's text is empty, while the profile keeps
// the schedule's own form.
TEST_F(MachineFolderTest, AScheduleThatIsOffIsToldByAnEmptyText)
{
    Run({
        Answer("GetVerifySchedule", ""),
        Invoke("SetVerifySchedule@1@4@30", kDone),
        Answer("GetVerifySchedule", "1@4@30"),
        Invoke("SetVerifySchedule@0", kDone),
        Answer("GetVerifySchedule", ""),
    });
    EXPECT_EQ(Stored("GetVerifySchedule", "GetVerifySchedule"), "0");
}

// A value the profile cannot hold ("[" would make its line a section
// header) is refused with 805 and changes nothing; a removed receiver's key
// is blanked, so that no later count brings the receiver back, not even
// after a restart.
TEST_F(MachineFolderTest, RefusedValuesChangeNothingAndRemovedReceiversStayGone)
{
    const std::string a = "\"A\" <a@example.com>", b = "\"B\" <b@example.com>", e = "\"E\" <e@example.com>";
    Run({
        Invoke("AddReceiptor@A <a@example.com>", kDone),
        Invoke("AddReceiptor@B <b@example.com>", kDone),
        Invoke("AddReceiptor@C <c@example.com>", kDone),
        Invoke("DelReceiptor@C <c@example.com>", kDone),
        Invoke("AddReceiptor@\"[Ops] D\" <d@example.com>", kInvalid),
        Invoke("AddReceiptor@D <d@[127.0.0.1]>", kInvalid),
        Get("ReceiptorList", "ReceiptorList@prw@" + a + "," + b),
        Set("EmailID@Me <me@example.com>", kDone),
        Set("EmailID@\"[Ops] Me\" <me@example.com>", kInvalid),
        Get("EmailID", "EmailID@prw@\"Me\" <me@example.com>"),
    });
    EXPECT_EQ(Stored("E-Mail log", "NumOfReceiptor"), "2");
    EXPECT_EQ(Stored("E-Mail log", "Receiptor-3"), "");
    EXPECT_EQ(Stored("E-Mail log", "EmailID"), "\"Me\" <me@example.com>");
    ASSERT_NO_FATAL_FAILURE(StopAgent());
    ASSERT_NO_FATAL_FAILURE(StartAgent());
    Run({
        Get("ReceiptorList", "ReceiptorList@prw@" + a + "," + b),
        Invoke("AddReceiptor@E <e@example.com>", kDone),
        Get("ReceiptorList", "ReceiptorList@prw@" + a + "," + b + "," + e),
    });
    EXPECT_EQ(Stored("E-Mail log", "Receiptor-3"), e);
}

// Entries far longer than a line used to be read are kept whole: written
// by hand, they survive starts, stops and the agent's own writes of the
// same section byte for byte, and a long identity set by a server is
// stored whole.
TEST_F(MachineFolderTest, LongEntriesSurviveStartsStopsAndWritesWhole)
{
    const std::string id = "\"" + std::string(300, 'n') + "\" <me@example.com>";
    const std::string handWritten = "[E-Mail log]\nSMTP=127.0.0.1\nEmailID=" + id +
                                    "\nNumOfReceiptor=1\nReceiptor-1=\"" + std::string(2000, 'r') +
                                    "\" <r@example.com>\nEnableEmail=0\n; " + std::string(3000, 'c') + "\r\n";
    ASSERT_NO_FATAL_FAILURE(StopAgent());
    {
        std::ofstream("/etc/tavrine/Dorvik.rc", std::ios::binary | std::ios::trunc);
        agenttest::UseDevice("Dev", TEST_PLUGIN_PATH);
        std::ofstream profile("/etc/tavrine/Dorvik.rc", std::ios::binary | std::ios::app);
        profile << handWritten;
    }
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE("start " + std::to_string(round + 1));
        ASSERT_NO_FATAL_FAILURE(StartAgent());
        Run({
            Get("EmailID", "EmailID@prw@" + id),
            Set("bEmailEnable@0", kDone),
            Invoke("SetReportNoticeList@1@256", kDone),
        });
        EXPECT_NE(ReadProfile().find(handWritten), std::string::npos) << "while running";
        ASSERT_NO_FATAL_FAILURE(StopAgent());
        EXPECT_NE(ReadProfile().find(handWritten), std::string::npos) << "after the stop";
    }

    ASSERT_NO_FATAL_FAILURE(StartAgent());
    const std::string longer = std::string(300, 'x') + " <me@example.com>";
    Run({
        Set("EmailID@" + longer, kDone),
        Get("EmailID", "EmailID@prw@\"" + longer.substr(0, 300) + "\" <me@example.com>"),
    });
    EXPECT_EQ(Stored("E-Mail log", "EmailID"), "\"" + longer.substr(0, 300) + "\" <me@example.com>");
}

TEST_F(MachineFolderTest, AReceiverChangeTellsTheServers)
{
    halsen::Connection other;
    ASSERT_TRUE(agenttest::ConnectToAgent(other));
    Run({Invoke("AddReceiptor@Ann <ann@example.com>", kDone)});
    halsen::Packet p;
    ASSERT_EQ(other.Receive(p, 5000), halsen::Connection::kGot);
    EXPECT_EQ(p.kind, halsen::kNotice);
    EXPECT_EQ(p.command, 8194);
    EXPECT_EQ(p.body, "\\@");
}

const char kEvents[][64] = {"256@1000@1@Drv. Fail@disk 1", "257@1001@3@Dsk. PLUGIN@disk 2",
                            "512@1002@2@Ary. Bad Sector@sector 7@block 9"};

// Raises the events in the adapter MVP1, which the tree's next tick
// collects; 256 and 512 are listed for the servers.
void RaiseEvents(MachineFolderTest& test)
{
    test.Run({
        Set("PollFrequency@15", kDone),
        Invoke("SetReportNoticeList@2@256@512", kDone),
        {halsen::kCd, "Dev", {}, kDone},
        {halsen::kCd, "MVP1", {}, kDone},
    });
    for (const char* event : kEvents)
        test.Run({Invoke(std::string("RaiseEvent@") + event, kDone)});
}

// The first line of a command's output that has `text` in it, within the
// time the tick needs; empty when none came.
std::string AwaitLine(FILE* out, const std::string& text)
{
    char line[512];
    while (fgets(line, sizeof line, out))
    {
        if (std::string(line).find(text) != std::string::npos)
            return line;
    }
    return "";
}

// The adapter's events, collected on the tree's tick, reach the servers
// that watch (their ids are listed) and the adapter folder's log, which
// ReadEvent walks both ways and ClearEvent empties.
TEST_F(MachineFolderTest, CollectedEventsArePushedStoredReadAndCleared)
{
    halsen::Connection watcher;
    ASSERT_TRUE(agenttest::ConnectToAgent(watcher));
    RaiseEvents(*this);

    // The plug-in's own change notices carry no text; the pushed events do.
    std::vector<std::string> pushed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    halsen::Packet p;
    while (pushed.size() < 2 && std::chrono::steady_clock::now() < deadline &&
           watcher.Receive(p, 1000) != halsen::Connection::kClosed)
    {
        if (p.kind == halsen::kNotice && p.command == 8195 && p.body != "\\Dev\\MVP1@")
            pushed.push_back(p.body);
        p = halsen::Packet();
    }
    ASSERT_EQ(pushed, (std::vector<std::string>{std::string("\\Dev\\MVP1@") + kEvents[0],
                                                std::string("\\Dev\\MVP1@") + kEvents[2]}))
        << "257 is not listed";

    Reply first = Ask(m_c, halsen::kInvoke, "ReadEvent@0@-2@0");
    ASSERT_EQ(first.lines.size(), 4u);
    EXPECT_EQ(first.lines[0], std::string("ReadEvent@0@") + kEvents[0]);
    EXPECT_EQ(first.lines[1], std::string("ReadEvent@0@") + kEvents[1]);
    const std::string cursor = first.lines[2].substr(std::string("ReadEvent@255@256@").size());
    const std::string magic = cursor.substr(cursor.find('@') + 1);
    EXPECT_NE(cursor.substr(0, cursor.find('@')), "0");
    EXPECT_EQ(first.lines[3], Invoked(kDone, first.lines[2]));

    const std::string end = "ReadEvent@255@256@0@" + magic;
    Run({
        {halsen::kInvoke,
         "ReadEvent@" + cursor.substr(0, cursor.find('@')) + "@-2@" + magic,
         {std::string("ReadEvent@0@") + kEvents[2], end, Invoked(kDone, end)},
         kDone},
        {halsen::kInvoke,
         "ReadEvent@0@0@0",
         {std::string("ReadEvent@0@") + kEvents[2], std::string("ReadEvent@0@") + kEvents[1],
          std::string("ReadEvent@0@") + kEvents[0], end, Invoked(kDone, end)},
         kDone},
        {halsen::kInvoke,
         "ReadEvent@0@2@0",
         {std::string("ReadEvent@0@") + kEvents[2], std::string("ReadEvent@0@") + kEvents[1],
          "ReadEvent@255@256@36@" + magic, Invoked(kDone, "ReadEvent@255@256@36@" + magic)},
         kDone},
        Invoke("ClearEvent@", kDone),
        Invoke("ReadEvent@0@0@0", kDone),
        Invoke("ClearEvent@", kDone),
    });
}
} // namespace

namespace
{
// halsenctl watch prints the pushed event in words, and halsenctl events
// lists the stored ones and where to go on.
TEST_F(MachineFolderTest, HalsenctlWatchesAndListsEvents)
{
    // Event times are told in local time; the expected lines are in UTC.
    setenv("TZ", "UTC", 1);
    FILE* watch = popen(("echo $$; exec env TZ=UTC " + agenttest::Halsenctl() + " watch 40").c_str(), "r");
    ASSERT_NE(watch, nullptr);
    char pid[32] = {};
    ASSERT_NE(fgets(pid, sizeof pid, watch), nullptr);
    // The watcher is connected once the agent has it in its list.
    usleep(300000);
    RaiseEvents(*this);
    const std::string line = AwaitLine(watch, "Drv. Fail");
    kill(atoi(pid), SIGTERM);
    pclose(watch);
    EXPECT_EQ(line, "event   \\Dev\\MVP1 1970-01-01 00:16:40 Error 256 Drv. Fail: disk 1\n");

    agenttest::CommandResult listed = agenttest::RunHalsenctl("events '\\Dev\\MVP1' --oldest --limit 2");
    EXPECT_EQ(listed.status, 0);
    const std::string head = "1970-01-01 00:16:40 Error 256 Drv. Fail: disk 1\n"
                             "1970-01-01 00:16:41 Information 257 Dsk. PLUGIN: disk 2\n"
                             "next 79 ";
    ASSERT_EQ(listed.out.substr(0, head.size()), head);
    const std::string magic = listed.out.substr(head.size(), listed.out.size() - head.size() - 1);

    listed = agenttest::RunHalsenctl("events Dev/MVP1 --oldest --from 79 " + magic);
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out,
              "1970-01-01 00:16:42 Warning 512 Ary. Bad Sector: sector 7@block 9\nnext 0 " + magic + "\n");
}
} // namespace
