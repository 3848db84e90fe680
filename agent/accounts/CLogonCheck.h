#pragma once

#include "TPtrList.h"

#include <sys/stat.h>

class CUserContext;

// Remembers which logons were last found to match the account file, and
// how the file looked then. Checking a logon reads and decrypts its
// account, which every folder command would otherwise pay for; while the
// file is the same (same inode, size and change times) a logon found
// sound stays sound.
class CLogonCheck
{
public:
    // The file's look now; false when it cannot be read.
    static bool Look(const char* path, struct stat& out);
    // Whether user was found sound against the file as it looks now.
    bool IsKnownSound(CUserContext* user, const char* path);
    // user was found sound against the file as it looked in `look`.
    void NoteSound(CUserContext* user, const struct stat& look);
    void Forget(CUserContext* user);

private:
    static bool IsSameLook(const struct stat& a, const struct stat& b);

    struct stat m_Look = {};
    TPtrList<CUserContext> m_Sound;
};
