#include "CSingleUser.h"

#include "CAccountManager.h"
#include "CRightTrace.h"
#include "CUserGroup.h"

#include <cstdlib>
#include <cstring>

namespace
{
const unsigned kOwnRight = CAccountManager::kUserRight;
const unsigned kAdminRight = CAccountManager::kAdminRight;
} // namespace

CSingleUser::CSingleUser(const char* name) : m_strName(name)
{
    CPea* pea = GetPea();
    pea->SetName(name);
    pea->SetAttribute("or-");
    pea->SetContent("13");
    pea->SetKind(CPea::kSingleUser);
}

CSingleUser::~CSingleUser() = default;

void CSingleUser::Init(CUserGroup* group, CFolderOwner* doc)
{
    m_pGroup = group;
    CVirtualFolder::Init(group->GetPea(), doc, nullptr);
    AddPea(CString("name@pr-@") + m_strName);
    AddMethod("rename", kOwnRight | kAdminRight);
    AddMethod(kPassword, kOwnRight | kAdminRight);
    AddMethod("changeright", kAdminRight);
}

bool CSingleUser::IsMe(void* user) { return g_am.IsUser(user, m_strName); }

unsigned CSingleUser::GetUserRight()
{
    const unsigned right = CVirtualFolder::GetUserRight();
    return IsMe(GetCaller()) ? right : right & ~kOwnRight;
}

void CSingleUser::cmd_dir(CMessage* message)
{
    unsigned long right = 0;
    g_am.GetUserRight(GetCaller(), m_strName, &right);
    CString line;
    line.Format("right@pr-@%d", static_cast<int>(right));
    SendLine(message, line);
    CVirtualFolder::cmd_dir(message);
}

int CSingleUser::InvokeDispatch(CMessage*, const char* method, const char* args)
{
    if (strcasecmp(method, "rename") == 0)
        return Rename(args);
    if (strcasecmp(method, kPassword) == 0)
        return Password(args);
    if (strcasecmp(method, "changeright") == 0)
        return ChangeRight(args);
    return kNotFound;
}

// The folder keeps its old name; the next dir of "Users" lists the account
// under the new one.
int CSingleUser::Rename(const char* name)
{
    if (!(GetUserRight() & (kOwnRight | kAdminRight)))
        return kError;
    if (g_am.RenameUser(GetCaller(), m_strName, name) != 0)
        return kError;
    m_pGroup->NotifyServer(CUserGroup::kNoticeUserChanged, "", nullptr);
    return kFunctional;
}

// Only the account's own user changes its password; an administrator
// cannot set someone else's.
int CSingleUser::Password(const char* password)
{
    if (!(GetUserRight() & kOwnRight))
        return kError;
    if (g_am.ChangePassword(GetCaller(), password) != 0)
        return kError;
    NotifyServer(CUserGroup::kNoticeUserChanged, "", nullptr);
    return kFunctional;
}

// Taking the administrator right from the only administrator would leave
// nobody to manage the accounts: it is refused.
int CSingleUser::ChangeRight(const char* mask)
{
    if (!(GetUserRight() & kAdminRight))
        return kError;
    void* caller = GetCaller();
    const unsigned right = static_cast<unsigned>(atoi(mask));
    CRightTrace::Append(m_strName, right, static_cast<int>(g_am.GetNumberOfUser(caller, kAdminRight)));
    if (!(right & kAdminRight) && CUserGroup::IsOnlyAdministrator(caller, m_strName))
        return kError;
    if (g_am.UpdateUser(caller, m_strName, right) != 0)
        return kError;
    NotifyServer(CUserGroup::kNoticeUserChanged, "", nullptr);
    return kFunctional;
}
