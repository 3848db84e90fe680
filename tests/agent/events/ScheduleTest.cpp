#include "CSchedule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace
{
class ScheduleTest : public testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        // The tick counter is shared by all schedules; a disabled one resets it.
        CSchedule().OnClockTick(0);
    }
};

time_t At(const char* text)
{
    struct tm t = {};
    EXPECT_NE(strptime(text, "%Y-%m-%d %H:%M:%S", &t), nullptr) << text;
    return timegm(&t);
}

std::string Show(time_t when)
{
    struct tm t;
    gmtime_r(&when, &t);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %a", &t);
    return text;
}

// A schedule enabled from its text form with its next time taken at `now`.
void Prepare(CSchedule& schedule, const char* text, time_t now)
{
    ASSERT_TRUE(schedule.SetSchedule(text));
    ASSERT_TRUE(schedule.IsEnabled()) << text;
    ASSERT_TRUE(schedule.SetupNextTime(now));
}

struct NextCase
{
    const char* text;
    const char* now;
    const char* next;
};

const NextCase kNextCases[] = {
    // Daily: always the next day, even before today's time.
    {"1@1@2@30", "2024-03-10 01:00:15", "2024-03-11 02:30:15"},
    {"1@1@23@59", "2024-02-28 10:00:00", "2024-02-29 23:59:00"},
    {"1@1@0@0", "2023-02-28 10:00:00", "2023-03-01 00:00:00"},
    {"1@1@12@0", "2024-12-31 18:00:00", "2025-01-01 12:00:00"},
    // Weekly: the coming day of the week, today included.
    {"1@2@0@23@0", "2024-03-13 09:00:00", "2024-03-17 23:00:00"},
    {"1@2@3@8@0", "2024-03-13 07:00:00", "2024-03-13 08:00:00"},
    {"1@2@6@1@2", "2024-12-29 00:00:00", "2025-01-04 01:02:00"},
    {"1@2@4@6@30", "2024-02-27 12:00:00", "2024-02-29 06:30:00"},
    // Monthly: this month's day unless it is gone; too large a day rolls on.
    {"1@3@15@10@0", "2024-03-10 00:00:00", "2024-03-15 10:00:00"},
    {"1@3@15@10@0", "2024-03-20 00:00:00", "2024-04-15 10:00:00"},
    {"1@3@15@10@0", "2024-12-20 00:00:00", "2025-01-15 10:00:00"},
    {"1@3@31@1@0", "2024-04-10 00:00:00", "2024-05-01 01:00:00"},
    {"1@3@31@1@0", "2024-12-31 00:00:00", "2024-12-31 01:00:00"},
    {"1@3@30@0@0", "2024-02-10 00:00:00", "2024-03-01 00:00:00"},
    {"1@3@30@0@0", "2023-02-10 00:00:00", "2023-03-02 00:00:00"},
    {"1@3@29@0@0", "2024-02-01 00:00:00", "2024-02-29 00:00:00"},
    {"1@3@29@0@0", "2023-02-01 00:00:00", "2023-03-01 00:00:00"},
    {"1@3@29@0@0", "2100-02-01 00:00:00", "2100-03-01 00:00:00"},
    {"1@3@29@0@0", "2000-02-01 00:00:00", "2000-02-29 00:00:00"},
    // Periodic.
    {"1@4@5", "2024-03-10 00:00:07", "2024-03-10 00:05:07"},
    {"1@5@25", "2024-02-28 23:00:00", "2024-03-01 00:00:00"},
};

TEST_F(ScheduleTest, NextTimeByKind)
{
    for (const NextCase& c : kNextCases)
    {
        CSchedule schedule;
        Prepare(schedule, c.text, At(c.now));
        EXPECT_EQ(Show(schedule.GetNextTime()), Show(At(c.next))) << c.text << " at " << c.now;
    }
}

struct TextCase
{
    const char* text;
    const char* shown;
};

const TextCase kTextCases[] = {
    {"1@1@2@30", "1@1@2@30"},
    {"1@2@0@23@0", "1@2@0@23@0"},
    {"1@3@31@4@5", "1@3@31@4@5"},
    {"1@4@15", "1@4@15"},
    {"5@5@2", "1@5@2"},
    {"1@4@0", "0"},
    {"1@9@5", "0"},
    {"1@0@5", "0"},
    {"1@1@2", "0"},
    {"1@1", "0"},
    {"1@", "0"},
    {"1@@1@2", "0"},
    {"0@1@2@30", "0"},
    {"1@2@0@23", "0"},
    {"1@1@24@0", "0"},
    {"1@1@2@60", "0"},
    {"1@1@-1@0", "0"},
    {"1@2@7@1@1", "0"},
    {"1@3@0@1@1", "0"},
    {"1@3@32@1@1", "0"},
};

TEST_F(ScheduleTest, TextFormRoundTripsAndBadTextsDisable)
{
    for (const TextCase& c : kTextCases)
    {
        CSchedule schedule;
        EXPECT_TRUE(schedule.SetSchedule(c.text));
        EXPECT_STREQ(schedule.ToString(), c.shown) << c.text;
        EXPECT_EQ(schedule.IsEnabled(), std::string(c.shown) != "0") << c.text;
    }
    EXPECT_FALSE(CSchedule().SetSchedule(nullptr));
}

