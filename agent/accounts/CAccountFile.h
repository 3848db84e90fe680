#pragma once

#include "CString.h"
#include "StreamBufRecord.h"

#include <cstdio>

// One record of the account file: a tag byte and its content.
struct tagASN1
{
    unsigned char tag;
    tagSTREAMBUF value;
};
typedef tagASN1 ASN1;

// The account file's records: their encoding, the file's layout and the
// reading and writing of its sections.
//
// Every change to the file is made on a copy beside it (the growth file),
// which is flushed to disk and renamed over the account file in one step, so
// an agent stopped at any moment leaves either the old accounts or the new.
class CAccountFile
{
public:
    enum
    {
        kVersion = 0x00010000,
        kAppend = 0xFFFFFFFFu
    };

    // The record codec.
    static unsigned long ASN1HeaderLength(tagSTREAMBUF value);
    static long ASN1EncodeLength(tagSTREAMBUF& out, ASN1 record);
    static long ASN1EncodeRecord(tagSTREAMBUF& out, ASN1* records, unsigned long count);
    // Splits in into at most count records pointing into in. A record that
    // runs past the end of in fails with 0x80070057; parsed (when given)
    // receives the number of records found.
    static long ASN1ParseRecord(tagSTREAMBUF in, ASN1* out, unsigned long count,
                                unsigned long* parsed = nullptr);
    // Parses exactly count records of the given tag; anything else is damage.
    static long ParseExactly(tagSTREAMBUF in, ASN1* out, unsigned long count, unsigned char tag);
    // Encodes one record into out.
    static long EncodeOne(tagSTREAMBUF& out, unsigned char tag, tagSTREAMBUF value);

    // The file.
    static void InitDataBaseName();
    FILE* OpenDataBase();
    bool CloseDataBase(FILE* fp);

    static const char szAccountDataBase[];
    // The account file's path; tests and tools may point it elsewhere before
    // the first operation.
    static const char* m_AccountDataBase;
    // Called after each step of a change with the step's name; a test hook
    // for stopping the agent part-way.
    static void (*m_pfnStepHook)(const char* step);

protected:
    // The records' tags.
    static constexpr unsigned char kTagVersion = '0';
    static constexpr unsigned char kTagCount = '1';
    static constexpr unsigned char kTagUser = '2';
    static constexpr unsigned char kTagName = '3';
    static constexpr unsigned char kTagRight = '4';
    static constexpr unsigned char kTagKey = '5';
    static constexpr unsigned char kTagPart = '6';
    static constexpr unsigned char kTagSealed = '7';
    static constexpr unsigned char kTagList = '8';

    // An index slot holds the digest of a user's name.
    static constexpr unsigned long kSlot = 16;
    static constexpr unsigned long kUserParts = 4;
    // The rights section opens with its sub-header, which holds the sealed
    // administrator password.
    static constexpr unsigned long kRightSubHeader = 112;
    static constexpr unsigned long kAdminRecordOffset = 16;
    static constexpr unsigned long kAdminRecordRoom = 96;

    // One change: the steps run on the growth file, which replaces the
    // account file on success and is discarded otherwise.
    long BeginUpdate(bool fresh);
    long FinishUpdate(long status);
    static void Step(const char* name);
    // Tells the operator, in one line, which part of the file is damaged;
    // the file itself is left as it is.
    void TellDamage(const char* part) const;

    long Write(const void* buffer, unsigned long count, FILE* fp);
    long Read(void* buffer, unsigned long count, FILE* fp);
    long ReadASN1Record(ASN1& record, FILE* fp, unsigned long limit);
    long WriteASN1Record(ASN1 record, FILE* fp);
    long SetASN1Point(unsigned long offset, unsigned long skip, FILE* fp, unsigned long limit);
    long ReadUserRecord(FILE* fp, unsigned long index, ASN1& record, ASN1* parts);
    long ReadUserTable(FILE* fp, ASN1* table, unsigned long count);
    long WriteHashIndex(unsigned char* digest, unsigned long index);
    long IncreaseUserCount(bool up);
    long EnlargeDataBaseCapacity(FILE* fp);

    unsigned long m_nIndexOffset = 0, m_nIndexSize = 0;
    unsigned long m_nUserOffset = 0, m_nUserSize = 0;
    unsigned long m_nNameOffset = 0, m_nNameSize = 0;
    unsigned long m_nRightOffset = 0, m_nRightSize = 0;
    unsigned long m_nNameListOffset = 0, m_nNameListCapacity = 0;
    unsigned long m_nRightListOffset = 0, m_nRightListCapacity = 0;
    unsigned long m_nFileSize = 0;
    unsigned long m_nVersion = 0;
    unsigned long m_nUserCount = 0;
    bool m_bInUpdate = false;

private:
    const char* DataBasePath() const;
    long ReadLayout(FILE* fp);
    long CreateNewStorage();
    long DecodeASN1Length(FILE* fp, unsigned long* length, unsigned char* tag, unsigned long limit);

    CString m_strWorkPath;
};
