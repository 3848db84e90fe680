// Feeds arbitrary bytes to the agent as its account file and drives the
// operations that read it: logon, enumeration, rights and handle checks.

#include "CAccountFile.h"
#include "CAccountManager.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{
CAccountManager& Manager()
{
    static CAccountManager am;
    static std::string path = "/tmp/fuzz-account-" + std::to_string(getpid()) + ".pwd";
    CAccountFile::m_AccountDataBase = path.c_str();
    return am;
}

void Explore(CAccountManager& am, void* user)
{
    void* e = nullptr;
    if (am.EnumUserStart(user, &e) == 0)
    {
        char name[64];
        unsigned long length = sizeof name, right = 0;
        while (am.EnumUserNext(e, name, &length, &right) == 0)
            length = sizeof name;
    }
    if (e)
        am.EnumUserStop(e);
    unsigned long right = 0;
    am.GetUserRight(user, "user1", &right);
    am.GetNumberOfUser(user, 0x10);
    am.IsUser(user, "admin");
    am.IsValidUserHandle(user);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    CAccountManager& am = Manager();
    FILE* f = fopen(CAccountFile::m_AccountDataBase, "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    const char* const logons[][2] = {{"admin", "secret"}, {"user1", "one"}};
    for (const auto& logon : logons)
    {
        void* user = nullptr;
        if (am.LoginUser(logon[0], logon[1], &user) != 0)
            continue;
        Explore(am, user);
        am.LogoutUser(user);
    }
    return 0;
}
