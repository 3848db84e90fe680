#include "CProfile.h"

#include "CReplacementFile.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char kDefaultPath[] = "/etc/tavrine/Dorvik.rc";
// One line and the NUL after it.
const int kLineBufSize = CProfile::kMaxLine + 1;

// The name between the first "[" and the next "]" of the `n` bytes of
// `line` equals `section`.
bool HeaderNames(const char* line, int n, const char* section)
{
    const char* open = static_cast<const char*>(memchr(line, '[', n));
    const char* close = open ? static_cast<const char*>(memchr(open + 1, ']', line + n - open - 1)) : nullptr;
    if (!close)
        return false;
    size_t length = close - open - 1;
    return length == strlen(section) && memcmp(open + 1, section, length) == 0;
}

// The text before the first "=" equals `key`.
bool KeyMatches(const char* line, const char* key)
{
    const char* eq = strchr(line, '=');
    if (!eq)
        return false;
    size_t n = eq - line;
    return n == strlen(key) && memcmp(line, key, n) == 0;
}

// The atoi rule, with out-of-range numbers held at the int limits.
int ToInt(const char* text)
{
    long n = strtol(text, nullptr, 10);
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return static_cast<int>(n);
}

FILE* CreateOwnerOnly(const char* path)
{
    mode_t previous = umask(077);
    int fd = open(path, O_RDWR | O_CREAT, 0666);
    umask(previous);
    if (fd < 0)
        return nullptr;
    FILE* f = fdopen(fd, "r+");
    if (!f)
        close(fd);
    return f;
}

// Copies `n` bytes from `offset` of `from` (n < 0: up to the end).
bool CopyRange(FILE* from, long offset, long n, FILE* to)
{
    if (fseek(from, offset, SEEK_SET) != 0)
        return false;
    char chunk[4096];
    while (n != 0)
    {
        size_t want = (n < 0 || n > static_cast<long>(sizeof(chunk))) ? sizeof(chunk) : n;
        size_t got = fread(chunk, 1, want, from);
        if (got == 0)
            return n < 0 && !ferror(from);
        if (fwrite(chunk, 1, got, to) != got)
            return false;
        if (n > 0)
            n -= static_cast<long>(got);
    }
    return true;
}

bool WriteText(const char* text, FILE* to)
{
    size_t length = strlen(text);
    return fwrite(text, 1, length, to) == length;
}

// The file a rewrite replaces: through symbolic links, so that a linked
// profile stays linked.
CString ResolvedPath(const CString& path)
{
    char* real = realpath(path, nullptr);
    if (!real)
        return path;
    CString resolved(real);
    free(real);
    return resolved;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
}

CProfile::CProfile() { OpenFile(kDefaultPath); }

CProfile::CProfile(const char* path) { OpenFile(path); }

CProfile::~CProfile() { CloseFile(); }

void CProfile::OpenFile(const char* path)
{
    m_bSectionExist = false;
    m_strPath = path ? path : "";
    if (path && *path)
    {
        fp = fopen(path, "r+");
        if (!fp)
            fp = CreateOwnerOnly(path);
    }
    m_Buf.AllocateBuf(kLineBufSize);
    m_Buf.Zero(0);
}

void CProfile::CloseFile()
{
    if (fp)
        fclose(fp);
    fp = nullptr;
}

// Rewrites replace the file by a new one; a profile opened before that must
// follow to the new file or it would read, and rewrite, stale contents.
void CProfile::FollowReplacement()
{
    struct stat named, held;
    if (stat(m_strPath, &named) != 0 || fstat(fileno(fp), &held) != 0 || SameFile(named, held))
        return;
    FILE* fresh = fopen(m_strPath, "r+");
    if (!fresh)
        return;
    fclose(fp);
    fp = fresh;
}

bool CProfile::FindEntry(const char* section, const char* key)
{
    m_bSectionExist = false;
    if (!fp)
        return false;
    FollowReplacement();
    rewind(fp);
    for (long start = 0; ReadLine(start); start += m_nLineLength)
    {
        const char* line = m_Buf.GetBuf();
        if (memchr(line, '[', m_nHeld))
        {
            if (m_bSectionExist)
            {
                fseek(fp, start, SEEK_SET);
                return false;
            }
            m_bSectionExist = HeaderNames(line, m_nHeld, section);
        }
        else if (m_bSectionExist && KeyMatches(line, key))
        {
            fseek(fp, start, SEEK_SET);
            return true;
        }
    }
    return false;
}

