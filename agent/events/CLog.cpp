#include "CLog.h"

#include "EventSeverity.h"

#include "CEventFile.h"
#include "CFile.h"
#include "CMessage.h"
#include "CNoticeLists.h"
#include "CProfile.h"
#include "CString.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* CLog::m_fpMiscLog = nullptr;
bool CLog::m_bDebugOn = false;

const unsigned long CLog::EventIDs[] = {256, 257, 258, 512, 513, 514, 515, 516, 517, 521, 522,
                                        518, 519, 520, 524, 523, 525, 526, 527, 528, 529};
const unsigned long CLog::kNumEventIDs = sizeof EventIDs / sizeof EventIDs[0];

namespace
{
const char kLogSection[] = "LogFile";
const int kDefaultMaxNumber = 1000000;
const int kLargestMaxNumber = 0x7ffffffe;
const char kEventLogRoot[] = "/var/log/tavrine";
// Longest id of a notice list: more digits cannot name a known event.
const int kMaxIdDigits = 9;

// The decimal number at `p`, cut to 32 bits; 0 when there is none.
uint32_t LeadingNumber(const char* p) { return static_cast<uint32_t>(strtoll(p, nullptr, 10)); }

// The text after the next `separator` at or after `p`, or null.
const char* AfterSeparator(const char* p, char separator = '@')
{
    if (!p)
        return nullptr;
    p = strchr(p, separator);
    return p ? p + 1 : nullptr;
}

// Reads the digits at `p` as one id of a notice list and moves past them.
bool ReadListNumber(const char*& p, unsigned long& value)
{
    int digits = 0;
    value = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits)
    {
        if (digits == kMaxIdDigits)
            return false;
        value = value * 10 + static_cast<unsigned long>(*p - '0');
    }
    return digits > 0;
}

// Whether the log of the folder at `path` lies under the log directory: a
// folder named "." or ".." would put it, or the file a clear deletes,
// somewhere else.
bool StaysInside(const char* path)
{
    if (!path)
        return false;
    for (const char* part = path; part; part = AfterSeparator(part, '/'))
    {
        size_t n = strcspn(part, "/");
        if ((n == 1 && part[0] == '.') || (n == 2 && part[0] == '.' && part[1] == '.'))
            return false;
    }
    return true;
}

// Whether `path` is absent or too short to hold a header, so that a fresh
// log may take its place without losing any record.
bool HasNoLog(const char* path)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return errno == ENOENT;
    return st.st_size < CEventFile::kHeaderSize;
}

// A readable file with a whole header that still is no log (its magic word
// is gone) would take every new event and never list one. It is moved to
// "<path>.bad", keeping its bytes, so that a fresh log can take its place.
bool SetAsideDamagedLog(const char* path)
{
    CEventFile probe;
    if (access(path, R_OK | W_OK) != 0 || probe.Open(path, false))
        return false;
    CString aside(path);
    aside += ".bad";
    if (rename(path, aside) != 0)
        return false;
    ::ShowInfo("The event log %s was damaged and is kept as %s\n", path, aside.GetBuffer());
    return true;
}

// Formats like printf, cutting at CLog::kMaxInfo characters, and hands the
// text to `show`.
void ShowFormatted(void (*show)(const char*), const char* fmt, va_list args)
    __attribute__((format(printf, 2, 0)));

void ShowFormatted(void (*show)(const char*), const char* fmt, va_list args)
{
    char text[CLog::kMaxInfo + 1];
    vsnprintf(text, sizeof text, fmt, args);
    show(text);
}

void ShowUrgent(const char* text)
{
    fputs(text, stderr);
    fflush(stderr);
}

// The misc log repeats everything the agent prints, account passwords given
// at --init among it, so only the owner may read it.
// Every write goes to the end, so a log rotation that copies the file and
// truncates it in place leaves no run of zeros before the next line.
FILE* OpenPrivate(const char* path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    fchmod(fd, 0600);
    FILE* fp = fdopen(fd, "a");
    if (!fp)
        close(fd);
    return fp;
}
} // namespace

void ShowInfo(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    ShowFormatted(CLog::ShowInfo, fmt, args);
    va_end(args);
}

void UrgentInfo(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    ShowFormatted(ShowUrgent, fmt, args);
    va_end(args);
}

// Standard output is flushed at once so that a watcher of a redirected
// output sees each message when it happens.
void CLog::ShowInfo(const char* text)
{
    fputs(text, stdout);
    fflush(stdout);
    if (m_fpMiscLog)
        fputs(text, m_fpMiscLog);
}

void CLog::ShowMessage(const char* label)
{
    if (!m_bDebugOn)
        return;
    CString line;
    line.Format("%s\n", label);
    ShowInfo(line);
}

void CLog::ShowMessage(const char* label, const CMessage* pMsg)
{
    if (!m_bDebugOn)
        return;
    ::ShowInfo("%s  %d   %d   %s\n", label, pMsg->m_nCommand, pMsg->m_nType, pMsg->m_strBody.GetBuffer());
}

