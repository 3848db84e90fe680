// The machine root folder in-process: its own entries beside a river's,
// and the pace of the tree's tick.

#include "CAgentDoc.h"
#include "CEmail.h"
#include "CProfile.h"
#include "CRAIDMachine.h"
#include "TestRivers.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

namespace
{
// A sub-folder that counts the ticks reaching it.
struct TickCounter : CVirtualFolder
{
    void OnClockTick() override { ++m_nTicks; }
    int m_nTicks = 0;
};

class MachineTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_pRiver = MakeRiver("root", 14, &m_nDestroyed);
        m_pRiver->SetPropertyString("Model", DT_P_READ, "QV7000");
        m_pRiver->SetPropertyString("FileVersion", DT_P_READ, "plug-in's own");
        m_pMachine = new CRAIDMachine;
        m_pMachine->GetPea()->SetName("host");
        m_pRiver->AddRef();
        m_pMachine->Init(nullptr, nullptr, m_pRiver);
        m_pMachine->AddOwnEntries();
    }

    void TearDown() override
    {
        delete m_pMachine;
        m_pRiver->Release();
        EXPECT_EQ(1, m_nDestroyed);
    }

    // A sub-folder of the machine's own, as the devices are, that counts
    // its ticks; the machine deletes it with itself.
    void AddCounter()
    {
        m_pCounter = new TickCounter;
        m_pCounter->GetPea()->SetName("counter");
        m_pCounter->GetPea()->SetAttribute("o--");
        m_pCounter->Init(m_pMachine->GetPea(), nullptr, nullptr);
        m_pMachine->GetPea()->AddPea(m_pCounter->GetPea());
    }

    std::string Value(const char* name) { return m_pMachine->GetPropertyString(name, "(none)").GetBuffer(); }

    int m_nDestroyed = 0;
    TestRiver* m_pRiver = nullptr;
    CRAIDMachine* m_pMachine = nullptr;
    TickCounter* m_pCounter = nullptr;
};

TEST_F(MachineTest, ARefreshKeepsTheMachinesOwnEntries)
{
    ASSERT_TRUE(m_pMachine->SetPropertyString("SMTPServer", "10.0.0.1"));
    m_pRiver->SetPropertyString("Model", DT_P_READ, "QV7000-B");
    m_pMachine->Refresh();
    EXPECT_EQ("QV7000-B", Value("Model"));
    EXPECT_EQ("Version 1.30.0 build-16 (1/15/2002)", Value("FileVersion")) << "the agent's version wins";
    EXPECT_STREQ("pr-", m_pMachine->GetPea()->FindPea("FileVersion")->GetAttribute());
    EXPECT_EQ("60", Value("PollFrequency"));
    EXPECT_EQ("0", Value("bEmailEnable"));
    EXPECT_EQ("", Value("SMTPServer")) << "the entry shows the setting, not a stray value";
    EXPECT_EQ(std::string(CAgentDoc::ReadHostName()), Value("name"));
    for (const char* method : {"AddReceiptor", "DelReceiptor", "SetProperty", "GetEmailNoticeList",
                               "SetEmailNoticeList", "GetReportNoticeList", "SetReportNoticeList",
                               "GetVerifySchedule", "SetVerifySchedule"})
    {
        CPea* pea = m_pMachine->GetPea()->FindPea(method);
        ASSERT_NE(nullptr, pea) << method;
        EXPECT_TRUE(pea->IsMethod()) << method;
    }
}

TEST_F(MachineTest, TheTreeIsWalkedOncePerIntervalAndWhenTheClockGoesBack)
{
    struct Step
    {
        time_t now;
        int ticks;
    } steps[] = {
        {1000, 1}, {1030, 1}, {1060, 1}, {1061, 2}, {1121, 2}, {1122, 3}, {900, 4}, {920, 4},
    };
    AddCounter();
    for (const Step& step : steps)
    {
        m_pMachine->OnClockTick(step.now);
        EXPECT_EQ(step.ticks, m_pCounter->m_nTicks) << "at " << step.now;
    }
}

