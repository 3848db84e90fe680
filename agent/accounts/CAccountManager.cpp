#include "CAccountManager.h"

#include "CHashMD5.h"
#include "CRSACrypt.h"
#include "CRandom.h"
#include "CScopedBuf.h"
#include "LittleEndian.h"
#include "StatusWords.h"

#include <cstring>
#include <new>
#include <openssl/crypto.h>
#include <utility>
#include <sys/stat.h>

namespace
{
const unsigned char kEnvelopeId[4] = {0x96, 0x27, 0x38, 0x00};
const unsigned char kMarker[8] = {'q', 'u', 'e', 'n', 'l', 'o', 'r', 0};

const unsigned long kKeyRingParts = 4;
const unsigned long kMaxEnvelopeCount = 255;
const unsigned long kMaxSaltLength = 64;

// A table of count records whose contents are owned by the table.
class CRecordTable
{
public:
    explicit CRecordTable(unsigned long count) : m_pRecords(new (std::nothrow) ASN1[count ? count : 1]()), m_nCount(count) {}
    ~CRecordTable()
    {
        for (unsigned long i = 0; m_pRecords && i < m_nCount; ++i)
            FreeStreamBuf(m_pRecords[i].value);
        delete[] m_pRecords;
    }
    CRecordTable(const CRecordTable&) = delete;
    CRecordTable& operator=(const CRecordTable&) = delete;
    ASN1* Get() const { return m_pRecords; }

private:
    ASN1* m_pRecords;
    unsigned long m_nCount;
};

// A table of count records pointing into a buffer owned elsewhere.
class CViewTable
{
public:
    explicit CViewTable(unsigned long count) : m_pRecords(new (std::nothrow) ASN1[count ? count : 1]()) {}
    ~CViewTable() { delete[] m_pRecords; }
    CViewTable(const CViewTable&) = delete;
    CViewTable& operator=(const CViewTable&) = delete;
    ASN1* Get() const { return m_pRecords; }
    ASN1* Detach()
    {
        ASN1* records = m_pRecords;
        m_pRecords = nullptr;
        return records;
    }

private:
    ASN1* m_pRecords;
};

tagSTREAMBUF TextBuf(const char* text)
{
    return tagSTREAMBUF{uint32_t(text ? strlen(text) : 0),
                        reinterpret_cast<unsigned char*>(const_cast<char*>(text ? text : ""))};
}

// The state of one enumeration of the users.
struct tagUSERENUM
{
    unsigned long cursor;
    unsigned long count;
    tagSTREAMBUF names;
    ASN1* nameTable;
    tagSTREAMBUF rights;
    ASN1* rightTable;
    unsigned long ownRight;
    unsigned long ownIndex;
};
} // namespace

// ---- Envelopes, signatures, keys --------------------------------------

long CAccountManager::AM_DES_encode(tagSTREAMBUF password, tagSTREAMBUF& plain, tagSTREAMBUF& envelope)
{
    CRandom random;
    unsigned char draw[4], salt[16], count[4];
    if (random.RandomBytes(draw, 4) != 0)
        return E_FAIL;
    uint32_t saltLength = (GetLE32(draw) & 15) | 8;
    if (random.RandomBytes(salt, saltLength) != 0 || random.RandomBytes(draw, 4) != 0)
        return E_FAIL;
    uint32_t rounds = (GetLE32(draw) & 15) | 1;
    PutLE32(count, rounds);
    unsigned char key[8];
    long status = CXCrypt::DeriveKey(password, tagSTREAMBUF{saltLength, salt}, rounds, key);
    CScopedBuf cipher, params, body;
    if (status == S_OK)
        status = CXCrypt::DES_encode(key, plain, cipher, true);
    ASN1 paramList[2] = {{kTagSealed, {saltLength, salt}}, {kTagSealed, {4, count}}};
    if (status == S_OK)
        status = ASN1EncodeRecord(params, paramList, 2);
    ASN1 bodyList[3] = {{kTagSealed, {4, const_cast<unsigned char*>(kEnvelopeId)}},
                        {kTagSealed, params.Get()},
                        {kTagSealed, cipher.Get()}};
    if (status == S_OK)
        status = ASN1EncodeRecord(body, bodyList, 3);
    if (status == S_OK)
        status = EncodeOne(envelope, kTagList, body);
    return status;
}

long CAccountManager::AM_DES_decode(tagSTREAMBUF password, tagSTREAMBUF& envelope, tagSTREAMBUF& plain)
{
    if (!envelope.data || !envelope.length)
        return E_INVALIDARG;
    ASN1 outer{}, parts[3]{}, params[2]{};
    if (ParseExactly(envelope, &outer, 1, kTagList) != S_OK ||
        ParseExactly(outer.value, parts, 3, kTagSealed) != S_OK ||
        parts[0].value.length != 4 || memcmp(parts[0].value.data, kEnvelopeId, 4) != 0)
        return E_INVALIDARG;
    if (ParseExactly(parts[1].value, params, 2, kTagSealed) != S_OK || params[1].value.length != 4 ||
        params[0].value.length > kMaxSaltLength)
        return E_INVALIDARG;
    // The writer uses 1 to 15 rounds; a damaged count must not stall the agent.
    unsigned long rounds = GetLE32(params[1].value.data);
    if (rounds < 1 || rounds > kMaxEnvelopeCount)
        return E_INVALIDARG;
    unsigned char key[8];
    long status = CXCrypt::DeriveKey(password, params[0].value, rounds, key);
    return status == S_OK ? CXCrypt::DES_encode(key, parts[2].value, plain, false) : status;
}