TEST_F(ScheduleTest, FlagAloneKeepsTheSettings)
{
    CSchedule schedule;
    ASSERT_TRUE(schedule.SetSchedule("1@2@0@23@0"));
    ASSERT_TRUE(schedule.SetSchedule("0"));
    EXPECT_FALSE(schedule.IsEnabled());
    EXPECT_STREQ(schedule.ToString(), "0");
    unsigned long type = 0;
    unsigned short day = 9;
    unsigned char hour = 0, minute = 9;
    schedule.GetScheduleType(type);
    schedule.GetDayOfWeek(day);
    schedule.GetStartTime(hour, minute);
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(day, 0u);
    EXPECT_EQ(hour, 23u);
    EXPECT_EQ(minute, 0u);
    ASSERT_TRUE(schedule.SetSchedule("7"));
    EXPECT_STREQ(schedule.ToString(), "1@2@0@23@0");
}

TEST_F(ScheduleTest, SettersAndTypedSetSchedule)
{
    CSchedule schedule;
    EXPECT_TRUE(schedule.SetSchedule(3, 31, 4, 5));
    EXPECT_FALSE(schedule.IsEnabled()) << "setting values does not enable";
    EXPECT_TRUE(schedule.EnableSchedule(true));
    EXPECT_STREQ(schedule.ToString(), "1@3@31@4@5");
    EXPECT_FALSE(schedule.SetSchedule(6, 1));
    EXPECT_FALSE(schedule.IsEnabled());
    EXPECT_FALSE(schedule.EnableSchedule(true)) << "type 0 cannot run";

    schedule.SetScheduleType(CSchedule::kEveryMinutes);
    schedule.SetMinutePeriod(90);
    unsigned long period = 0;
    schedule.GetMinutePeriod(period);
    EXPECT_EQ(period, 90u);
    EXPECT_TRUE(schedule.EnableSchedule(true));
    EXPECT_STREQ(schedule.ToString(), "1@4@90");
    schedule.SetScheduleType(8);
    EXPECT_STREQ(schedule.ToString(), "0");
}

// Ticks `n` times at `now`; how many of them raised the alarm.
int Tick(CSchedule& schedule, int n, time_t now)
{
    int alarms = 0;
    for (int i = 0; i < n; ++i)
    {
        schedule.OnClockTick(now);
        alarms += schedule.IsAlarmOn() ? 1 : 0;
    }
    return alarms;
}

TEST_F(ScheduleTest, AlarmLastsOneTickAtEverySixtiethCheck)
{
    CSchedule schedule;
    time_t start = At("2024-03-10 00:00:00");
    Prepare(schedule, "1@4@1", start);
    EXPECT_EQ(Tick(schedule, 60, start + 59), 0) << "not yet due at the check";
    EXPECT_EQ(Tick(schedule, 59, start + 60), 0) << "due, but no check yet";
    schedule.OnClockTick(start + 60);
    EXPECT_TRUE(schedule.IsAlarmOn());
    EXPECT_EQ(schedule.GetNextTime(), start + 120);
    schedule.OnClockTick(start + 60);
    EXPECT_FALSE(schedule.IsAlarmOn());

    schedule.EnableSchedule(false);
    EXPECT_EQ(Tick(schedule, 120, start + 1000), 0);
}

struct RepeatCase
{
    const char* text;
    const char* set;
    const char* due;
    const char* following;
};

const RepeatCase kRepeatCases[] = {
    {"1@2@3@8@0", "2024-03-13 07:00:00", "2024-03-13 08:00:00", "2024-03-20 08:00:30"},
    {"1@2@6@23@59", "2024-12-28 23:00:00", "2024-12-28 23:59:00", "2025-01-04 23:59:30"},
    {"1@3@15@10@0", "2024-03-15 09:00:00", "2024-03-15 10:00:00", "2024-04-15 10:00:30"},
    {"1@3@31@1@0", "2024-01-31 00:00:00", "2024-01-31 01:00:00", "2024-03-02 01:00:30"},
    {"1@3@29@0@0", "2024-02-28 12:00:00", "2024-02-29 00:00:00", "2024-03-29 00:00:30"},
    {"1@1@8@0", "2024-03-12 07:00:00", "2024-03-13 08:00:00", "2024-03-14 08:00:30"},
};

// Once due, a schedule moves on to its next run (the seconds are those of
// the check); it is not due again at the later checks of the same day.
TEST_F(ScheduleTest, DueOnceThenMovesToTheNextRun)
{
    for (const RepeatCase& c : kRepeatCases)
    {
        SCOPED_TRACE(c.text);
        CSchedule schedule;
        Prepare(schedule, c.text, At(c.set));
        ASSERT_EQ(Show(schedule.GetNextTime()), Show(At(c.due)));
        time_t due = At(c.due);
        EXPECT_EQ(Tick(schedule, 60, due + 30), 1);
        EXPECT_EQ(Show(schedule.GetNextTime()), Show(At(c.following)));
        int later = 0;
        for (time_t t = due + 90; t < due + 86400; t += 3600)
            later += Tick(schedule, 60, t);
        EXPECT_EQ(later, 0);
    }
}
} // namespace
