#include "CReplacementFile.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// What mkstemp replaces by six letters or digits.
const char kSuffix[] = ".XXXXXX";
const int kRandomLength = 6;

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

// The directory of `path` ("." when it names none) and the name in it.
void SplitPath(const CString& path, CString& dir, CString& name)
{
    int slash = path.ReverseFindIndex('/');
    name = path.GetBuffer() + slash + 1;
    dir = path;
    if (slash < 0)
        dir = ".";
    else
        dir.Left(slash > 0 ? slash : 1);
}

void SyncDirectoryOf(const CString& path)
{
    CString dir, name;
    SplitPath(path, dir, name);
    int fd = open(dir, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

// `entry` is `name` followed by the suffix that mkstemp filled in.
bool IsTemporaryName(const char* entry, const CString& name)
{
    const size_t length = name.GetLength();
    if (strlen(entry) != length + 1 + kRandomLength || strncmp(entry, name, length) != 0 ||
        entry[length] != '.')
        return false;
    for (const char* p = entry + length + 1; *p; ++p)
    {
        if (!isalnum(static_cast<unsigned char>(*p)))
            return false;
    }
    return true;
}

bool IsOwnRegularFile(const struct stat& st)
{
    return S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

// Removes the file `entry` of the directory `dir` when it is a regular file
// of ours that no writer holds locked. The lock is taken on the file itself
// and the name is checked to still be that file before it goes.
void RemoveIfAbandoned(int dir, const char* entry)
{
    struct stat named;
    if (fstatat(dir, entry, &named, AT_SYMLINK_NOFOLLOW) != 0 || !IsOwnRegularFile(named))
        return;
    int fd = openat(dir, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat held;
    if (fstat(fd, &held) == 0 && IsOwnRegularFile(held) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        fstatat(dir, entry, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino)
        unlinkat(dir, entry, 0);
    close(fd);
}
} // namespace

CReplacementFile::CReplacementFile(const CString& target) : m_strTarget(target) {}

CReplacementFile::~CReplacementFile()
{
    if (!m_bCommitted)
        Discard();
}

void CReplacementFile::Discard()
{
    if (!m_pFile)
        return;
    fclose(m_pFile);
    m_pFile = nullptr;
    unlink(m_Name.GetBuf());
}

// Files that killed writers left are taken away first, so that they do not
// pile up however often writers die.
FILE* CReplacementFile::Create(int original)
{
    RemoveLeftovers(m_strTarget);
    CString pattern = m_strTarget + kSuffix;
    m_Name.AllocateBuf(pattern.GetLength() + 1);
    memcpy(m_Name.GetBuf(), pattern.GetBuffer(), pattern.GetLength() + 1);
    int fd = mkstemp(m_Name.GetBuf());
    if (fd < 0)
        return nullptr;
    m_pFile = fdopen(fd, "w+");
    if (!m_pFile)
    {
        close(fd);
        unlink(m_Name.GetBuf());
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || !CopyOwnership(original, fd))
    {
        Discard();
        return nullptr;
    }
    return m_pFile;
}

bool CReplacementFile::Commit()
{
    if (!m_pFile || fflush(m_pFile) != 0 || fsync(fileno(m_pFile)) != 0 ||
        rename(m_Name.GetBuf(), m_strTarget) != 0)
        return false;
    SyncDirectoryOf(m_strTarget);
    m_bCommitted = true;
    return true;
}

void CReplacementFile::RemoveLeftovers(const CString& target)
{
    CString dir, name;
    SplitPath(target, dir, name);
    DIR* d = opendir(dir);
    if (!d)
        return;
    while (const dirent* entry = readdir(d))
    {
        if (IsTemporaryName(entry->d_name, name))
            RemoveIfAbandoned(dirfd(d), entry->d_name);
    }
    closedir(d);
}