long CAccountManager::SignData(tagSTREAMBUF data, tagSTREAMBUF& out)
{
    CScopedBuf signedData;
    signedData.Get().length = data.length + sizeof kMarker;
    if (AllocStreamBuf(signedData) != 0)
        return E_OUTOFMEMORY;
    memcpy(signedData.Data(), kMarker, sizeof kMarker);
    if (data.length)
        memcpy(signedData.Data() + sizeof kMarker, data.data, data.length);
    FreeStreamBuf(out);
    out = signedData.Detach();
    return S_OK;
}

long CAccountManager::VerifyData(tagSTREAMBUF in, tagSTREAMBUF& out)
{
    if (!in.data || in.length < sizeof kMarker || memcmp(in.data, kMarker, sizeof kMarker) != 0)
        return E_FAIL;
    out = tagSTREAMBUF{uint32_t(in.length - sizeof kMarker), in.data + sizeof kMarker};
    return S_OK;
}

long CAccountManager::AdminSignData(tagSTREAMBUF data, tagSTREAMBUF& out, tagSTREAMBUF adminPrivateKey)
{
    CScopedBuf signedData;
    long status = SignData(data, signedData);
    return status == S_OK ? RSAPrivateEncrypt(signedData.Get(), out, adminPrivateKey) : status;
}

long CAccountManager::RSAPublicEncrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key)
{
    return CRSACrypt().PublicEncrypt(in, out, key);
}

long CAccountManager::RSAPublicDecrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key)
{
    return CRSACrypt().PublicDecrypt(in, out, key);
}

long CAccountManager::RSAPrivateEncrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key)
{
    return CRSACrypt().PrivateEncrypt(in, out, key);
}

long CAccountManager::RSAPrivateDecrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key)
{
    return CRSACrypt().PrivateDecrypt(in, out, key);
}

long CAccountManager::GenPassword(tagSTREAMBUF& out)
{
    if (!out.length || !out.data)
    {
        FreeStreamBuf(out);
        out.length = 16;
        if (AllocStreamBuf(out) != 0)
            return E_OUTOFMEMORY;
    }
    CRandom random;
    if (random.RandomBytes(out.data, out.length) != 0)
        return E_FAIL;
    unsigned long room = out.length;
    CRandom::ByteToR64(out.data, room, out.data, out.length);
    return S_OK;
}

long CAccountManager::GenRSAKeySet(tagSTREAMBUF& pub, tagSTREAMBUF& priv)
{
    return CRSACrypt().GenRSAKeySet(pub, priv);
}

long CAccountManager::GetAdminPrivateKey(CUserContext& user, tagSTREAMBUF& out)
{
    if (!user.m_AdminKeyBlob.data || !user.m_AdminKeyBlob.length)
        return E_ACCESSDENIED;
    CScopedBuf plain;
    tagSTREAMBUF key{};
    if (RSAPublicDecrypt(user.m_AdminKeyBlob, plain, user.m_AdminPublicKey) != S_OK ||
        VerifyData(plain.Get(), key) != S_OK || key.length != CRSACrypt::kPrivateKeyLength)
        return E_ACCESSDENIED;
    return CopyStreamBuf(out, key.data, key.length);
}

long CAccountManager::GetAdminPassword(tagSTREAMBUF adminPrivateKey, tagSTREAMBUF& out)
{
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    unsigned char subHeader[kRightSubHeader];
    bool read = fseek(fp, long(m_nRightOffset), SEEK_SET) == 0 &&
                Read(subHeader, sizeof subHeader, fp) == long(sizeof subHeader);
    CloseDataBase(fp);
    ASN1 sealed{}, inner{};
    if (!read || ParseExactly(tagSTREAMBUF{kAdminRecordRoom, subHeader + kAdminRecordOffset}, &sealed, 1,
                              kTagSealed) != S_OK)
        return E_FAIL;
    CScopedBuf plain;
    long status = RSAPrivateDecrypt(sealed.value, plain, adminPrivateKey);
    if (status == S_OK && plain.Length())
        status = ParseExactly(plain.Get(), &inner, 1, kTagSealed);
    else if (status == S_OK)
        status = E_FAIL;
    return status == S_OK ? CopyStreamBuf(out, inner.value.data, inner.value.length) : status;
}

// ---- Contexts ---------------------------------------------------------

CUserContext* CAccountManager::AllocCUserContext()
{
    return new (std::nothrow) CUserContext;
}

bool CAccountManager::ReleaseCUserContext(CUserContext* user)
{
    if (user)
        user->FreeBuffers();
    delete user;
    return true;
}

long CAccountManager::HashUserName(const CUserContext& user, unsigned char* digest)
{
    return CHashMD5::Digest(user.m_Name.data, user.m_Name.length, digest);
}

CAccountManager::CAccountManager()
{
    m_AccountDataBase = nullptr;
}

CAccountManager::~CAccountManager()
{
    TPtrList<CUserContext>* lists[] = {&m_hUser, &m_hRevoked};
    for (TPtrList<CUserContext>* list : lists)
    {
        for (int i = 1; i <= list->GetCount(); ++i)
            ReleaseCUserContext(list->GetAt(i));
        list->RemoveAll();
    }
    m_AccountDataBase = nullptr;
}

// ---- Changes to the sections ------------------------------------------

