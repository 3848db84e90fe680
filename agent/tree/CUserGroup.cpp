#include "CUserGroup.h"

#include "CAccountManager.h"
#include "CSingleUser.h"
#include "CSvrSocket.h"

#include <cstdlib>
#include <cstring>

namespace
{
const unsigned kManageRights = CAccountManager::kAdminRight;
} // namespace

CUserGroup::CUserGroup()
{
    CPea* pea = GetPea();
    pea->SetName("Users");
    pea->SetAttribute("o--");
    pea->SetContent("12");
}

CUserGroup::~CUserGroup() = default;

void CUserGroup::Init(CPea* parent, CFolderOwner* doc)
{
    CVirtualFolder::Init(parent, doc, nullptr);
    AddMethod(kCreateUser, kManageRights);
    AddMethod("DeleteUser", kManageRights);
}

CPea* CUserGroup::AddUserFolder(const char* name)
{
    CPea* pea = GetPea()->FindPea(name);
    if (pea)
        return pea;
    CSingleUser* user = new CSingleUser(name);
    GetPea()->AddPea(user->GetPea());
    user->Init(this, GetDoc());
    return user->GetPea();
}

bool CUserGroup::SyncUserFolders(void* caller)
{
    void* enumeration = nullptr;
    const long status = g_am.EnumUserStart(caller, &enumeration);
    if (status != 0)
    {
        if (enumeration)
            g_am.EnumUserStop(enumeration);
        return false;
    }
    TPtrList<CPea> listed;
    char name[256];
    for (unsigned long length = sizeof name; g_am.EnumUserNext(enumeration, name, &length, nullptr) == 0;
         length = sizeof name)
        listed.AppendTail(AddUserFolder(name));
    g_am.EnumUserStop(enumeration);
    for (int i = GetPea()->GetPeaCount(); i >= 1; --i)
    {
        CPea* pea = GetPea()->GetPeaAt(i);
        if (pea->IsKindOf(CPea::kSingleUser) && !listed.Find(pea))
            RemovePea(pea);
    }
    return true;
}

// Folders of accounts gone are destroyed at once; a connection still in
// one is moved to the root first.
void CUserGroup::cmd_dir(CMessage* message)
{
    if (!SyncUserFolders(GetCaller()))
    {
        GetCurrentSvr()->ReportFinish(message, kError);
        return;
    }
    CVirtualFolder::cmd_dir(message);
}

int CUserGroup::InvokeDispatch(CMessage*, const char* method, const char* args)
{
    if (strcasecmp(method, kCreateUser) == 0)
        return CreateUser(args);
    if (strcasecmp(method, "DeleteUser") == 0)
        return DeleteUser(args);
    return kNotFound;
}

bool CUserGroup::IsOnlyAdministrator(void* caller, const char* name)
{
    unsigned long right = 0;
    g_am.GetUserRight(caller, name, &right);
    return (right & CAccountManager::kAdminRight) && g_am.GetNumberOfUser(caller, CAccountManager::kAdminRight) <= 1;
}

int CUserGroup::CreateUser(const char* args)
{
    if (!(GetUserRight() & kManageRights))
        return kError;
    const char* first = strchr(args, '@');
    const char* second = first ? strchr(first + 1, '@') : nullptr;
    if (!first || first == args || !second)
        return kInvalidArgument;
    CString name(args);
    name.Left(static_cast<int>(first - args));
    CString password(first + 1);
    password.Left(static_cast<int>(second - first - 1));
    if (g_am.AddUser(GetCaller(), name, password, static_cast<unsigned long>(atoi(second + 1))) != 0)
        return kError;
    NotifyServer(kNoticeUserChanged, "", nullptr);
    return kFunctional;
}

int CUserGroup::DeleteUser(const char* name)
{
    void* caller = GetCaller();
    if (!(GetUserRight() & kManageRights) || IsOnlyAdministrator(caller, name))
        return kError;
    if (g_am.DelUser(caller, name) != 0)
        return kError;
    CPea* pea = GetPea()->FindPea(name);
    CVirtualFolder* folder = pea && pea->IsKindOf(CPea::kSingleUser) ? FromPea(pea) : nullptr;
    if (folder)
        folder->NotifyServer(kNoticeUserDeleted, "", nullptr);
    return kFunctional;
}
