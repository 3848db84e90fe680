#include "CFile.h"

#include "CException.h"
#include "CString.h"

#include <cerrno>
#include <cstring>

const char CFile::endl = '\n';

namespace
{
const char* StdioMode(int mode)
{
    switch (mode & 7)
    {
    case 1:
        return "w";
    case 2:
        return "w+";
    case 4:
        return "a+";
    default:
        return "r";
    }
}

int SeekOrigin(int origin)
{
    if (origin == 2)
        return SEEK_CUR;
    if (origin == 4)
        return SEEK_END;
    return SEEK_SET;
}

// Creates `prefix`, printing the outcome.
void MakeOneDirectory(const CString& prefix)
{
    if (mkdir(prefix, 0755) == 0)
        printf("create directory: %s\n", prefix.GetBuffer());
    else
        printf("failed to create directory: %s with errno: %d\n", prefix.GetBuffer(), errno);
}

bool IsDirectory(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}
}

CFile::CFile() { memset(&m_statbuf, 0, sizeof(m_statbuf)); }

CFile::~CFile() { Close(); }

bool CFile::Open(const char* path, int mode)
{
    Close();
    if (path)
        m_fp = fopen(path, StdioMode(mode));
    return m_fp != nullptr;
}

long CFile::GetPosition() const { return m_fp ? ftell(m_fp) : -1; }

long CFile::Seek(long offset, int origin) { return m_fp ? fseek(m_fp, offset, SeekOrigin(origin)) : -1; }

long CFile::GetLength() { return static_cast<long>(GetStatus().st_size); }

// Buffered writes are flushed first, so that the size counts them.
const struct stat& CFile::GetStatus()
{
    if (!m_fp || fflush(m_fp) != 0 || fstat(fileno(m_fp), &m_statbuf) != 0)
        memset(&m_statbuf, 0, sizeof(m_statbuf));
    return m_statbuf;
}

int CFile::Read(void* buf, int len)
{
    if (!m_fp || !buf || len <= 0)
        return 0;
    return static_cast<int>(fread(buf, 1, len, m_fp));
}

void CFile::Write(const void* data, int len)
{
    if (m_fp && data && len > 0)
        fwrite(data, 1, len, m_fp);
}

void CFile::Flush()
{
    if (m_fp)
        fflush(m_fp);
}

void CFile::Close()
{
    if (m_fp)
        fclose(m_fp);
    m_fp = nullptr;
}

bool CFile::IsExistent(const char* path)
{
    if (!path)
        return false;
    struct stat st;
    if (stat(path, &st) == 0)
        return true;
    return errno != ENOENT && errno != ENOTDIR && errno != EACCES && errno != ENAMETOOLONG;
}

bool CFile::Rename(const char* from, const char* to) { return from && to && rename(from, to) == 0; }

bool CFile::Remove(const char* path) { return path && remove(path) == 0; }

// Succeeds when the whole path stands as a directory at the end, whether
// this call made it or it was there before.
bool CFile::XCreateDirectory(const char* path)
{
    if (!path || !*path)
        return false;
    try
    {
        CString prefix(*path == '/' ? "/" : "");
        const char* component = path;
        while (*component)
        {
            const char* end = strchr(component, '/');
            size_t n = end ? static_cast<size_t>(end - component) : strlen(component);
            if (n > 0)
            {
                CString part(component);
                part.Left(static_cast<int>(n));
                prefix += part;
                prefix += "/";
                MakeOneDirectory(prefix);
            }
            component += end ? n + 1 : n;
        }
        fflush(stdout);
        return IsDirectory(prefix.IsEmpty() ? path : prefix.GetBuffer());
    }
    catch (const CException&)
    {
        return false;
    }
}