void CLog::DumpMemory(const void* p, int n)
{
    ::ShowInfo("Dump Memory at %p with length %x(Hex)\t%d(Dec):\n", p, n, n);
    const signed char* bytes = static_cast<const signed char*>(p);
    for (int i = 0; bytes && i < n; ++i)
    {
        // A NUL would end the formatted text early and swallow the rest of
        // the line, so it is shown as nothing.
        const char glyph[2] = {static_cast<char>(bytes[i]), '\0'};
        ::ShowInfo("%d\t%s\t%x\n", i, glyph, static_cast<unsigned>(bytes[i]));
    }
}

int CLog::NextLogNumber()
{
    CProfile profile;
    int nMax = 0;
    profile.GetProfile(kLogSection, "MaxNumber", &nMax);
    if (nMax < 1 || nMax > kLargestMaxNumber)
    {
        nMax = kDefaultMaxNumber;
        profile.WriteProfile(kLogSection, "MaxNumber", nMax);
    }
    int nNext = 0;
    profile.GetProfile(kLogSection, "NextNumber", &nNext);
    // A negative counter still picks a file of the rotation.
    int r = nNext % nMax;
    if (r < 0)
        r += nMax;
    if (r == 0)
    {
        profile.WriteProfile(kLogSection, "NextNumber", 1);
        return nMax;
    }
    profile.WriteProfile(kLogSection, "NextNumber", r + 1);
    return r;
}

void CLog::OpenLogfile()
{
    CloseLogfile();
    CString path;
    path.Format("/var/log/tavrine/misc/Misc%d.log", NextLogNumber());
    m_fpMiscLog = OpenPrivate(path);
    if (!m_fpMiscLog)
        ::ShowInfo("Open log file error: %s!\nPlease make proper directory!\n", strerror(errno));
}

void CLog::CloseLogfile()
{
    if (!m_fpMiscLog)
        return;
    fclose(m_fpMiscLog);
    m_fpMiscLog = nullptr;
}

void CLog::FlushLog()
{
    if (m_fpMiscLog)
        fflush(m_fpMiscLog);
}

CLog::CLog(CNoticeLists* pLists, const char* szFolderPath, const char* szEvent) : m_pLists(pLists), m_szEvent(szEvent)
{
    if (StaysInside(szFolderPath))
    {
        m_strDir = kEventLogRoot;
        if (*szFolderPath != '/')
            m_strDir += "/";
        m_strDir += szFolderPath;
        const char* name = strrchr(szFolderPath, '/');
        m_strFileName = name ? name + 1 : szFolderPath;
        m_strFileName += ".log";
    }
    if (m_szEvent)
        Init();
}

CLog::~CLog() = default;

void CLog::Init()
{
    ParseEventString();
    m_bInit = true;
}

// Fields that are missing stay 0 or empty; the detail is all the rest of
// the text, "@" included.
void CLog::ParseEventString()
{
    m_nEventID = m_tTime = m_nSeverity = 0;
    m_strTitle.Empty();
    m_strDetail.Empty();
    if (!m_szEvent)
        return;
    m_nEventID = LeadingNumber(m_szEvent);
    const char* p = AfterSeparator(m_szEvent);
    if (p)
        m_tTime = LeadingNumber(p);
    p = AfterSeparator(p);
    if (p)
        m_nSeverity = LeadingNumber(p);
    p = AfterSeparator(p);
    if (!p)
        return;
    m_strTitle = p;
    const char* detail = AfterSeparator(p);
    if (!detail)
        return;
    m_strTitle.Left(static_cast<int>(detail - 1 - p));
    m_strDetail = detail;
}

CString CLog::GetPath() const
{
    CString path(m_strDir);
    if (m_strDir.ReverseFindIndex('/') != m_strDir.GetLength() - 1)
        path += "/";
    return path + m_strFileName;
}

bool CLog::OpenFile(CEventFile& file, bool bWrite) const
{
    return !m_strDir.IsEmpty() && file.Open(GetPath(), bWrite);
}

bool CLog::Store()
{
    if (!m_bInit || m_strDir.IsEmpty())
        return false;
    CString path = GetPath();
    if (HasNoLog(path))
    {
        XCreateDirectory(m_strDir);
        CEventFile::Create(path);
    }
    tagEventRecord rec;
    rec.id = m_nEventID;
    rec.time = m_tTime;
    rec.severity = m_nSeverity;
    rec.title = m_strTitle;
    rec.detail = m_strDetail;
    CEventFile file;
    const bool open =
        OpenFile(file, true) || (SetAsideDamagedLog(path) && CEventFile::Create(path) && OpenFile(file, true));
    if (open && file.Append(rec))
        return true;
    ::ShowInfo("Can not store the event in %s: %s\n", path.GetBuffer(), strerror(errno));
    return false;
}

