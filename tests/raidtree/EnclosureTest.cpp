#include "TreeHelpers.h"

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

using simtest::Shell;
using treetest::Held;
using treetest::Sink;
using Names = std::vector<std::string>;
using Lines = std::vector<std::string>;

namespace
{
const unsigned long kChanged = 8194;

class Enclosures : public treetest::PluginFixture
{
protected:
    // The new lines of an adapter's event log, read as the agent reads
    // them, with the read time put as "T".
    Lines NewLines(const std::string& adapter) const
    {
        Lines lines;
        IEventLog* log = EventLog(adapter);
        if (!log)
            return lines;
        unsigned long count = 0;
        EXPECT_EQ(S_OK, log->GetNewCount(&count));
        for (unsigned long i = 0; i < count; ++i)
        {
            char* text = nullptr;
            unsigned long length = 1;
            EXPECT_EQ(S_OK, log->ReadEventLog(&text, &length));
            std::unique_ptr<char[]> owned(text);
            std::string line = text ? text : "<null>";
            size_t first = line.find('@');
            size_t second = line.find('@', first + 1);
            EXPECT_EQ(line.size(), length);
            // The time is the read's.
            long stamp = first == std::string::npos ? 0 : atol(line.c_str() + first + 1);
            EXPECT_NEAR(static_cast<double>(time(nullptr)), static_cast<double>(stamp), 5) << line;
            lines.push_back(line.substr(0, first + 1) + "T" + line.substr(second));
        }
        log->Release();
        return lines;
    }

    // The event log of an adapter, held by one reference.
    IEventLog* EventLog(const std::string& adapter) const
    {
        Held river = At(adapter);
        IEventLog* log = nullptr;
        EXPECT_EQ(S_OK, river->QueryInterface(IID_IEventLog, reinterpret_cast<void**>(&log)));
        return log;
    }

    STATUS ClearLog(const std::string& adapter) const
    {
        IEventLog* log = EventLog(adapter);
        STATUS status = log->ClearLog();
        log->Release();
        return status;
    }

