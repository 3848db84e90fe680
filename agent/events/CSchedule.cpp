#include "CSchedule.h"

#include <cstdlib>
#include <cstring>

unsigned long CSchedule::m_nCount = 0;

namespace
{
const int kDaysPerWeek = 7;
const long kSecondsPerMinute = 60;
const long kSecondsPerHour = 3600;

// The text after the "@" that follows `p`, when that "@" is not at `p`
// itself; otherwise null.
const char* NextField(const char* p)
{
    const char* at = p ? strchr(p, '@') : nullptr;
    return at && at > p ? at + 1 : nullptr;
}

bool InRange(unsigned long value, unsigned long low, unsigned long high)
{
    return value >= low && value <= high;
}

// The local time `when` with the clock set to hour:minute, seconds kept.
struct tm AtTimeOfDay(time_t when, int hour, int minute)
{
    struct tm local;
    localtime_r(&when, &local);
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return local;
}
} // namespace

CSchedule::~CSchedule() = default;

bool CSchedule::SetStartTime(unsigned char hour, unsigned char minute)
{
    m_nHour = hour;
    m_nMinute = minute;
    return true;
}

bool CSchedule::GetStartTime(unsigned char& hour, unsigned char& minute) const
{
    hour = m_nHour;
    minute = m_nMinute;
    return true;
}

bool CSchedule::SetDayOfMonth(unsigned short day)
{
    m_nDay = day;
    return true;
}

bool CSchedule::GetDayOfMonth(unsigned short& day) const
{
    day = m_nDay;
    return true;
}

bool CSchedule::SetDayOfWeek(unsigned short day)
{
    return SetDayOfMonth(day);
}

bool CSchedule::GetDayOfWeek(unsigned short& day) const
{
    return GetDayOfMonth(day);
}

bool CSchedule::SetMinutePeriod(unsigned long period)
{
    m_nPeriod = static_cast<uint32_t>(period);
    return true;
}

bool CSchedule::GetMinutePeriod(unsigned long& period) const
{
    period = m_nPeriod;
    return true;
}

bool CSchedule::SetScheduleType(unsigned long type)
{
    m_nType = static_cast<uint32_t>(type);
    return true;
}

bool CSchedule::GetScheduleType(unsigned long& type) const
{
    type = m_nType;
    return true;
}

// Values out of range would be rolled by the calendar into some other day
// or hour than the one asked for, so they are refused like an unknown type.
bool CSchedule::SetSchedule(unsigned long type, unsigned long first, unsigned long second,
                            unsigned long third)
{
    m_nType = static_cast<uint32_t>(type);
    bool valid = false;
    switch (type)
    {
    case kDaily:
        valid = InRange(first, 0, 23) && InRange(second, 0, 59);
        if (valid)
            SetStartTime(static_cast<unsigned char>(first), static_cast<unsigned char>(second));
        break;
    case kWeekly:
    case kMonthly:
        valid = (type == kWeekly ? InRange(first, 0, 6) : InRange(first, 1, 31)) &&
                InRange(second, 0, 23) && InRange(third, 0, 59);
        if (valid)
        {
            SetDayOfMonth(static_cast<unsigned short>(first));
            SetStartTime(static_cast<unsigned char>(second), static_cast<unsigned char>(third));
        }
        break;
    case kEveryMinutes:
    case kEveryHours:
        valid = first <= UINT32_MAX;
        if (valid)
            SetMinutePeriod(first);
        if (valid && first == 0)
        {
            m_nType = kNone;
            m_bEnabled = false;
        }
        break;
    default:
        break;
    }
    if (!valid)
    {
        m_nType = kNone;
        m_bEnabled = false;
    }
    return valid;
}