// A value longer than a line of the profile may be is refused whole, and
// the settings stay as they were.
TEST_F(MachineTest, ValuesTooLongForTheProfileAreRefused)
{
    const std::string name(CProfile::kMaxLine, 'n');
    EXPECT_EQ(805, m_pMachine->OnSetProperty("EmailID", (name + " <me@example.com>").c_str(), 64));
    EXPECT_EQ(805, m_pMachine->InvokeDispatch(nullptr, "AddReceiptor", (name + " <r@example.com>").c_str()));
    EXPECT_EQ(800, m_pMachine->OnSetProperty("EmailID", "Me <me@example.com>", 64));
    CEmail mail;
    CString text;
    mail.GetEmailID(text);
    EXPECT_STREQ(text, "\"Me\" <me@example.com>");
    mail.ToString(text);
    EXPECT_STREQ(text, "");
    CProfile profile;
    profile.GetProfile("E-Mail log", "NumOfReceiptor", text);
    EXPECT_STREQ(text, "0");
}

TEST_F(MachineTest, ANewPollFrequencyPacesTheTick)
{
    EXPECT_EQ(805, m_pMachine->OnSetProperty("PollFrequency", "14", 64));
    EXPECT_EQ(805, m_pMachine->OnSetProperty("PollFrequency", "20s", 64));
    EXPECT_EQ(802, m_pMachine->OnSetProperty("PollFrequency", "20", 0));
    EXPECT_EQ(60, m_pMachine->GetInterval());
    EXPECT_EQ(800, m_pMachine->OnSetProperty("pollfrequency", "20", 64));
    AddCounter();
    m_pMachine->OnClockTick(1000);
    m_pMachine->OnClockTick(1020);
    m_pMachine->OnClockTick(1021);
    EXPECT_EQ(2, m_pCounter->m_nTicks);
}
} // namespace

namespace
{
// The agent's verify schedule falls due: the tree is walked at once,
// within the interval, and every array folder starts a verify; the next
// tick, with the alarm gone, walks nothing.
TEST(MachineScheduleTest, ADueVerifyScheduleVerifiesTheArraysAtOnce)
{
    int destroyed = 0;
    TestRiver* river = MakeRiver("array1", 25, &destroyed);
    river->AddMethod("SyncArray", 1);
    CRAIDMachine* machine = new CRAIDMachine;
    machine->Init(nullptr, &g_AgentDoc, nullptr);
    CVirtualFolder* array = new CVirtualFolder;
    array->GetPea()->SetName("array1");
    array->GetPea()->SetAttribute("o--");
    array->GetPea()->SetContent("25");
    river->AddRef();
    array->Init(machine->GetPea(), &g_AgentDoc, river);
    machine->GetPea()->AddPea(array->GetPea());

    machine->OnClockTick(1000);
    EXPECT_TRUE(river->m_Calls.empty());
    ASSERT_TRUE(g_AgentDoc.m_Schedule.SetSchedule("1@4@1"));
    for (int i = 0; i < CSchedule::kTicksPerCheck && !g_AgentDoc.m_Schedule.IsAlarmOn(); ++i)
        g_AgentDoc.m_Schedule.OnClockTick(time(nullptr) + 61);
    ASSERT_TRUE(g_AgentDoc.m_Schedule.IsAlarmOn());
    machine->OnClockTick(1010);
    EXPECT_EQ(river->m_Calls, std::vector<std::string>{"SyncArray|512"});
    g_AgentDoc.m_Schedule.OnClockTick(time(nullptr) + 61);
    machine->OnClockTick(1020);
    EXPECT_EQ(river->m_Calls.size(), 1u);

    g_AgentDoc.m_Schedule.EnableSchedule(false);
    delete machine;
    river->Release();
    EXPECT_EQ(destroyed, 1);
}
} // namespace