long CAccountManager::DelHashIndex(CUserContext& actor, unsigned long index)
{
    if (!UserHasAdminRight(actor))
        return E_INVALIDARG;
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    long status = index < m_nUserCount ? S_OK : E_INVALIDARG;
    unsigned long moved = status == S_OK ? (m_nUserCount - index - 1) * kSlot : 0;
    CScopedBuf slots;
    slots.Get().length = uint32_t(moved);
    if (status == S_OK && AllocStreamBuf(slots) != 0)
        status = E_OUTOFMEMORY;
    if (status == S_OK &&
        (fseek(fp, long(m_nIndexOffset + kSlot * (index + 1)), SEEK_SET) != 0 ||
         Read(slots.Data(), moved, fp) != long(moved) ||
         fseek(fp, long(m_nIndexOffset + kSlot * index), SEEK_SET) != 0 ||
         Write(slots.Data(), moved, fp) != long(moved)))
        status = E_FAIL;
    CloseDataBase(fp);
    return status;
}

long CAccountManager::WriteUser(CUserContext& user, unsigned long index)
{
    ASN1 record{};
    long status = CUserContextToASN1Buffer(user, &record, index);
    CScopedBuf owned;
    owned.Get() = record.value;
    if (status != S_OK)
        return status;
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    if (index == kAppend)
        index = m_nUserCount;
    status = index > m_nUserCount ? E_INVALIDARG : S_OK;
    unsigned long count = m_nUserCount + (index == m_nUserCount ? 1 : 0);
    CRecordTable table(count);
    if (!table.Get())
        status = E_OUTOFMEMORY;
    if (status == S_OK)
        status = ReadUserTable(fp, table.Get(), m_nUserCount);
    unsigned long total = 0;
    if (status == S_OK)
    {
        FreeStreamBuf(table.Get()[index].value);
        table.Get()[index] = {kTagUser, owned.Detach()};
        for (unsigned long i = 0; i < count; ++i)
            total += ASN1HeaderLength(table.Get()[i].value) + table.Get()[i].value.length;
    }
    while (status == S_OK && total > m_nUserSize)
        status = EnlargeDataBaseCapacity(fp);
    if (status == S_OK && fseek(fp, long(m_nUserOffset), SEEK_SET) != 0)
        status = E_FAIL;
    for (unsigned long i = 0; status == S_OK && i < count; ++i)
        status = WriteASN1Record(table.Get()[i], fp);
    CloseDataBase(fp);
    return status;
}

long CAccountManager::DelUser(CUserContext& actor, unsigned long index)
{
    if (!UserHasAdminRight(actor))
        return E_INVALIDARG;
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    unsigned long end = m_nUserOffset + m_nUserSize;
    long status = index < m_nUserCount ? SetASN1Point(m_nUserOffset, index, fp, end) : E_INVALIDARG;
    long at = ftell(fp);
    unsigned long count = status == S_OK ? m_nUserCount - index - 1 : 0;
    CRecordTable table(count);
    if (status == S_OK && (!table.Get() || SetASN1Point(static_cast<unsigned long>(at), 1, fp, end) != S_OK))
        status = E_FAIL;
    for (unsigned long i = 0; status == S_OK && i < count; ++i)
        status = ReadASN1Record(table.Get()[i], fp, end);
    if (status == S_OK && fseek(fp, at, SEEK_SET) != 0)
        status = E_FAIL;
    for (unsigned long i = 0; status == S_OK && i < count; ++i)
        status = WriteASN1Record(table.Get()[i], fp);
    CloseDataBase(fp);
    return status;
}

long CAccountManager::ReadList(FILE* fp, bool names, tagSTREAMBUF key, tagSTREAMBUF& plain, ASN1* table,
                               unsigned long count)
{
    unsigned long offset = names ? m_nNameListOffset : m_nRightListOffset;
    unsigned long end = names ? m_nNameListOffset + m_nNameListCapacity : m_nFileSize;
    ASN1 record{};
    long status = SetASN1Point(offset, 0, fp, end);
    if (status == S_OK)
        status = ReadASN1Record(record, fp, end);
    CScopedBuf owned;
    owned.Get() = record.value;
    if (status == S_OK && record.tag != kTagList)
        status = E_FAIL;
    const char* part = names ? "name list" : "rights list";
    if (status != S_OK)
        TellDamage(part);
    CScopedBuf opened;
    // A key that does not open the list is the caller's, not damage.
    if (status == S_OK)
        status = AM_DES_decode(key, owned.Get(), opened);
    // The plaintext ends in the zero byte that the decoder adds. Only the
    // database key opens the name list, so what it opens must parse; the
    // rights list may have been opened with a wrong key by chance.
    long parsed = status;
    if (status == S_OK)
        parsed = ParseExactly(tagSTREAMBUF{opened.Length() - 1, opened.Data()}, table, count,
                              names ? kTagName : kTagRight);
    for (unsigned long i = 0; parsed == S_OK && !names && i < count; ++i)
        if (table[i].value.length != 4)
            parsed = E_FAIL;
    if (status == S_OK && parsed != S_OK && names)
        TellDamage(part);
    status = parsed;
    if (status == S_OK)
    {
        FreeStreamBuf(plain);
        plain = opened.Detach();
    }
    return status;
}