unsigned long CLog::GetMagicWord()
{
    CEventFile file;
    return OpenFile(file, false) ? file.GetMagic() : 0;
}

unsigned long CLog::GetEventHead()
{
    CEventFile file;
    return OpenFile(file, false) ? file.GetHead() : 0;
}

bool CLog::LoadNext(unsigned long& pos, unsigned long flags)
{
    CEventFile file;
    return pos != 0 && OpenFile(file, false) && LoadNext(file, pos, flags);
}

// Links that do not lead strictly away from `pos` end the walk, so that a
// damaged log cannot send an enumeration round in circles. A forward walk
// that reaches the newest record looks once for records stored since the
// log was opened, as a walk that opened the log anew would find them.
bool CLog::LoadNext(CEventFile& file, unsigned long& pos, unsigned long flags)
{
    tagEventRecord rec;
    if (pos == 0 || pos > UINT32_MAX || !file.Read(static_cast<uint32_t>(pos), rec))
        return false;
    uint32_t next = rec.next;
    if ((flags & kForward) && next == file.GetLength() - 4)
        file.TakeAppends();
    if (next >= file.GetLength() - 4 || next <= pos)
        next = 0;
    uint32_t link = rec.link < pos ? rec.link : 0;
    m_nEventID = rec.id;
    m_tTime = rec.time;
    m_nSeverity = rec.severity;
    m_strTitle = rec.title;
    m_strDetail = rec.detail;
    pos = (flags & kForward) ? next : link;
    return true;
}

bool CLog::EnumEvent(unsigned long& pos, unsigned long& magic, unsigned long flags)
{
    CEventFile file;
    return EnumEvent(file, pos, magic, flags);
}

bool CLog::EnumEvent(CEventFile& file, unsigned long& pos, unsigned long& magic, unsigned long flags)
{
    if (!OpenFile(file, false) || (pos != 0 && magic != file.GetMagic()))
        return false;
    magic = file.GetMagic();
    if (pos != 0)
        return (flags & kForward) ? LoadNext(file, pos, flags) : true;
    pos = (flags & kForward) ? static_cast<unsigned long>(CEventFile::kHeaderSize) : file.GetHead();
    return true;
}

bool CLog::ClearEvent() { return !m_strDir.IsEmpty() && CFile::Remove(GetPath()); }

bool CLog::IsListed(const CString& list) const
{
    unsigned long count = 0;
    unsigned long* ids = nullptr;
    if (!strListSyntax(list, count, ids))
        return false;
    bool listed = NumInList(m_nEventID, ids, count);
    delete[] ids;
    return listed;
}

bool CLog::NeedEmailReport()
{
    CString list;
    return m_pLists && m_pLists->GetEmailNoticeList(list) && IsListed(list);
}

bool CLog::NeedConsoleReport()
{
    CString list;
    return m_pLists && m_pLists->GetReportNoticeList(list) && IsListed(list);
}

void CLog::ToEmailString(CString& body, CString& subject) const
{
    time_t when = static_cast<time_t>(m_tTime);
    struct tm local;
    if (localtime_r(&when, &local))
        body.Format("%02d/%02d/%02d %02d:%02d:%02d", local.tm_mon + 1, local.tm_mday, local.tm_year % 100,
                    local.tm_hour, local.tm_min, local.tm_sec);
    else
        body = "na/na/na na:na:na";
    body += " ";
    body += m_strDetail;
    subject = EventSeverityText(m_nSeverity);
    subject += "-";
    subject += m_strTitle;
}

void CLog::ToConsoleString(CString& out) const
{
    out.Format("%d@%d@%d@%s@%s", static_cast<int>(m_nEventID), static_cast<int>(m_tTime),
               static_cast<int>(m_nSeverity), m_strTitle.GetBuffer(), m_strDetail.GetBuffer());
}

bool CLog::strListSyntax(const char* text, unsigned long& count, unsigned long*& ids)
{
    count = 0;
    ids = nullptr;
    const char* p = text;
    unsigned long n = 0;
    if (!p || !ReadListNumber(p, n) || n > kNumEventIDs)
        return false;
    unsigned long* found = n ? new unsigned long[n] : nullptr;
    unsigned long got = 0;
    while (*p == '@' && got < n)
    {
        ++p;
        unsigned long id = 0;
        if (!ReadListNumber(p, id) || !NumInList(id, EventIDs, kNumEventIDs))
            break;
        found[got++] = id;
    }
    if (got != n || *p != '\0')
    {
        delete[] found;
        return false;
    }
    count = n;
    ids = found;
    return true;
}

bool CLog::NumInList(unsigned long id, const unsigned long* ids, unsigned long count)
{
    for (unsigned long i = 0; ids && i < count; ++i)
    {
        if (ids[i] == id)
            return true;
    }
    return false;
}

bool CLog::XCreateDirectory(const char* path) { return CFile::XCreateDirectory(path); }