bool CProfile::ReadLine(long start)
{
    char* line = m_Buf.GetBuf();
    if (!fgets(line, kLineBufSize, fp))
        return false;
    m_nLineLength = ftell(fp) - start;
    m_nHeld = static_cast<int>(m_nLineLength);
    const bool whole = line[m_nHeld - 1] == '\n' || !SkipRestOfLine();
    // A NUL byte would end the value early.
    m_bLineWhole = whole && strlen(line) == static_cast<size_t>(m_nHeld);
    if (!whole)
        m_nLineLength = ftell(fp) - start;
    return true;
}

// A "[" in the rest makes the line a header; the buffer then takes the text
// from that "[" on, which holds the header's name.
bool CProfile::SkipRestOfLine()
{
    char* line = m_Buf.GetBuf();
    bool header = memchr(line, '[', m_nHeld) != nullptr;
    int c = getc(fp);
    if (c == EOF)
        return false;
    for (; c != EOF && c != '\n'; c = getc(fp))
    {
        if (!header && c == '[')
        {
            header = true;
            m_nHeld = 0;
        }
        // A buffer that held the "[" already is full, and stays as it is.
        if (header && m_nHeld < kMaxLine)
            line[m_nHeld++] = static_cast<char>(c);
    }
    line[m_nHeld] = '\0';
    return true;
}

bool CProfile::FollowsLineEnd()
{
    long at = ftell(fp);
    if (at <= 0)
        return true;
    fseek(fp, at - 1, SEEK_SET);
    bool lineEnd = fgetc(fp) == '\n';
    fseek(fp, at, SEEK_SET);
    return lineEnd;
}

CProfile::EntryState CProfile::GetProfile(const char* section, const char* key, CString& value)
{
    value.Empty();
    if (!section || !key || !FindEntry(section, key))
        return kMissing;
    if (!m_bLineWhole)
        return kCut;
    value = strchr(m_Buf.GetBuf(), '=') + 1;
    value.TrimRight('\n');
    return kWhole;
}

CProfile::EntryState CProfile::GetProfile(const char* section, const char* key, int* value)
{
    CString text;
    EntryState state = GetProfile(section, key, text);
    if (value)
        *value = ToInt(text);
    return state;
}

// An entry must read back as itself: a line break would start lines of its
// own (and could forge other entries or sections), a "[" anywhere turns the
// line into a section header, an "=" in the key ends it early, a "]" in the
// section name ends the name early, and a line longer than kMaxLine is
// never read whole.
bool CProfile::CanStore(const char* section, const char* key, const char* value)
{
    if (!section || !key || !value || strpbrk(section, "]\n") || strpbrk(key, "=[\n") ||
        strpbrk(value, "[\n"))
        return false;
    // "[" section "]\n", and key "=" value "\n".
    return strlen(section) + 3 <= kMaxLine && strlen(key) + strlen(value) + 2 <= kMaxLine;
}

bool CProfile::WriteProfile(const char* section, const char* key, const char* value)
{
    if (!fp || !CanStore(section, key, value))
        return false;
    CString entry = CString(key) + "=" + value + "\n";
    // The whole line goes, also the part of a long line the buffer missed.
    if (FindEntry(section, key))
        return InsertContent("", entry, m_nLineLength);
    CString head = m_bSectionExist ? CString() : CString("[") + section + "]\n";
    if (!m_bSectionExist)
        fseek(fp, 0, SEEK_END);
    // A last line without its line end must not swallow the new text.
    if (!FollowsLineEnd())
        head = "\n" + head;
    return InsertContent(head, entry, 0);
}

bool CProfile::WriteProfile(const char* section, const char* key, int value)
{
    CString text;
    text.Format("%d", value);
    return WriteProfile(section, key, text);
}

void CProfile::RemoveLeftovers(const char* path)
{
    if (path && *path)
        CReplacementFile::RemoveLeftovers(ResolvedPath(path));
}

// The new contents replace the file in one rename: a writer that dies
// half-way leaves the old profile whole.
bool CProfile::InsertContent(const char* head, const char* text, long n)
{
    long at = ftell(fp);
    if (at < 0)
        return false;
    CReplacementFile replacement(ResolvedPath(m_strPath));
    FILE* out = replacement.Create(fileno(fp));
    if (!out || !CopyRange(fp, 0, at, out) || !WriteText(head, out) || !WriteText(text, out) ||
        !CopyRange(fp, at + n, -1, out) || !replacement.Commit())
        return false;
    fclose(fp);
    fp = out;
    return true;
}
