#include "CLog.h"

#include "CAgentDoc.h"
#include "CMessage.h"
#include "CProfile.h"
#include "CString.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* CLog::m_fpMiscLog = nullptr;

namespace
{
const char kLogSection[] = "LogFile";
const int kDefaultMaxNumber = 1000000;
const int kLargestMaxNumber = 0x7ffffffe;

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
FILE* OpenPrivate(const char* path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    fchmod(fd, 0600);
    FILE* fp = fdopen(fd, "w");
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
    if (!CAgentDoc::m_bDebugOn)
        return;
    CString line;
    line.Format("%s\n", label);
    ShowInfo(line);
}

void CLog::ShowMessage(const char* label, const CMessage* pMsg)
{
    if (!CAgentDoc::m_bDebugOn)
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
