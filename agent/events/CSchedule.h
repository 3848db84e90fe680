#pragma once

#include "CObject.h"
#include "CString.h"

#include <cstdint>
#include <ctime>

// When a recurring job is due: daily, weekly or monthly at a time of day,
// or every so many minutes or hours. It keeps the absolute time of the next
// run and raises an alarm for one tick when that time has come; the time is
// looked at on every 60th tick.
//
// Text form: the enable flag, and when enabled "@type" and the type's values
// each after an "@": daily hour@minute, weekly and monthly day@hour@minute,
// periodic period.
class CSchedule : public CObject
{
public:
    enum
    {
        kNone = 0,
        kDaily = 1,
        kWeekly = 2,
        kMonthly = 3,
        kEveryMinutes = 4,
        kEveryHours = 5
    };
    enum
    {
        kTicksPerCheck = 60
    };

    CSchedule() = default;
    virtual ~CSchedule();

    bool SetStartTime(unsigned char hour, unsigned char minute);
    bool GetStartTime(unsigned char& hour, unsigned char& minute) const;
    bool SetDayOfMonth(unsigned short day);
    bool GetDayOfMonth(unsigned short& day) const;
    bool SetDayOfWeek(unsigned short day);
    bool GetDayOfWeek(unsigned short& day) const;
    bool SetMinutePeriod(unsigned long period);
    bool GetMinutePeriod(unsigned long& period) const;
    bool SetScheduleType(unsigned long type);
    bool GetScheduleType(unsigned long& type) const;

    // Daily: hour, minute. Weekly (day 0 = Sunday to 6) and monthly (day 1
    // to 31): day, hour, minute. Periodic: the period; 0 turns the schedule
    // off. Another type or a value out of range turns the schedule off and
    // gives false. The enabled flag is not set here.
    bool SetSchedule(unsigned long type, unsigned long first, unsigned long second = 0,
                     unsigned long third = 0);
    bool SetSchedule(const char* text);
    CString ToString();

    bool EnableSchedule(bool bEnable);
    bool IsEnabled() const { return m_bEnabled; }
    bool IsAlarmOn() const { return m_bAlarm; }
    void OnClockTick();
    void OnClockTick(time_t now);
    bool IsTimeOut() const;
    bool IsTimeOut(time_t now) const { return now >= m_tNext; }
    bool SetupNextTime();
    bool SetupNextTime(time_t now);
    time_t GetNextTime() const { return m_tNext; }

private:
    // Sets the values of `type` from the text after its "@"; false when a
    // separator is missing.
    bool ParseValues(unsigned long type, const char* values);
    // Moves a weekly or monthly next time that is not after `now` to the
    // following week or month.
    void MovePast(time_t now);

    static unsigned long m_nCount;

    bool m_bEnabled = false;
    bool m_bAlarm = false;
    uint32_t m_nType = kNone;
    uint16_t m_nDay = 0;
    uint8_t m_nHour = 0;
    uint8_t m_nMinute = 0;
    uint32_t m_nPeriod = 0;
    time_t m_tNext = 0;
};
