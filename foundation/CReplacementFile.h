#pragma once

#include "CStreamBuf.h"
#include "CString.h"

#include <cstdio>

// The new contents of a file, written to a temporary file beside it
// ("<name>.XXXXXX") that then takes its place in one rename, so that a
// writer that dies half-way leaves the old file whole. The rename gives the
// name a new file: other hard links keep the old contents.
//
// The temporary file is locked while it is written. A writer that was
// killed leaves its file unlocked, and RemoveLeftovers takes such files
// away; a file that another process is still writing keeps its lock and
// stays.
class CReplacementFile : public CObject
{
public:
    explicit CReplacementFile(const CString& target);
    // A replacement that was not put in place is removed.
    ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // Creates the temporary file with the permission bits and, where the
    // process may set it, the owner of the file open on `original`; the
    // stream to write the new contents to, or null.
    FILE* Create(int original);
    // Writes the contents to disk and puts them in the target's place; the
    // stream then reads and writes the target, and the caller owns it.
    bool Commit();

    // Removes what rewrites of `target` left behind: regular files of the
    // temporary files' pattern, owned by this process's user and locked by
    // no one. Links are never followed, nor removed.
    static void RemoveLeftovers(const CString& target);

private:
    void Discard();

    CString m_strTarget;
    CStreamBuf m_Name;
    FILE* m_pFile = nullptr;
    bool m_bCommitted = false;
};
