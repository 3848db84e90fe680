#pragma once

#include "CString.h"
#include "CVirtualFolder.h"

class CUserGroup;

// The folder of one account under "Users": its name and rights, and the
// methods that rename it, change its password and change its rights.
class CSingleUser : public CVirtualFolder
{
public:
    // The method whose argument is the account's new password.
    static constexpr const char* kPassword = "password";

    explicit CSingleUser(const char* name);
    ~CSingleUser() override;

    void Init(CUserGroup* group, CFolderOwner* doc);
    // Whether user is this folder's account.
    bool IsMe(void* user);
    // The caller's rights, without the user bit on another user's folder.
    unsigned GetUserRight() override;
    // Lists the account's rights as the caller may see them, then the
    // entries.
    void cmd_dir(CMessage* message) override;
    int InvokeDispatch(CMessage* message, const char* method, const char* args) override;

private:
    int Rename(const char* name);
    int Password(const char* password);
    int ChangeRight(const char* mask);

    CString m_strName;
    CUserGroup* m_pGroup = nullptr;
};