    // A preset after its first tick, with the adapters' logs read empty.
    void LoadQuiet(const std::string& preset, const Names& adapters)
    {
        Load(preset);
        Ticks(1);
        for (const std::string& adapter : adapters)
            NewLines(adapter);
    }
};

TEST_F(Enclosures, EachPresetGivesItsEnclosuresAndBattery)
{
    const struct
    {
        const char* preset;
        const char* path;
        Names children;
        const char* enclosures;
    } rows[] = {
        {"one-adapter", "MVP1/enclosure1", {}, "1"},
        // The third model is listed although the plain type query calls it
        // unknown.
        {"enclosure-battery", "MVP1/enclosure1", {"tindalow1", "bramwell2", "corrimont3"}, "4"},
        {"two-adapters", "MVP2/enclosure1", {}, "1"},
    };
    for (const auto& row : rows)
    {
        TearDown();
        Load(row.preset);
        EXPECT_EQ(row.children, Children(row.path)) << row.preset;
        EXPECT_EQ(row.enclosures, Prop(row.path, "NumEnclosures")) << row.preset;
        EXPECT_EQ("1", Prop(row.path, "HardwareType")) << row.preset;
    }
}

TEST_F(Enclosures, EnclosuresAndBatteryShowTheirReadings)
{
    Load("enclosure-battery");
    const struct
    {
        const char* path;
        const char* property;
        const char* value;
    } rows[] = {
        {"enclosure1", "tindalow1/FanRPM", "4200"},
        {"enclosure1", "tindalow1/Temperature", "70"},
        {"enclosure1", "tindalow1/Power5VStatus", "5020"},
        {"enclosure1", "tindalow1/Power12VStatus", "12050"},
        {"enclosure1", "tindalow1/EnclosureType", "3"},
        {"enclosure1", "tindalow1/Channel", "0"},
        {"enclosure1", "tindalow1/ID", "0"},
        {"enclosure1", "tindalow1/Status", "0"},
        {"enclosure1", "tindalow1/handle", ";17"},
        // The Bramwell model reports its fan only.
        {"enclosure1", "bramwell2/FanRPM", "3900"},
        {"enclosure1", "bramwell2/Temperature", "0"},
        {"enclosure1", "bramwell2/Power5VStatus", "0"},
        {"enclosure1", "bramwell2/Power12VStatus", "0"},
        {"enclosure1", "bramwell2/EnclosureType", "2"},
        {"enclosure1", "bramwell2/Channel", "1"},
        {"enclosure1", "corrimont3/FanRPM", "1"},
        {"enclosure1", "corrimont3/Temperature", "72"},
        {"enclosure1", "corrimont3/Power5VStatus", "4980"},
        {"enclosure1", "corrimont3/Power12VStatus", "11980"},
        {"enclosure1", "corrimont3/EnclosureType", "4"},
        {"battery", "BatteryTemperature", "30"},
        {"battery", "BatteryVoltage", "8200"},
        {"battery", "BatteryChargeCycle", "12"},
        {"battery", "BatteryChargeStatus", "BATTERY_FULLY_CHARGED"},
        {"battery", "handle", ";29"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.value, Expected(std::string("MVP1/") + row.path, row.property)) << row.path << " " << row.property;
}

TEST_F(Enclosures, EachAlarmChangesItsPropertyAndIsToldAndLogged)
{
    const struct
    {
        const char* command;
        const char* path;
        const char* property;
        const char* value;
        Lines lines;
    } rows[] = {
        {"zelsim set-fan 0 1 0", "MVP1/enclosure1/bramwell2", "FanRPM", "0",
         {"527@T@1@FAN STOPPED@Channel 2, .0.000000"}},
        {"zelsim set-power 0 0 off", "MVP1/enclosure1/tindalow1", "Power12VStatus", "0",
         {"0@T@3@Swap Power Down@Power Down Swap Box in Channel 1, "}},
        {"zelsim set-temp 0 0 120", "MVP1/enclosure1/tindalow1", "Temperature", "120",
         {"526@T@1@Temperture Error@Channel 1, . F:140.500000,C:60.000000"}},
        {"zelsim set-power 0 0 5v 4500", "MVP1/enclosure1/tindalow1", "Power5VStatus", "4500",
         {"528@T@1@Voltage Error@Channel 1, .4.500000"}},
        {"zelsim set-power 0 2 12v 10000", "MVP1/enclosure1/corrimont3", "Power12VStatus", "10000",
         {"529@T@1@Voltage Error@Channel 3, .10.000000"}},
        // The driver queues no event for the battery: its alarms are the
        // adapter's properties and notices.
        {"zelsim set-battery 0 voltage 5000", "MVP1", "BatteryVoltage", "5000", {}},
        {"zelsim set-battery 0 status 10", "MVP1", "BatteryChargeStatus", "BATTERY_DISCHARGING", {}},
        {"zelsim set-battery 0 status 8", "MVP1", "BatteryChargeStatus", "BATTERY_FULLY_DISCHARGED", {}},
    };
    for (const auto& row : rows)
    {
        TearDown();
        Load("enclosure-battery");
        Ticks(10);
        NewLines("MVP1");
        Sink sink;
        Advise(row.path, sink);
        int status = -1;
        Shell(std::string(row.command) + " 2>&1", &status);
        ASSERT_EQ(0, status) << row.command;
        Ticks(1);
        EXPECT_EQ(row.lines, NewLines("MVP1")) << row.command;
        Ticks(9);
        EXPECT_EQ(row.value, Prop(row.path, row.property)) << row.command;
        EXPECT_EQ(1, sink.Count(kChanged)) << row.command;
    }
}

TEST_F(Enclosures, AnUnchangedPollTellsNothingAndAChangedFanTellsOnce)
{
    Load("enclosure-battery");
    Sink sink;
    Advise("MVP1/enclosure1/tindalow1", sink);
    Ticks(20);
    EXPECT_EQ(0, sink.Count(kChanged));
    Shell("zelsim set-fan 0 0 3100");
    Ticks(10);
    EXPECT_EQ("3100", Prop("MVP1/enclosure1/tindalow1", "FanRPM"));
    EXPECT_EQ("70", Prop("MVP1/enclosure1/tindalow1", "Temperature"));
    EXPECT_EQ(1, sink.Count(kChanged));
    Ticks(10);
    EXPECT_EQ(1, sink.Count(kChanged));
}

TEST_F(Enclosures, TheBatteryObjectShowsWhatTheAdaptersPollRead)
{
    Load("enclosure-battery");
    Sink sink;
    Advise("MVP1/battery", sink);
    Shell("zelsim set-battery 0 temp 41");
    Shell("zelsim set-battery 0 cycles 13");
    Ticks(10);
    EXPECT_EQ("41", Prop("MVP1/battery", "BatteryTemperature"));
    EXPECT_EQ("13", Prop("MVP1/battery", "BatteryChargeCycle"));
    EXPECT_EQ("8200", Prop("MVP1/battery", "BatteryVoltage"));
    EXPECT_EQ(1, sink.Count(kChanged));
}

TEST_F(Enclosures, AnUnchangedBatteryIsToldOnEveryHundredAndEightiethPoll)
{
    Load("enclosure-battery");
    Sink sink;
    Advise("MVP1", sink);
    const int ticksPerPoll = 10;
    Ticks(179 * ticksPerPoll);
    EXPECT_EQ(0, sink.Count(kChanged));
    Ticks(ticksPerPoll);
    EXPECT_EQ(1, sink.Count(kChanged));
}

TEST_F(Enclosures, AnEnclosureThatCannotBeAskedKeepsItsPlaceAndValues)
{
    Load("enclosure-battery");
    Sink sink;
    Advise("MVP1/enclosure1/tindalow1", sink);
    Shell("zelsim set-fan 0 0 0");
    Shell("zelsim fault 4018 fail 1000");
    Ticks(10);
    EXPECT_EQ("4200", Prop("MVP1/enclosure1/tindalow1", "FanRPM"));
    EXPECT_EQ(0, sink.Count(kChanged));
    Held adapter = At("MVP1");
    adapter->refresh();
    EXPECT_EQ((Names{"tindalow1", "bramwell2", "corrimont3"}), Children("MVP1/enclosure1"));
    EXPECT_EQ("4", Prop("MVP1/enclosure1", "NumEnclosures"));
    Shell("zelsim fault 4018 fail 0");
    Ticks(10);
    EXPECT_EQ("0", Prop("MVP1/enclosure1/tindalow1", "FanRPM"));
}

TEST_F(Enclosures, TheChannelSwitchesTheBuzzerAndPublishesIt)
{
    Load("enclosure-battery");
    Sink sink;
    Advise("MVP1/enclosure1", sink);
    EXPECT_EQ("<none>", Prop("MVP1/enclosure1", "BuzzStatus"));
    EXPECT_EQ(S_OK, Invoke("MVP1/enclosure1", "TurnOnBuzzer", ""));
    EXPECT_EQ("1", Prop("MVP1/enclosure1", "BuzzStatus"));
    EXPECT_EQ(S_OK, Invoke("MVP1/enclosure1", "SilentBuzzer", ""));
    EXPECT_EQ("0", Prop("MVP1/enclosure1", "BuzzStatus"));
    EXPECT_EQ(2, sink.Count(kChanged));
    EXPECT_NE(S_OK, Invoke("MVP1/enclosure1", "Rebuild", ""));
    EXPECT_EQ(2, sink.Count(kChanged));
}

TEST_F(Enclosures, AnEnclosureThatGoesAwayLeavesTheTreeAtTheNextRefresh)
{
    Load("enclosure-battery");
    simtest::Sim([](zelsim::SimState& s) { s.adapters[0].enclosure[1].type = 0xFF; });
    Held adapter = At("MVP1");
    adapter->refresh();
    EXPECT_EQ((Names{"tindalow1", "corrimont3"}), Children("MVP1/enclosure1"));
    EXPECT_EQ("3", Prop("MVP1/enclosure1", "NumEnclosures"));
}

// Sync aborts of array 1 on adapter 0, told apart by their percentage.
void QueueAborts(int from, int count)
{
    simtest::Sim(
        [&](zelsim::SimState& s)
        {
            for (int i = from; i < from + count; ++i)
                zelsim::QueueEvent(s, zelsim::EV_SYNC_ABORT, zelsim::kError, {0, uint32_t(i)});
        });
}

std::string AbortLine(int i)
{
    return "517@T@1@Sync. Stopped@Synchronization aborted on array 1, at " + std::to_string(i) + " percent complete";
}

TEST_F(Enclosures, EventsOfSeveralBatchesBetweenTwoReadsAllArriveInOrder)
{
    LoadQuiet("enclosure-battery", {"MVP1"});
    // More than one driver batch at once, then more on later ticks.
    QueueAborts(0, 45);
    Ticks(1);
    QueueAborts(45, 30);
    Ticks(1);
    QueueAborts(75, 3);
    Ticks(3);
    Lines expected;
    for (int i = 0; i < 78; ++i)
        expected.push_back(AbortLine(i));
    EXPECT_EQ(expected, NewLines("MVP1"));
    EXPECT_EQ(Lines{}, NewLines("MVP1"));
}

TEST_F(Enclosures, TwoAdaptersKeepSeparateLogs)
{
    LoadQuiet("two-adapters", {"MVP1", "MVP2"});
    simtest::Sim(
        [](zelsim::SimState& s)
        {
            s.adapters[1].enclosure[0] = zelsim::Enclosure{17, 0x0C, 4200, 70, 5020, 12050, 1};
            zelsim::SetFan(s, 1, 0, 0);
            zelsim::QueueEvent(s, zelsim::EV_ARRAY_CRITICAL, zelsim::kWarning, {0});
            zelsim::QueueEvent(s, zelsim::EV_ARRAY_CRITICAL, zelsim::kWarning, {4});
            zelsim::QueueEvent(s, zelsim::EV_ARRAY_CREATE, zelsim::kInfo, {5});
        });
    Ticks(1);
    EXPECT_EQ((Lines{"522@T@3@Ary. Critical@Array 1, Status Critical"}), NewLines("MVP1"));
    EXPECT_EQ((Lines{"527@T@1@FAN STOPPED@Channel 5, .0.000000", "522@T@3@Ary. Critical@Array 5, Status Critical",
                     "519@T@3@Array Create@Create Array arrid = 5"}),
              NewLines("MVP2"));
}

TEST_F(Enclosures, ClearingOneAdaptersLogKeepsTheOthersEvents)
{
    LoadQuiet("two-adapters", {"MVP1", "MVP2"});
    simtest::Sim(
        [](zelsim::SimState& s)
        {
            zelsim::QueueEvent(s, zelsim::EV_ARRAY_CRITICAL, zelsim::kWarning, {0});
            zelsim::QueueEvent(s, zelsim::EV_ARRAY_CRITICAL, zelsim::kWarning, {4});
        });
    EXPECT_EQ(S_OK, ClearLog("MVP1"));
    Ticks(1);
    EXPECT_EQ(Lines{}, NewLines("MVP1"));
    EXPECT_EQ((Lines{"522@T@3@Ary. Critical@Array 5, Status Critical"}), NewLines("MVP2"));
}

// The driver's one queue is read with the first adapter selected; an
// event of the second adapter's disk still names that disk: its model and
// its channel on its own adapter (ch3 of MVP2 for position 4).
TEST_F(Enclosures, AFailedDiskIsLoggedOnItsOwnAdapter)
{
    LoadQuiet("two-adapters", {"MVP1", "MVP2"});
    Shell("zelsim set hot-spares 0");
    Shell("zelsim fail-disk 1 4");
    Ticks(1);
    EXPECT_EQ(Lines{}, NewLines("MVP1"));
    EXPECT_EQ((Lines{"256@T@1@Drv. Fail@Disk Set Down : ZELSIM HD-80G ( 3, )",
                     "522@T@3@Ary. Critical@Array 6, Status Critical"}),
              NewLines("MVP2"));
    EXPECT_EQ("ZELSIM HD-80G", Prop("MVP2/ch3/master", "model"));
    Shell("zelsim fail-disk 0 1");
    Ticks(1);
    EXPECT_EQ((Lines{"256@T@1@Drv. Fail@Disk Set Down : ZELSIM HD-40G ( 1, )",
                     "522@T@3@Ary. Critical@Array 1, Status Critical"}),
              NewLines("MVP1"));
}

// A fetch of the driver's events that fails yields no event; the events
// it could not fetch come with the next tick.
TEST_F(Enclosures, AFailedFetchOfTheEventsLogsNothing)
{
    for (const char* fault : {"zelsim fault 4013 fail 1", "zelsim fault 4013 garbage 1"})
    {
        SCOPED_TRACE(fault);
        LoadQuiet("two-adapters", {"MVP1", "MVP2"});
        simtest::Sim([](zelsim::SimState& s)
                     { zelsim::QueueEvent(s, zelsim::EV_ARRAY_CRITICAL, zelsim::kWarning, {1}); });
        Shell(fault);
        Ticks(1);
        EXPECT_EQ(Lines{}, NewLines("MVP1"));
        EXPECT_EQ(Lines{}, NewLines("MVP2"));
        Ticks(1);
        EXPECT_EQ((Lines{"522@T@3@Ary. Critical@Array 2, Status Critical"}), NewLines("MVP1"));
        EXPECT_EQ(Lines{}, NewLines("MVP2"));
        TearDown();
        m_pRoot = nullptr;
        m_pHandle = nullptr;
    }
}

TEST_F(Enclosures, ClearingTheLogEmptiesItAndTheDriversQueue)
{
    Load("enclosure-battery");
    Shell("zelsim set-fan 0 1 0");
    Ticks(1);
    Shell("zelsim set-fan 0 0 0");
    IEventLog* log = EventLog("MVP1");
    ASSERT_NE(nullptr, log);
    EXPECT_EQ(S_OK, log->ClearLog());
    unsigned long count = 7;
    EXPECT_EQ(S_OK, log->GetNewCount(&count));
    EXPECT_EQ(0u, count);
    Ticks(1);
    EXPECT_EQ(S_OK, log->GetNewCount(&count));
    EXPECT_EQ(0u, count);
    // Reading past the end hands out nothing.
    char placeholder = 0;
    char* text = &placeholder;
    unsigned long length = 1;
    EXPECT_EQ(S_FALSE, log->ReadEventLog(&text, &length));
    EXPECT_EQ(nullptr, text);
    log->Release();
}
} // namespace
