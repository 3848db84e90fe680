#include "CProfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char kDefaultPath[] = "/etc/tavrine/Dorvik.rc";
const int kLineBufSize = 257;
// fgets keeps one byte for the NUL, so each piece holds at most 255 characters.
const int kPieceSize = 256;

// The name between the first "[" and the next "]" equals `section`.
bool HeaderNames(const char* line, const char* section)
{
    const char* open = strchr(line, '[');
    const char* close = strchr(open + 1, ']');
    if (!close)
        return false;
    size_t n = close - open - 1;
    return n == strlen(section) && memcmp(open + 1, section, n) == 0;
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

// An entry must read back as itself: a line break would start lines of its
// own (and could forge other entries or sections), a "[" anywhere turns the
// line into a section header, an "=" in the key ends it early, and a "]" in
// the section name ends the name early.
bool IsStorable(const char* section, const char* key, const char* value)
{
    return !strpbrk(section, "]\n") && !strpbrk(key, "=[\n") && !strpbrk(value, "[\n");
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

// The replacement keeps the original's permission bits and, where the
// process may set it, its owner.
bool CopyOwnership(int original, int replacement)
{
    struct stat st;
    if (fstat(original, &st) != 0 || fchmod(replacement, st.st_mode & 07777) != 0)
        return false;
    if (fchown(replacement, st.st_uid, st.st_gid) != 0)
    {
        // Not permitted for an unprivileged process: it keeps its own owner.
    }
    return true;
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

void SyncDirectoryOf(const CString& path)
{
    CString dir(path);
    int slash = dir.ReverseFindIndex('/');
    if (slash < 0)
        dir = ".";
    else
        dir.Left(slash > 0 ? slash : 1);
    int fd = open(dir, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
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
    m_Buf.Zero(0);
    char* line = m_Buf.GetBuf();
    for (;;)
    {
        long start = ftell(fp);
        if (!fgets(line, kPieceSize, fp))
            return false;
        if (strchr(line, '['))
        {
            if (m_bSectionExist)
            {
                fseek(fp, start, SEEK_SET);
                return false;
            }
            m_bSectionExist = HeaderNames(line, section);
        }
        else if (m_bSectionExist && KeyMatches(line, key))
        {
            fseek(fp, start, SEEK_SET);
            return true;
        }
    }
}

long CProfile::PhysicalLineLength()
{
    long start = ftell(fp);
    int c;
    do
        c = fgetc(fp);
    while (c != EOF && c != '\n');
    long length = ftell(fp) - start;
    fseek(fp, start, SEEK_SET);
    return length;
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

void CProfile::GetProfile(const char* section, const char* key, CString& value)
{
    value.Empty();
    if (!section || !key || !FindEntry(section, key))
        return;
    value = strchr(m_Buf.GetBuf(), '=') + 1;
    value.TrimRight('\n');
}

void CProfile::GetProfile(const char* section, const char* key, int* value)
{
    if (!value)
        return;
    CString text;
    GetProfile(section, key, text);
    *value = ToInt(text);
}

void CProfile::WriteProfile(const char* section, const char* key, const char* value)
{
    if (!fp || !section || !key || !value || !IsStorable(section, key, value))
        return;
    CString entry = CString(key) + "=" + value + "\n";
    if (FindEntry(section, key))
    {
        // The whole line goes, also the rest of a line longer than a piece.
        InsertContent(entry, static_cast<int>(PhysicalLineLength()));
        return;
    }
    CString text = m_bSectionExist ? entry : CString("[") + section + "]\n" + entry;
    if (!m_bSectionExist)
        fseek(fp, 0, SEEK_END);
    // A last line without its line end must not swallow the new text.
    if (!FollowsLineEnd())
        text = "\n" + text;
    InsertContent(text, 0);
}

void CProfile::WriteProfile(const char* section, const char* key, int value)
{
    CString text;
    text.Format("%d", value);
    WriteProfile(section, key, text);
}

// Replaces the `n` bytes at the current position by `text`. The new contents
// go to a temporary file beside the profile, which then replaces it in one
// rename: a writer that dies half-way leaves the old profile whole.
void CProfile::InsertContent(const char* text, int n)
{
    long at = ftell(fp);
    if (at < 0)
        return;
    CString target = ResolvedPath(m_strPath);
    CString pattern = target + ".XXXXXX";
    CStreamBuf name;
    name.AllocateBuf(pattern.GetLength() + 1);
    memcpy(name.GetBuf(), pattern.GetBuffer(), pattern.GetLength() + 1);
    int fd = mkstemp(name.GetBuf());
    if (fd < 0)
        return;
    FILE* out = fdopen(fd, "w+");
    size_t length = strlen(text);
    bool written = out && CopyOwnership(fileno(fp), fd) && CopyRange(fp, 0, at, out) &&
                   fwrite(text, 1, length, out) == length && CopyRange(fp, at + n, -1, out) &&
                   fflush(out) == 0 && fsync(fd) == 0 && rename(name.GetBuf(), target) == 0;
    if (!written)
    {
        if (out)
            fclose(out);
        else
            close(fd);
        unlink(name.GetBuf());
        return;
    }
    SyncDirectoryOf(target);
    fclose(fp);
    fp = out;
}
