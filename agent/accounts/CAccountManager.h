#pragma once

#include "CLogonCheck.h"
#include "CObject.h"
#include "CUserContext.h"
#include "CXCrypt.h"
#include "StreamBufRecord.h"
#include "TPtrList.h"

#include <cstdio>

// One record of the account file: a tag byte and its content.
struct tagASN1
{
    unsigned char tag;
    tagSTREAMBUF value;
};
typedef tagASN1 ASN1;

// The agent's single authority on users: the encrypted account file, the
// account operations and the list of logged-on users.
//
// Every change to the file is made on a copy beside it (the growth file),
// which is flushed to disk and renamed over the account file in one step, so
// an agent stopped at any moment leaves either the old accounts or the new.
class CAccountManager : public CObject, public CXCrypt
{
public:
    enum
    {
        kVersion = 0x00010000,
        kAppend = 0xFFFFFFFFu,
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

    // The record codec.
    static unsigned long ASN1HeaderLength(tagSTREAMBUF value);
    static long ASN1EncodeLength(tagSTREAMBUF& out, ASN1 record);
    static long ASN1EncodeRecord(tagSTREAMBUF& out, ASN1* records, unsigned long count);
    // Splits in into at most count records pointing into in. A record that
    // runs past the end of in fails with 0x80070057; parsed (when given)
    // receives the number of records found.
    static long ASN1ParseRecord(tagSTREAMBUF in, ASN1* out, unsigned long count,
                                unsigned long* parsed = nullptr);

    static CUserContext* AllocCUserContext();
    static bool ReleaseCUserContext(CUserContext* user);

    // The file.
    static void InitDataBaseName();
    FILE* OpenDataBase();
    bool CloseDataBase(FILE* fp);
    long LoadCUserContext(CUserContext& user, unsigned long* index);
    static long HashUserName(const CUserContext& user, unsigned char* digest);

    static const char szAccountDataBase[];
    // The account file's path; tests and tools may point it elsewhere before
    // the first operation.
    static const char* m_AccountDataBase;
    // Called after each step of a change with the step's name; a test hook
    // for stopping the agent part-way.
    static void (*m_pfnStepHook)(const char* step);

private:
    // One change: the steps run on the growth file, which replaces the
    // account file on success and is discarded otherwise.
    long BeginUpdate(bool fresh);
    long FinishUpdate(long status);
    static void Step(const char* name);
    const char* DataBasePath() const;

    long ReadLayout(FILE* fp);
    long CreateNewStorage();
    long Write(const void* buffer, unsigned long count, FILE* fp);
    long Read(void* buffer, unsigned long count, FILE* fp);
    long DecodeASN1Length(FILE* fp, unsigned long* length, unsigned char* tag, unsigned long limit);
    long ReadASN1Record(ASN1& record, FILE* fp, unsigned long limit);
    long WriteASN1Record(ASN1 record, FILE* fp);
    long SetASN1Point(unsigned long offset, unsigned long skip, FILE* fp, unsigned long limit);
    long ReadUserRecord(FILE* fp, unsigned long index, ASN1& record, ASN1* parts);
    long ReadUserTable(FILE* fp, ASN1* table, unsigned long count);

    long WriteHashIndex(unsigned char* digest, unsigned long index);
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
    long IncreaseUserCount(bool up);
    long CUserContextToASN1Buffer(CUserContext& user, ASN1* out, unsigned long index);
    long EnlargeDataBaseCapacity(FILE* fp);
    long WriteAdminPassword(tagSTREAMBUF adminPublicKey);

    CUserContext* ActingUser(void* user, bool admin);
    bool IsSameAccount(CUserContext& user);
    void Revoke(CUserContext* user);
    static long MakeContext(CUserContext& user, const char* name, const char* password);
    static long CheckNewAccount(const char* name, const char* password);
    long SignRight(CUserContext& actor, CUserContext& user);

    unsigned long m_nIndexOffset = 0, m_nIndexSize = 0;
    unsigned long m_nUserOffset = 0, m_nUserSize = 0;
    unsigned long m_nNameOffset = 0, m_nNameSize = 0;
    unsigned long m_nRightOffset = 0, m_nRightSize = 0;
    unsigned long m_nNameListOffset = 0, m_nNameListCapacity = 0;
    unsigned long m_nRightListOffset = 0, m_nRightListCapacity = 0;
    unsigned long m_nFileSize = 0;
    unsigned long m_nVersion = 0;
    unsigned long m_nUserCount = 0;
    TPtrList<CUserContext> m_hUser;
    // Logons whose account went away: no longer valid, freed at logoff.
    TPtrList<CUserContext> m_hRevoked;
    // Logons known to match the account file as it is.
    CLogonCheck m_Checked;
    bool m_bInUpdate = false;
    CString m_strWorkPath;
};

extern CAccountManager g_am;
