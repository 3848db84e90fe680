// Feeds arbitrary text to the schedule parser as the verify schedule's
// setting would, and checks what the parsed schedule promises: its text
// form reads back as the same schedule, and once it has fallen due its next
// run lies after the moment it fell due, so it cannot fire at every check.

#include "CSchedule.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace
{
// A fixed moment, so that a failing input fails again when replayed.
const time_t kStart = 1700000000;
// Alarms followed per input.
const int kAlarms = 3;

void Fail(const char* what, const std::string& text, const CString& form)
{
    fprintf(stderr, "schedule fuzz: %s for \"%s\" (text form \"%s\")\n", what, text.c_str(), form.GetBuffer());
    abort();
}

// Runs ticks at the schedule's own due time until it raises its alarm.
void FollowAlarms(CSchedule& schedule, const std::string& text, const CString& form)
{
    for (int alarm = 0; alarm < kAlarms && schedule.IsEnabled(); ++alarm)
    {
        const time_t due = schedule.GetNextTime() > kStart ? schedule.GetNextTime() : kStart;
        bool raised = false;
        for (int tick = 0; tick < CSchedule::kTicksPerCheck && !raised; ++tick)
        {
            schedule.OnClockTick(due);
            raised = schedule.IsAlarmOn();
        }
        if (!raised)
            Fail("no alarm at the due time", text, form);
        if (schedule.GetNextTime() <= due)
            Fail("next run not after the alarm", text, form);
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Local time decides daily, weekly and monthly times; one zone without
    // summer time keeps the checks exact.
    setenv("TZ", "UTC", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CSchedule schedule;
    schedule.SetSchedule(text.c_str());
    const CString form = schedule.ToString();

    CSchedule again;
    again.SetSchedule(form);
    if (again.ToString() != form || again.IsEnabled() != schedule.IsEnabled())
        Fail("text form does not read back", text, form);
    unsigned long type = 0;
    schedule.GetScheduleType(type);
    if (schedule.IsEnabled() && (type < CSchedule::kDaily || type > CSchedule::kEveryHours))
        Fail("enabled without a known type", text, form);

    schedule.SetupNextTime(kStart);
    FollowAlarms(schedule, text, form);
    return 0;
}