long CAccountManager::ChangeList(bool names, tagSTREAMBUF key, ASN1* entry, unsigned long index)
{
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    unsigned long count = m_nUserCount;
    if (index == kAppend)
        index = count;
    long status = (entry ? index > count : index >= count) ? E_INVALIDARG : S_OK;
    CViewTable table(count + 1);
    CScopedBuf plain;
    if (!table.Get())
        status = E_OUTOFMEMORY;
    if (status == S_OK && count)
        status = ReadList(fp, names, key, plain, table.Get(), count);
    ASN1* t = table.Get();
    unsigned long after = count;
    if (status == S_OK && !entry)
    {
        memmove(t + index, t + index + 1, (count - index - 1) * sizeof *t);
        --after;
    }
    else if (status == S_OK)
    {
        t[index] = *entry;
        after += index == count ? 1 : 0;
    }
    CScopedBuf body, envelope, record;
    if (status == S_OK)
        status = ASN1EncodeRecord(body, t, after);
    if (status == S_OK)
        status = AM_DES_encode(key, body, envelope);
    if (status == S_OK)
        status = EncodeOne(record, kTagList, envelope);
    // The rights list runs to the end of the file; both lists are held to the
    // name list's room, which keeps the growth of the two in step.
    while (status == S_OK && record.Length() > m_nNameListCapacity)
        status = EnlargeDataBaseCapacity(fp);
    if (status == S_OK && (fseek(fp, long(names ? m_nNameListOffset : m_nRightListOffset), SEEK_SET) != 0 ||
                           Write(record.Data(), record.Length(), fp) != long(record.Length())))
        status = E_FAIL;
    CloseDataBase(fp);
    return status;
}

long CAccountManager::WriteUserName(CUserContext& actor, CUserContext& user, unsigned long index)
{
    ASN1 entry{kTagName, user.m_Name};
    return ChangeList(true, actor.m_DBKey, &entry, index);
}

long CAccountManager::DelUserName(CUserContext& actor, unsigned long index)
{
    if (!UserHasAdminRight(actor))
        return E_INVALIDARG;
    return ChangeList(true, actor.m_DBKey, nullptr, index);
}

long CAccountManager::WriteUserRight(CUserContext& actor, CUserContext& user, unsigned long index)
{
    if (!UserHasAdminRight(actor))
        return E_ACCESSDENIED;
    unsigned char mask[4];
    PutLE32(mask, user.m_nRight);
    ASN1 entry{kTagRight, {4, mask}};
    return ChangeList(false, actor.m_AdminPassword, &entry, index);
}

long CAccountManager::DelUserRight(CUserContext& actor, unsigned long index)
{
    if (!UserHasAdminRight(actor))
        return E_INVALIDARG;
    return ChangeList(false, actor.m_AdminPassword, nullptr, index);
}

long CAccountManager::WriteAdminPassword(tagSTREAMBUF adminPublicKey)
{
    CScopedBuf password, inner, sealed, record;
    long status = GenPassword(password);
    if (status == S_OK)
        status = EncodeOne(inner, kTagSealed, password);
    if (status == S_OK)
        status = RSAPublicEncrypt(inner, sealed, adminPublicKey);
    if (status == S_OK)
        status = EncodeOne(record, kTagSealed, sealed);
    if (status == S_OK && record.Length() > kAdminRecordRoom)
        status = E_FAIL;
    FILE* fp = status == S_OK ? OpenDataBase() : nullptr;
    if (status == S_OK && !fp)
        status = E_FAIL;
    if (fp)
    {
        if (fseek(fp, long(m_nRightOffset + kAdminRecordOffset), SEEK_SET) != 0 ||
            Write(record.Data(), record.Length(), fp) != long(record.Length()))
            status = E_FAIL;
        CloseDataBase(fp);
    }
    return status;
}

// ---- Loading and encoding users ---------------------------------------

long CAccountManager::LoadCUserContext(CUserContext& user, unsigned long* index)
{
    long status = FindUser(user, index);
    if (status != S_OK)
        return status;
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    ASN1 record{}, parts[kUserParts]{}, keys[kKeyRingParts]{};
    status = ReadUserRecord(fp, *index, record, parts);
    CloseDataBase(fp);
    CScopedBuf owned, ring, signedRight;
    owned.Get() = record.value;
    if (status == S_OK)
        status = AM_DES_decode(user.m_Password, parts[0].value, ring);
    if (status == S_OK)
        status = ParseExactly(tagSTREAMBUF{ring.Length() - 1, ring.Data()}, keys, kKeyRingParts, kTagKey);
    tagSTREAMBUF* fields[kKeyRingParts] = {&user.m_DBKey, &user.m_PublicKey, &user.m_PrivateKey,
                                           &user.m_AdminPublicKey};
    for (unsigned long i = 0; status == S_OK && i < kKeyRingParts; ++i)
        status = CopyStreamBuf(*fields[i], keys[i].value.data, keys[i].value.length);
    OPENSSL_cleanse(ring.Data(), ring.Length());
    if (status != S_OK)
        return status;
    tagSTREAMBUF mask{};
    status = RSAPublicDecrypt(parts[1].value, signedRight, user.m_AdminPublicKey);
    if (status == S_OK)
        status = VerifyData(signedRight.Get(), mask);
    if (status == S_OK && mask.length != 4)
        status = E_FAIL;
    user.m_nRight = status == S_OK ? GetLE32(mask.data) : 0;
    if (status == S_OK)
        status = CopyStreamBuf(user.m_RightSign, parts[1].value.data, parts[1].value.length);
    if (status == S_OK && parts[3].value.length)
        status = CopyStreamBuf(user.m_AdminKeyBlob, parts[3].value.data, parts[3].value.length);
    return status;
}

