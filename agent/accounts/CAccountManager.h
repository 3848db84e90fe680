#pragma once

#include "CAccountFile.h"
#include "CLogonCheck.h"
#include "CObject.h"
#include "CUserContext.h"
#include "CXCrypt.h"
#include "StreamBufRecord.h"
#include "TPtrList.h"

// The agent's single authority on users: the account operations on the
// encrypted account file and the list of logged-on users.
class CAccountManager : public CObject, public CXCrypt, public CAccountFile
{
public:
    enum
    {
        kUserRight = 0x00000001,
        kAdminRight = 0x00000002,
        kInitialAdminRight = 0xF7FFFFFF,
        kMaxNameLength = 255,
        kMaxPasswordLength = 255
    };

    CAccountManager();
    virtual ~CAccountManager();
    CAccountManager(const CAccountManager&) = delete;
    CAccountManager& operator=(const CAccountManager&) = delete;

    // Account operations. Handles are those handed out by LoginUser.
    long Init(const char* name, const char* password);
    long AddUser(void* user, const char* name, const char* password, unsigned long right);
    long DelUser(void* user, const char* name);
    long UpdateUser(void* user, const char* name, unsigned long right);
    long LoginUser(const char* name, const char* password, void** user);
    long LogoutUser(void* user);
    long ChangePassword(void* user, const char* password);
    long RenameUser(void* user, const char* oldName, const char* newName);
    long GetUserRight(void* user, unsigned long* right);
    long GetUserRight(void* user, const char* name, unsigned long* right);
    long FindUser(CUserContext& user, unsigned long* index);
    CUserContext* FindLogonUser(unsigned long index);
    // Also ends a logon whose account has since been deleted or replaced.
    bool IsValidUserHandle(void* user);
    bool IsUser(void* user, const char* name);
    unsigned long GetNumberOfUser(void* user, unsigned long mask);
    long EnumUserStart(void* user, void** enumeration);
    long EnumUserNext(void* enumeration, char* name, unsigned long* nameLength, unsigned long* right);
    long EnumUserStop(void* enumeration);
    // The administrator check: unlocks the administrator secrets from the
    // context's key blob and keeps them in the context.
    bool UserHasAdminRight(CUserContext& user);

    // Password envelopes, signed data and the RSA and generator helpers.
    static long AM_DES_encode(tagSTREAMBUF password, tagSTREAMBUF& plain, tagSTREAMBUF& envelope);
    static long AM_DES_decode(tagSTREAMBUF password, tagSTREAMBUF& envelope, tagSTREAMBUF& plain);
    static long SignData(tagSTREAMBUF data, tagSTREAMBUF& out);
    static long VerifyData(tagSTREAMBUF in, tagSTREAMBUF& out);
    static long AdminSignData(tagSTREAMBUF data, tagSTREAMBUF& out, tagSTREAMBUF adminPrivateKey);
    static long RSAPublicEncrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key);
    static long RSAPublicDecrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key);
    static long RSAPrivateEncrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key);
    static long RSAPrivateDecrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key);
    static long GenPassword(tagSTREAMBUF& out);
    static long GenRSAKeySet(tagSTREAMBUF& pub, tagSTREAMBUF& priv);
    long GetAdminPrivateKey(CUserContext& user, tagSTREAMBUF& out);
    long GetAdminPassword(tagSTREAMBUF adminPrivateKey, tagSTREAMBUF& out);

    static CUserContext* AllocCUserContext();
    static bool ReleaseCUserContext(CUserContext* user);

    long LoadCUserContext(CUserContext& user, unsigned long* index);
    static long HashUserName(const CUserContext& user, unsigned char* digest);

private:
    long DelHashIndex(CUserContext& actor, unsigned long index);
    long WriteUser(CUserContext& user, unsigned long index);
    long DelUser(CUserContext& actor, unsigned long index);
    long WriteUserName(CUserContext& actor, CUserContext& user, unsigned long index);
    long DelUserName(CUserContext& actor, unsigned long index);
    long WriteUserRight(CUserContext& actor, CUserContext& user, unsigned long index);
    long DelUserRight(CUserContext& actor, unsigned long index);
    long ChangeList(bool names, tagSTREAMBUF key, ASN1* entry, unsigned long index);
    long ReadList(FILE* fp, bool names, tagSTREAMBUF key, tagSTREAMBUF& plain, ASN1* table,
                  unsigned long count);
    long CUserContextToASN1Buffer(CUserContext& user, ASN1* out, unsigned long index);
    long WriteAdminPassword(tagSTREAMBUF adminPublicKey);

    CUserContext* ActingUser(void* user, bool admin);
    bool IsSameAccount(CUserContext& user);
    void Revoke(CUserContext* user);
    static long MakeContext(CUserContext& user, const char* name, const char* password);
    static long CheckNewAccount(const char* name, const char* password);
    long SignRight(CUserContext& actor, CUserContext& user);

    TPtrList<CUserContext> m_hUser;
    // Logons whose account went away: no longer valid, freed at logoff.
    TPtrList<CUserContext> m_hRevoked;
    // Logons known to match the account file as it is.
    CLogonCheck m_Checked;
};

extern CAccountManager g_am;
