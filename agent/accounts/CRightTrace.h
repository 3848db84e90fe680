#pragma once

// The diagnostic line that a change of rights leaves in "/tmp/right.txt".
// That directory is open to every user, so the file is never followed
// through a link, and one that is not a plain file of the agent's own user
// (root, for the daemon) with a single name is left alone.
class CRightTrace
{
public:
    // Appends "user %s, right= %x, nadmin= %d"; false when the file was
    // refused or could not be written.
    static bool Append(const char* szUser, unsigned nRight, int nAdmins);

    static const char szTracePath[];
    // Tests may point the trace elsewhere.
    static const char* m_pszPath;
};