long CAccountManager::CUserContextToASN1Buffer(CUserContext& user, ASN1* out, unsigned long index)
{
    CScopedBuf stored, ring, envelope;
    ASN1 parts[kUserParts] = {{kTagPart, {}}, {kTagPart, user.m_RightSign}, {kTagPart, {}},
                              {kTagPart, user.m_AdminKeyBlob}};
    long status = S_OK;
    if (user.m_PrivateKey.length)
    {
        ASN1 keys[kKeyRingParts] = {{kTagKey, user.m_DBKey}, {kTagKey, user.m_PublicKey},
                                    {kTagKey, user.m_PrivateKey}, {kTagKey, user.m_AdminPublicKey}};
        status = ASN1EncodeRecord(ring, keys, kKeyRingParts);
        if (status == S_OK)
            status = AM_DES_encode(user.m_Password, ring, envelope);
        parts[0].value = envelope.Get();
        parts[2].value = user.m_Reserved;
        OPENSSL_cleanse(ring.Data(), ring.Length());
    }
    else
    {
        ASN1 record{}, old[kUserParts]{};
        FILE* fp = OpenDataBase();
        status = fp ? ReadUserRecord(fp, index, record, old) : E_FAIL;
        if (fp)
            CloseDataBase(fp);
        stored.Get() = record.value;
        parts[0].value = old[0].value;
        parts[2].value = old[2].value;
    }
    CScopedBuf body;
    if (status == S_OK)
        status = ASN1EncodeRecord(body, parts, kUserParts);
    if (status == S_OK)
    {
        out->tag = kTagUser;
        out->value = body.Detach();
    }
    return status;
}

// ---- Account operations -----------------------------------------------

long CAccountManager::MakeContext(CUserContext& user, const char* name, const char* password)
{
    tagSTREAMBUF n = TextBuf(name), p = TextBuf(password);
    long status = CopyStreamBuf(user.m_Name, n.data, n.length);
    return status == S_OK ? CopyStreamBuf(user.m_Password, p.data, p.length) : status;
}

long CAccountManager::CheckNewAccount(const char* name, const char* password)
{
    // An "@" ends the name in a logon credential, so such an account could
    // never log on.
    size_t length = name ? strlen(name) : 0;
    if (length == 0 || length > kMaxNameLength || strchr(name, '@'))
        return E_INVALIDARG;
    return password && strlen(password) > kMaxPasswordLength ? E_INVALIDARG : S_OK;
}

long CAccountManager::SignRight(CUserContext& actor, CUserContext& user)
{
    unsigned char mask[4];
    PutLE32(mask, user.m_nRight);
    long status = AdminSignData(tagSTREAMBUF{4, mask}, user.m_RightSign, actor.m_AdminPrivateKey);
    if (status == S_OK && (user.m_nRight & kAdminRight))
        return CopyStreamBuf(user.m_AdminKeyBlob, actor.m_AdminKeyBlob.data, actor.m_AdminKeyBlob.length);
    FreeStreamBuf(user.m_AdminKeyBlob);
    return status;
}

bool CAccountManager::UserHasAdminRight(CUserContext& user)
{
    unsigned long index = 0;
    if (!user.m_DBKey.length && LoadCUserContext(user, &index) != S_OK)
        return false;
    CScopedBuf key, password;
    if (GetAdminPrivateKey(user, key) != S_OK || GetAdminPassword(key, password) != S_OK)
        return false;
    struct
    {
        tagSTREAMBUF& held;
        CScopedBuf& found;
    } secrets[] = {{user.m_AdminPrivateKey, key}, {user.m_AdminPassword, password}};
    for (auto& s : secrets)
    {
        if (s.held.length && !SameStreamBuf(s.held, s.found.Get()))
            return false;
    }
    for (auto& s : secrets)
    {
        if (!s.held.length)
        {
            FreeStreamBuf(s.held);
            s.held = s.found.Detach();
        }
    }
    return true;
}

long CAccountManager::Init(const char* name, const char* password)
{
    if (!name || !password)
        return E_FAIL;
    long status = CheckNewAccount(name, password);
    if (status != S_OK)
        return status;
    CUserContext user;
    CScopedBuf adminKey;
    unsigned char digest[16];
    user.m_nRight = kInitialAdminRight;
    status = MakeContext(user, name, password);
    if (status == S_OK)
        status = BeginUpdate(true);
    if (status == S_OK)
        status = GenPassword(user.m_DBKey);
    if (status == S_OK)
        status = GenRSAKeySet(user.m_AdminPublicKey, adminKey);
    CScopedBuf signedKey;
    if (status == S_OK)
        status = SignData(adminKey.Get(), signedKey);
    if (status == S_OK)
        status = RSAPrivateEncrypt(signedKey.Get(), user.m_AdminKeyBlob, adminKey);
    if (status == S_OK)
    {
        user.m_AdminPrivateKey = adminKey.Get();
        status = SignRight(user, user);
        user.m_AdminPrivateKey = tagSTREAMBUF{};
        OPENSSL_cleanse(adminKey.Data(), adminKey.Length());
    }
    if (status == S_OK)
        status = WriteAdminPassword(user.m_AdminPublicKey);
    if (status == S_OK)
        status = GenRSAKeySet(user.m_PublicKey, user.m_PrivateKey);
    if (status == S_OK)
        status = HashUserName(user, digest);
    if (status == S_OK)
        status = WriteHashIndex(digest, 0);
    if (status == S_OK)
        status = WriteUser(user, 0);
    if (status == S_OK)
        status = WriteUserName(user, user, 0);
    if (status == S_OK)
        status = WriteUserRight(user, user, 0);
    if (status == S_OK)
        status = IncreaseUserCount(true);
    if (m_bInUpdate)
        status = FinishUpdate(status);
    user.FreeBuffers();
    return status;
}

CUserContext* CAccountManager::ActingUser(void* user, bool admin)
{
    if (!IsValidUserHandle(user))
        return nullptr;
    CUserContext* actor = static_cast<CUserContext*>(user);
    return !admin || UserHasAdminRight(*actor) ? actor : nullptr;
}