bool CSchedule::ParseValues(unsigned long type, const char* values)
{
    const char* second = NextField(values);
    const char* third = NextField(second);
    switch (type)
    {
    case kDaily:
        return second && SetSchedule(type, atoi(values), atoi(second));
    case kWeekly:
    case kMonthly:
        return third && SetSchedule(type, atoi(values), atoi(second), atoi(third));
    default:
        return SetSchedule(type, atoi(values));
    }
}

bool CSchedule::SetSchedule(const char* text)
{
    if (!text)
        return false;
    bool enable = atoi(text) != 0;
    const char* rest = strchr(text, '@');
    if (!rest)
    {
        EnableSchedule(enable);
        return true;
    }
    ++rest;
    const char* values = NextField(rest);
    bool success = enable && values && ParseValues(static_cast<unsigned long>(atoi(rest)), values);
    EnableSchedule(success && enable);
    return true;
}

CString CSchedule::ToString()
{
    CString part;
    if (m_bEnabled)
    {
        if (m_nType == kDaily)
            part.Format("@%d@%d@%d", m_nType, m_nHour, m_nMinute);
        else if (m_nType == kWeekly || m_nType == kMonthly)
            part.Format("@%d@%d@%d@%d", m_nType, m_nDay, m_nHour, m_nMinute);
        else if (m_nType == kEveryMinutes || m_nType == kEveryHours)
            part.Format("@%d@%u", m_nType, m_nPeriod);
        else
            m_bEnabled = false;
    }
    CString text;
    text.Format("%d%s", m_bEnabled ? 1 : 0, part.GetBuffer());
    return text;
}

bool CSchedule::EnableSchedule(bool bEnable)
{
    m_bEnabled = bEnable;
    return SetupNextTime();
}

bool CSchedule::IsTimeOut() const
{
    return IsTimeOut(time(nullptr));
}

void CSchedule::OnClockTick()
{
    OnClockTick(time(nullptr));
}

// After a run the next time is taken past the present, so that a weekly or
// monthly schedule is due once on its day and not at every later check.
void CSchedule::OnClockTick(time_t now)
{
    if (!m_bEnabled)
    {
        m_nCount = 0;
        return;
    }
    m_bAlarm = false;
    if (++m_nCount % kTicksPerCheck != 0)
        return;
    if (IsTimeOut(now))
    {
        m_bAlarm = true;
        SetupNextTime(now);
        MovePast(now);
    }
    m_nCount = 0;
}

bool CSchedule::SetupNextTime()
{
    return SetupNextTime(time(nullptr));
}

bool CSchedule::SetupNextTime(time_t now)
{
    if (!m_bEnabled)
        return false;
    if (m_nType == kEveryMinutes || m_nType == kEveryHours)
    {
        m_tNext = now + static_cast<time_t>(m_nPeriod) *
                            (m_nType == kEveryMinutes ? kSecondsPerMinute : kSecondsPerHour);
        return true;
    }
    if (m_nType != kDaily && m_nType != kWeekly && m_nType != kMonthly)
    {
        m_bEnabled = false;
        return false;
    }
    struct tm next = AtTimeOfDay(now, m_nHour, m_nMinute);
    if (m_nType == kDaily)
        next.tm_mday += 1;
    else if (m_nType == kWeekly)
        next.tm_mday += (m_nDay - next.tm_wday + kDaysPerWeek) % kDaysPerWeek;
    else
    {
        if (next.tm_mday > m_nDay)
            next.tm_mon += 1;
        next.tm_mday = m_nDay;
    }
    m_tNext = mktime(&next);
    return true;
}

void CSchedule::MovePast(time_t now)
{
    if (m_tNext > now || (m_nType != kWeekly && m_nType != kMonthly))
        return;
    struct tm next = AtTimeOfDay(m_tNext, m_nHour, m_nMinute);
    if (m_nType == kWeekly)
        next.tm_mday += kDaysPerWeek;
    else
    {
        next.tm_mon += 1;
        next.tm_mday = m_nDay;
    }
    m_tNext = mktime(&next);
}
