#include "CLogonCheck.h"

bool CLogonCheck::Look(const char* path, struct stat& out) { return stat(path, &out) == 0; }

bool CLogonCheck::IsSameLook(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

bool CLogonCheck::IsKnownSound(CUserContext* user, const char* path)
{
    struct stat now;
    return m_Sound.Find(user) && Look(path, now) && IsSameLook(now, m_Look);
}

void CLogonCheck::NoteSound(CUserContext* user, const struct stat& look)
{
    if (!IsSameLook(look, m_Look))
    {
        m_Sound.RemoveAll();
        m_Look = look;
    }
    if (!m_Sound.Find(user))
        m_Sound.AppendTail(user);
}

void CLogonCheck::Forget(CUserContext* user)
{
    const int position = m_Sound.FindIndex(user);
    if (position)
        m_Sound.RemoveAt(position);
}