long CAccountManager::AddUser(void* user, const char* name, const char* password, unsigned long right)
{
    CUserContext* actor = ActingUser(user, true);
    if (!actor || CheckNewAccount(name, password) != S_OK)
        return E_INVALIDARG;
    CUserContext added;
    added.m_nRight = uint32_t(right | kUserRight);
    unsigned long index = 0;
    unsigned char digest[16];
    long status = MakeContext(added, name, password);
    // A name whose digest is already in the index could not be told apart.
    if (status == S_OK && FindUser(added, &index) == S_OK)
        status = E_INVALIDARG;
    if (status == S_OK)
        status = CopyStreamBuf(added.m_DBKey, actor->m_DBKey.data, actor->m_DBKey.length);
    if (status == S_OK)
        status = CopyStreamBuf(added.m_AdminPublicKey, actor->m_AdminPublicKey.data, actor->m_AdminPublicKey.length);
    if (status == S_OK)
        status = GenRSAKeySet(added.m_PublicKey, added.m_PrivateKey);
    if (status == S_OK)
        status = HashUserName(added, digest);
    if (status == S_OK)
        status = SignRight(*actor, added);
    if (status == S_OK)
        status = BeginUpdate(false);
    if (status == S_OK)
    {
        status = WriteHashIndex(digest, kAppend);
        Step("index");
        if (status == S_OK)
            status = WriteUser(added, kAppend);
        Step("user");
        if (status == S_OK)
            status = WriteUserName(*actor, added, kAppend);
        Step("name");
        if (status == S_OK)
            status = WriteUserRight(*actor, added, kAppend);
        Step("right");
        if (status == S_OK)
            status = IncreaseUserCount(true);
        Step("count");
        status = FinishUpdate(status);
    }
    added.FreeBuffers();
    return status;
}

long CAccountManager::DelUser(void* user, const char* name)
{
    CUserContext* actor = ActingUser(user, true);
    if (!actor)
        return E_INVALIDARG;
    CUserContext target;
    unsigned long index = 0;
    long status = MakeContext(target, name, nullptr);
    if (status == S_OK)
        status = FindUser(target, &index);
    target.FreeBuffers();
    if (status != S_OK)
        return status;
    CUserContext* logged = FindLogonUser(index);
    status = BeginUpdate(false);
    if (status != S_OK)
        return status;
    status = DelHashIndex(*actor, index);
    Step("index");
    if (status == S_OK)
        status = DelUser(*actor, index);
    Step("user");
    if (status == S_OK)
        status = DelUserName(*actor, index);
    Step("name");
    if (status == S_OK)
        status = DelUserRight(*actor, index);
    Step("right");
    if (status == S_OK)
        status = IncreaseUserCount(false);
    Step("count");
    status = FinishUpdate(status);
    if (status == S_OK && logged)
        Revoke(logged);
    return status;
}

long CAccountManager::UpdateUser(void* user, const char* name, unsigned long right)
{
    CUserContext* actor = ActingUser(user, true);
    if (!actor)
        return E_INVALIDARG;
    CUserContext target;
    target.m_nRight = uint32_t(right);
    unsigned long index = 0;
    long status = MakeContext(target, name, nullptr);
    if (status == S_OK)
        status = SignRight(*actor, target);
    if (status == S_OK)
        status = FindUser(target, &index);
    CUserContext* logged = status == S_OK ? FindLogonUser(index) : nullptr;
    if (status == S_OK)
        status = BeginUpdate(false);
    if (status == S_OK)
    {
        status = WriteUser(target, index);
        Step("user");
        if (status == S_OK)
            status = WriteUserRight(*actor, target, index);
        Step("right");
        status = FinishUpdate(status);
    }
    if (status == S_OK && logged)
    {
        logged->m_nRight = target.m_nRight;
        FreeStreamBuf(logged->m_RightSign);
        FreeStreamBuf(logged->m_AdminKeyBlob);
        logged->m_RightSign = target.m_RightSign;
        logged->m_AdminKeyBlob = target.m_AdminKeyBlob;
        target.m_RightSign = target.m_AdminKeyBlob = tagSTREAMBUF{};
        if (!logged->m_AdminKeyBlob.length)
            logged->FreeAdminSecrets();
    }
    target.FreeBuffers();
    return status;
}

long CAccountManager::LoginUser(const char* name, const char* password, void** user)
{
    CUserContext* fresh = AllocCUserContext();
    if (!fresh)
        return E_OUTOFMEMORY;
    *user = nullptr;
    unsigned long index = 0;
    long status = name && *name ? MakeContext(*fresh, name, password) : E_FAIL;
    if (status == S_OK)
        status = FindUser(*fresh, &index);
    CUserContext* logged = status == S_OK ? FindLogonUser(index) : nullptr;
    if (status == S_OK)
        status = LoadCUserContext(*fresh, &index);
    // A logon of an account since replaced under the same name is not shared.
    if (status == S_OK && logged && !SameStreamBuf(logged->m_PublicKey, fresh->m_PublicKey))
    {
        Revoke(logged);
        logged = nullptr;
    }
    if (status != S_OK)
    {
        ReleaseCUserContext(fresh);
        return status;
    }
    if (logged)
    {
        ReleaseCUserContext(fresh);
        fresh = logged;
    }
    else
        m_hUser.AppendTail(fresh);
    fresh->AddRef();
    *user = fresh;
    return S_OK;
}

long CAccountManager::LogoutUser(void* user)
{
    CUserContext* context = static_cast<CUserContext*>(user);
    TPtrList<CUserContext>* list = &m_hUser;
    int position = user ? list->FindIndex(context) : 0;
    if (!position && user)
    {
        list = &m_hRevoked;
        position = list->FindIndex(context);
    }
    if (!position)
        return E_INVALIDARG;
    if (context->Release() > 0)
        return S_OK;
    m_Checked.Forget(context);
    list->RemoveAt(position);
    ReleaseCUserContext(context);
    return S_OK;
}

