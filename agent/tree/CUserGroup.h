#pragma once

#include "CVirtualFolder.h"

// The "Users" folder: one single-user folder per account, made and dropped
// as dir finds the accounts, and the methods that create and delete users.
class CUserGroup : public CVirtualFolder
{
public:
    // Change notices of the users folders.
    enum : unsigned long
    {
        kNoticeUserDeleted = 0x2001,
        kNoticeUserChanged = 0x2002
    };

    // The method whose arguments carry the new account's password.
    static constexpr const char* kCreateUser = "CreateUser";

    CUserGroup();
    ~CUserGroup() override;

    void Init(CPea* parent, CFolderOwner* doc);
    // The entry named name, made as a single-user folder when there is none.
    CPea* AddUserFolder(const char* name);
    void cmd_dir(CMessage* message) override;
    int InvokeDispatch(CMessage* message, const char* method, const char* args) override;

    // Whether the account name holds the administrator right while at most
    // one administrator exists, as caller sees the accounts.
    static bool IsOnlyAdministrator(void* caller, const char* name);

private:
    // Makes the folders of the accounts that caller sees and drops those of
    // accounts gone; false when the accounts cannot be read.
    bool SyncUserFolders(void* caller);
    int CreateUser(const char* args);
    int DeleteUser(const char* name);
};