long CAccountManager::ChangePassword(void* user, const char* password)
{
    CUserContext* actor = ActingUser(user, false);
    if (!actor || CheckNewAccount("x", password) != S_OK)
        return E_INVALIDARG;
    unsigned long index = 0;
    long status = FindUser(*actor, &index);
    if (status != S_OK)
        return status;
    tagSTREAMBUF old = actor->m_Password;
    actor->m_Password = tagSTREAMBUF{};
    tagSTREAMBUF typed = TextBuf(password);
    status = CopyStreamBuf(actor->m_Password, typed.data, typed.length);
    if (status == S_OK)
        status = BeginUpdate(false);
    if (status == S_OK)
    {
        status = WriteUser(*actor, index);
        Step("user");
        status = FinishUpdate(status);
    }
    if (status != S_OK)
        std::swap(actor->m_Password, old);
    // `old` now holds whichever password is no longer in use.
    if (old.data)
        OPENSSL_cleanse(old.data, old.length);
    FreeStreamBuf(old);
    return status;
}

long CAccountManager::RenameUser(void* user, const char* oldName, const char* newName)
{
    CUserContext* actor = ActingUser(user, false);
    if (!actor || CheckNewAccount(newName, nullptr) != S_OK)
        return E_INVALIDARG;
    CUserContext from, to;
    unsigned long own = 0, index = 0, taken = 0;
    unsigned char digest[16];
    long status = MakeContext(from, oldName, nullptr);
    if (status == S_OK)
        status = MakeContext(to, newName, nullptr);
    if (status == S_OK)
        status = FindUser(*actor, &own);
    if (status == S_OK)
        status = FindUser(from, &index);
    if (status == S_OK && own != index && !UserHasAdminRight(*actor))
        status = E_INVALIDARG;
    if (status == S_OK && FindUser(to, &taken) == S_OK)
        status = E_INVALIDARG;
    if (status == S_OK)
        status = HashUserName(to, digest);
    CUserContext* logged = status == S_OK ? FindLogonUser(index) : nullptr;
    if (status == S_OK)
        status = BeginUpdate(false);
    if (status == S_OK)
    {
        status = WriteHashIndex(digest, index);
        Step("index");
        if (status == S_OK)
            status = WriteUserName(*actor, to, index);
        Step("name");
        status = FinishUpdate(status);
    }
    // Someone renamed by another user logs on again under the new name.
    if (status == S_OK && logged == actor)
        std::swap(logged->m_Name, to.m_Name);
    else if (status == S_OK && logged)
        Revoke(logged);
    from.FreeBuffers();
    to.FreeBuffers();
    return status;
}

long CAccountManager::GetUserRight(void* user, unsigned long* right)
{
    *right = 0;
    if (!IsValidUserHandle(user))
        return E_INVALIDARG;
    *right = static_cast<CUserContext*>(user)->m_nRight;
    return S_OK;
}

long CAccountManager::GetUserRight(void* user, const char* name, unsigned long* right)
{
    *right = 0;
    CUserContext* actor = ActingUser(user, false);
    if (!actor)
        return E_INVALIDARG;
    CUserContext target;
    unsigned long own = 0, index = 0;
    long status = MakeContext(target, name, nullptr);
    if (status == S_OK)
        status = FindUser(*actor, &own);
    if (status == S_OK)
        status = FindUser(target, &index);
    target.FreeBuffers();
    if (status != S_OK)
        return status;
    if (own == index)
    {
        *right = actor->m_nRight;
        return S_OK;
    }
    if (!UserHasAdminRight(*actor))
        return E_INVALIDARG;
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    CViewTable table(m_nUserCount);
    CScopedBuf plain;
    status = table.Get() ? ReadList(fp, false, actor->m_AdminPassword, plain, table.Get(), m_nUserCount)
                         : E_OUTOFMEMORY;
    CloseDataBase(fp);
    if (status == S_OK)
        *right = GetLE32(table.Get()[index].value.data);
    return status;
}

long CAccountManager::FindUser(CUserContext& user, unsigned long* index)
{
    unsigned char digest[16];
    if (!user.m_Name.length || HashUserName(user, digest) != S_OK)
        return E_FAIL;
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    CScopedBuf slots;
    slots.Get().length = uint32_t(m_nUserCount * kSlot);
    long status = AllocStreamBuf(slots) == 0 ? S_OK : E_OUTOFMEMORY;
    if (status == S_OK && (fseek(fp, long(m_nIndexOffset), SEEK_SET) != 0 ||
                           Read(slots.Data(), slots.Length(), fp) != long(slots.Length())))
        status = E_FAIL;
    CloseDataBase(fp);
    for (unsigned long i = 0; status == S_OK && i < m_nUserCount; ++i)
    {
        if (memcmp(slots.Data() + i * kSlot, digest, kSlot) == 0)
        {
            *index = i;
            return S_OK;
        }
    }
    return status == S_OK ? E_FAIL : status;
}

CUserContext* CAccountManager::FindLogonUser(unsigned long index)
{
    for (int i = 1; i <= m_hUser.GetCount(); ++i)
    {
        CUserContext* user = m_hUser.GetAt(i);
        unsigned long found = 0;
        if (FindUser(*user, &found) == S_OK && found == index)
            return user;
    }
    return nullptr;
}

bool CAccountManager::IsSameAccount(CUserContext& user)
{
    CUserContext stored;
    unsigned long index = 0;
    bool same = CopyStreamBuf(stored.m_Name, user.m_Name.data, user.m_Name.length) == S_OK &&
                CopyStreamBuf(stored.m_Password, user.m_Password.data, user.m_Password.length) == S_OK &&
                LoadCUserContext(stored, &index) == S_OK && SameStreamBuf(stored.m_PublicKey, user.m_PublicKey);
    stored.FreeBuffers();
    return same;
}

void CAccountManager::Revoke(CUserContext* user)
{
    int position = m_hUser.FindIndex(user);
    if (!position)
        return;
    m_Checked.Forget(user);
    m_hUser.RemoveAt(position);
    user->FreeBuffers();
    user->m_nRight = 0;
    m_hRevoked.AppendTail(user);
}

bool CAccountManager::IsValidUserHandle(void* user)
{
    if (!user || user == reinterpret_cast<void*>(uintptr_t(0xFFFFFFFFu)))
        return false;
    CUserContext* context = static_cast<CUserContext*>(user);
    if (!m_hUser.Find(context))
        return false;
    if (m_Checked.IsKnownSound(context, m_AccountDataBase))
        return true;
    // The account must still be in the file, with the keys it logged on with.
    // The file's look is taken first: a change after it forces a new check.
    struct stat look;
    const bool looked = CLogonCheck::Look(m_AccountDataBase, look);
    if (IsSameAccount(*context))
    {
        if (looked)
            m_Checked.NoteSound(context, look);
        return true;
    }
    Revoke(context);
    return false;
}

bool CAccountManager::IsUser(void* user, const char* name)
{
    if (!IsValidUserHandle(user))
        return false;
    CUserContext target;
    unsigned long own = 0, index = 0;
    bool same = MakeContext(target, name, nullptr) == S_OK &&
                FindUser(*static_cast<CUserContext*>(user), &own) == S_OK && FindUser(target, &index) == S_OK &&
                own == index;
    target.FreeBuffers();
    return same;
}

long CAccountManager::EnumUserStart(void* user, void** enumeration)
{
    *enumeration = nullptr;
    CUserContext* actor = ActingUser(user, false);
    if (!actor)
        return E_INVALIDARG;
    bool admin = UserHasAdminRight(*actor);
    unsigned long own = 0;
    if (FindUser(*actor, &own) != S_OK)
        return E_FAIL;
    tagUSERENUM* state = new (std::nothrow) tagUSERENUM();
    if (!state)
        return E_OUTOFMEMORY;
    state->ownRight = actor->m_nRight;
    state->ownIndex = own;
    FILE* fp = OpenDataBase();
    long status = fp ? S_OK : E_FAIL;
    state->count = fp ? m_nUserCount : 0;
    if (status == S_OK && state->count == 0)
        status = S_NOMOREUSERS;
    CViewTable names(state->count), rights(state->count);
    if (status == S_OK)
        status = names.Get() && rights.Get() ? S_OK : E_OUTOFMEMORY;
    if (status == S_OK)
        status = ReadList(fp, true, actor->m_DBKey, state->names, names.Get(), state->count);
    if (status == S_OK && admin)
        status = ReadList(fp, false, actor->m_AdminPassword, state->rights, rights.Get(), state->count);
    if (fp)
        CloseDataBase(fp);
    if (status == S_OK || status == S_NOMOREUSERS)
    {
        state->nameTable = status == S_OK ? names.Detach() : nullptr;
        state->rightTable = status == S_OK && admin ? rights.Detach() : nullptr;
        *enumeration = state;
        return status;
    }
    EnumUserStop(state);
    return status;
}

long CAccountManager::EnumUserNext(void* enumeration, char* name, unsigned long* nameLength,
                                   unsigned long* right)
{
    tagUSERENUM* state = static_cast<tagUSERENUM*>(enumeration);
    if (!state || !nameLength || *nameLength < 1)
        return E_INVALIDARG;
    if (state->cursor >= state->count)
        return S_NOMOREUSERS;
    unsigned long i = state->cursor++;
    if (state->nameTable)
    {
        tagSTREAMBUF entry = state->nameTable[i].value;
        unsigned long used = entry.length < *nameLength - 1 ? entry.length : *nameLength - 1;
        if (name)
        {
            if (used)
                memcpy(name, entry.data, used);
            name[used] = 0;
        }
        *nameLength = used + 1;
    }
    if (right)
    {
        if (state->rightTable)
            *right = GetLE32(state->rightTable[i].value.data);
        else
            *right = i == state->ownIndex ? state->ownRight : 0;
    }
    return S_OK;
}

long CAccountManager::EnumUserStop(void* enumeration)
{
    tagUSERENUM* state = static_cast<tagUSERENUM*>(enumeration);
    if (!state)
        return E_INVALIDARG;
    FreeStreamBuf(state->names);
    FreeStreamBuf(state->rights);
    delete[] state->nameTable;
    delete[] state->rightTable;
    delete state;
    return S_OK;
}

unsigned long CAccountManager::GetNumberOfUser(void* user, unsigned long mask)
{
    void* enumeration = nullptr;
    if (EnumUserStart(user, &enumeration) != S_OK)
    {
        if (enumeration)
            EnumUserStop(enumeration);
        return 0;
    }
    unsigned long count = 0, right = 0;
    char name[256];
    for (unsigned long length = sizeof name; EnumUserNext(enumeration, name, &length, &right) == S_OK;
         length = sizeof name)
    {
        if (mask == 0 || (right & mask))
            ++count;
    }
    EnumUserStop(enumeration);
    return count;
}
