#include "CAccountFile.h"

#include "CLog.h"
#include "CScopedBuf.h"
#include "LittleEndian.h"
#include "StatusWords.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char CAccountFile::szAccountDataBase[] = "/etc/tavrine/ZELRAID.PWD";
const char* CAccountFile::m_AccountDataBase = nullptr;
void (*CAccountFile::m_pfnStepHook)(const char*) = nullptr;

namespace
{
// The layout of a new file and the growth of each section.
const unsigned long kHeaderArea = 48;
const unsigned long kIndexOffset = 64;
const unsigned long kIndexGrowth = 256;
const unsigned long kUserGrowth = 16384;
const unsigned long kNameGrowth = 800;
const unsigned long kNewRightSize = 640;
const unsigned long kNameListSkip = 32;
const unsigned long kNameSubHeader = 16;
const unsigned long kRightListSkip = 128;

// The number of bytes a length needs beyond the first header byte.
unsigned long LengthBytes(unsigned long length)
{
    unsigned long n = 0;
    for (; length; length >>= 8)
        ++n;
    return n;
}
} // namespace

// ---- The record codec -------------------------------------------------

unsigned long CAccountFile::ASN1HeaderLength(tagSTREAMBUF value)
{
    return value.length < 128 ? 2 : 2 + LengthBytes(value.length);
}

long CAccountFile::ASN1EncodeLength(tagSTREAMBUF& out, ASN1 record)
{
    unsigned long header = ASN1HeaderLength(record.value);
    if (!out.data || out.length < header)
        return E_INVALIDARG;
    out.data[0] = record.tag;
    if (header == 2)
    {
        out.data[1] = static_cast<unsigned char>(record.value.length);
        return S_OK;
    }
    unsigned long n = header - 2;
    out.data[1] = static_cast<unsigned char>(0x80 | n);
    for (unsigned long i = 0; i < n; ++i)
        out.data[2 + i] = static_cast<unsigned char>(record.value.length >> (8 * (n - 1 - i)));
    return S_OK;
}

long CAccountFile::ASN1EncodeRecord(tagSTREAMBUF& out, ASN1* records, unsigned long count)
{
    unsigned long total = 0;
    for (unsigned long i = 0; i < count; ++i)
        total += ASN1HeaderLength(records[i].value) + records[i].value.length;
    CScopedBuf encoded;
    encoded.Get().length = uint32_t(total);
    if (total > 0xFFFFFFFFul || AllocStreamBuf(encoded) != 0)
        return E_OUTOFMEMORY;
    unsigned char* at = encoded.Data();
    for (unsigned long i = 0; i < count; ++i)
    {
        tagSTREAMBUF header{uint32_t(ASN1HeaderLength(records[i].value)), at};
        ASN1EncodeLength(header, records[i]);
        at += header.length;
        if (records[i].value.length)
            memcpy(at, records[i].value.data, records[i].value.length);
        at += records[i].value.length;
    }
    FreeStreamBuf(out);
    out = encoded.Detach();
    return S_OK;
}

long CAccountFile::ASN1ParseRecord(tagSTREAMBUF in, ASN1* out, unsigned long count,
                                   unsigned long* parsed)
{
    if (!in.data)
        return E_INVALIDARG;
    unsigned long pos = 0, found = 0;
    for (; found < count && pos < in.length; ++found)
    {
        unsigned long left = in.length - pos;
        if (left < 2)
            return E_INVALIDARG;
        const unsigned char* at = in.data + pos;
        unsigned long length = at[1], header = 2;
        if (length >= 128)
        {
            unsigned long n = length & 0x7F;
            if (n < 1 || n > 4 || left < 2 + n)
                return E_INVALIDARG;
            length = 0;
            for (unsigned long i = 0; i < n; ++i)
                length = length << 8 | at[2 + i];
            header = 2 + n;
        }
        if (length > left - header)
            return E_INVALIDARG;
        out[found].tag = at[0];
        out[found].value = tagSTREAMBUF{uint32_t(length), const_cast<unsigned char*>(at) + header};
        pos += header + length;
    }
    if (parsed)
        *parsed = found;
    return S_OK;
}

long CAccountFile::ParseExactly(tagSTREAMBUF in, ASN1* out, unsigned long count, unsigned char tag)
{
    unsigned long parsed = 0;
    long status = ASN1ParseRecord(in, out, count, &parsed);
    if (status != S_OK || parsed != count)
        return E_FAIL;
    for (unsigned long i = 0; i < count; ++i)
        if (out[i].tag != tag)
            return E_FAIL;
    return S_OK;
}

long CAccountFile::EncodeOne(tagSTREAMBUF& out, unsigned char tag, tagSTREAMBUF value)
{
    ASN1 record{tag, value};
    return ASN1EncodeRecord(out, &record, 1);
}

// ---- The file ---------------------------------------------------------

void CAccountFile::InitDataBaseName()
{
    if (!m_AccountDataBase || !*m_AccountDataBase)
        m_AccountDataBase = szAccountDataBase;
}

const char* CAccountFile::DataBasePath() const
{
    return m_bInUpdate ? m_strWorkPath.GetBuffer() : m_AccountDataBase;
}

FILE* CAccountFile::OpenDataBase()
{
    InitDataBaseName();
    FILE* fp = fopen(DataBasePath(), "r+");
    if (!fp)
    {
        perror("Error when open database");
        return nullptr;
    }
    if (ReadLayout(fp) != S_OK)
    {
        fprintf(stderr, "Error when open database: %s is not a valid account file\n", DataBasePath());
        fclose(fp);
        return nullptr;
    }
    return fp;
}

bool CAccountFile::CloseDataBase(FILE* fp)
{
    return fclose(fp) != 0;
}

long CAccountFile::ReadLayout(FILE* fp)
{
    struct stat info;
    unsigned char head[32];
    if (fstat(fileno(fp), &info) != 0 || info.st_size < long(kHeaderArea) || info.st_size > 0x7FFFFFFF ||
        fseek(fp, 0, SEEK_SET) != 0 || Read(head, sizeof head, fp) != long(sizeof head))
        return E_FAIL;
    m_nFileSize = static_cast<unsigned long>(info.st_size);
    if (head[0] != kTagVersion || head[1] != 4 || head[6] != kTagCount || head[7] != 4)
        return E_FAIL;
    m_nVersion = GetLE32(head + 2);
    m_nUserCount = GetLE32(head + 8);
    m_nIndexOffset = GetLE32(head + 16);
    m_nUserOffset = GetLE32(head + 20);
    m_nNameOffset = GetLE32(head + 24);
    m_nRightOffset = GetLE32(head + 28);
    if (m_nVersion != kVersion)
        return E_FAIL;
    // Every offset, size and count is checked against the file itself, so no
    // later read can leave its section.
    if (m_nIndexOffset < kHeaderArea || m_nUserOffset < m_nIndexOffset || m_nNameOffset < m_nUserOffset ||
        m_nRightOffset < m_nNameOffset || m_nRightOffset + kRightSubHeader > m_nFileSize)
        return E_FAIL;
    m_nIndexSize = m_nUserOffset - m_nIndexOffset;
    m_nUserSize = m_nNameOffset - m_nUserOffset;
    m_nNameSize = m_nRightOffset - m_nNameOffset;
    m_nRightSize = m_nFileSize - m_nRightOffset;
    if (m_nNameSize < kNameSubHeader || m_nUserCount > m_nIndexSize / kSlot)
        return E_FAIL;
    unsigned char word[4];
    if (fseek(fp, long(m_nNameOffset), SEEK_SET) != 0 || Read(word, 4, fp) != 4)
        return E_FAIL;
    m_nNameListOffset = GetLE32(word);
    if (fseek(fp, long(m_nRightOffset), SEEK_SET) != 0 || Read(word, 4, fp) != 4)
        return E_FAIL;
    m_nRightListOffset = GetLE32(word);
    if (m_nNameListOffset < m_nNameOffset + kNameSubHeader || m_nNameListOffset > m_nRightOffset ||
        m_nRightListOffset < m_nRightOffset + kRightSubHeader || m_nRightListOffset > m_nFileSize)
        return E_FAIL;
    m_nNameListCapacity = m_nRightOffset - m_nNameListOffset;
    m_nRightListCapacity = m_nFileSize - m_nRightListOffset;
    return S_OK;
}

long CAccountFile::CreateNewStorage()
{
    const unsigned long userOffset = kIndexOffset + kIndexGrowth;
    const unsigned long nameOffset = userOffset + kUserGrowth;
    const unsigned long rightOffset = nameOffset + kNameGrowth;
    const unsigned long size = rightOffset + kNewRightSize;
    CScopedBuf image;
    image.Get().length = uint32_t(size);
    if (AllocStreamBuf(image) != 0)
        return E_OUTOFMEMORY;
    unsigned char* p = image.Data();
    memset(p, 0, size);
    p[0] = kTagVersion;
    p[1] = 4;
    PutLE32(p + 2, kVersion);
    p[6] = kTagCount;
    p[7] = 4;
    PutLE32(p + 16, uint32_t(kIndexOffset));
    PutLE32(p + 20, uint32_t(userOffset));
    PutLE32(p + 24, uint32_t(nameOffset));
    PutLE32(p + 28, uint32_t(rightOffset));
    PutLE32(p + nameOffset, uint32_t(nameOffset + kNameListSkip));
    PutLE32(p + rightOffset, uint32_t(rightOffset + kRightListSkip));
    int fd = open(DataBasePath(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
    if (fd < 0)
    {
        perror("Error when open database");
        return E_FAIL;
    }
    bool written = write(fd, p, size) == ssize_t(size);
    return close(fd) == 0 && written ? S_OK : E_FAIL;
}

long CAccountFile::Write(const void* buffer, unsigned long count, FILE* fp)
{
    unsigned long written = fwrite(buffer, 1, count, fp);
    return fflush(fp) == 0 ? long(written) : -1;
}

long CAccountFile::Read(void* buffer, unsigned long count, FILE* fp)
{
    return long(fread(buffer, 1, count, fp));
}

long CAccountFile::DecodeASN1Length(FILE* fp, unsigned long* length, unsigned char* tag,
                                    unsigned long limit)
{
    long start = ftell(fp);
    unsigned char header[6];
    if (start < 0 || Read(header, 2, fp) != 2)
        return E_FAIL;
    unsigned long value = header[1], size = 2;
    if (value >= 128)
    {
        unsigned long n = value & 0x7F;
        if (n < 1 || n > 4 || Read(header + 2, n, fp) != long(n))
            return E_FAIL;
        value = 0;
        for (unsigned long i = 0; i < n; ++i)
            value = value << 8 | header[2 + i];
        size += n;
    }
    if (static_cast<unsigned long>(start) + size > limit || value > limit - static_cast<unsigned long>(start) - size)
        return E_FAIL;
    *length = value;
    if (tag)
        *tag = header[0];
    return S_OK;
}

long CAccountFile::ReadASN1Record(ASN1& record, FILE* fp, unsigned long limit)
{
    unsigned long length = 0;
    unsigned char tag = 0;
    long status = DecodeASN1Length(fp, &length, &tag, limit);
    if (status != S_OK)
        return status;
    CScopedBuf content;
    content.Get().length = uint32_t(length);
    if (AllocStreamBuf(content) != 0)
        return E_OUTOFMEMORY;
    if (Read(content.Data(), length, fp) != long(length))
        return E_FAIL;
    FreeStreamBuf(record.value);
    record.tag = tag;
    record.value = content.Detach();
    return S_OK;
}

long CAccountFile::WriteASN1Record(ASN1 record, FILE* fp)
{
    CScopedBuf encoded;
    long status = ASN1EncodeRecord(encoded, &record, 1);
    if (status == S_OK && Write(encoded.Data(), encoded.Length(), fp) != long(encoded.Length()))
        status = E_FAIL;
    return status;
}

long CAccountFile::SetASN1Point(unsigned long offset, unsigned long skip, FILE* fp, unsigned long limit)
{
    if (fseek(fp, long(offset), SEEK_SET) != 0)
        return E_FAIL;
    for (unsigned long i = 0; i < skip; ++i)
    {
        unsigned long length = 0;
        if (DecodeASN1Length(fp, &length, nullptr, limit) != S_OK || fseek(fp, long(length), SEEK_CUR) != 0)
            return E_FAIL;
    }
    return S_OK;
}

// ---- The growth file --------------------------------------------------

void CAccountFile::Step(const char* name)
{
    if (m_pfnStepHook)
        m_pfnStepHook(name);
}

long CAccountFile::BeginUpdate(bool fresh)
{
    InitDataBaseName();
    // The growth file: the live path with its last letter replaced by "_".
    m_strWorkPath = m_AccountDataBase;
    m_strWorkPath.Left(m_strWorkPath.GetLength() - 1);
    m_strWorkPath += "_";
    if (fresh)
    {
        m_bInUpdate = true;
        return CreateNewStorage();
    }
    int from = open(m_AccountDataBase, O_RDONLY);
    if (from < 0)
    {
        perror("Error when open database");
        return E_FAIL;
    }
    int to = open(m_strWorkPath, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
    bool ok = to >= 0;
    char chunk[4096];
    for (ssize_t n; ok && (n = read(from, chunk, sizeof chunk)) != 0;)
        ok = n > 0 && write(to, chunk, size_t(n)) == n;
    close(from);
    if (to >= 0 && close(to) != 0)
        ok = false;
    if (!ok)
    {
        perror("Error when open database");
        unlink(m_strWorkPath);
        return E_FAIL;
    }
    m_bInUpdate = true;
    return S_OK;
}

long CAccountFile::FinishUpdate(long status)
{
    m_bInUpdate = false;
    if (status == S_OK)
    {
        int fd = open(m_strWorkPath, O_RDONLY);
        if (fd < 0 || fsync(fd) != 0)
            status = E_FAIL;
        if (fd >= 0)
            close(fd);
    }
    if (status == S_OK)
        Step("commit");
    if (status == S_OK && rename(m_strWorkPath, m_AccountDataBase) != 0)
    {
        perror("Error when open database");
        status = E_FAIL;
    }
    if (status != S_OK)
    {
        unlink(m_strWorkPath);
        return status;
    }
    // Makes the rename itself durable.
    CString folder = m_AccountDataBase;
    int slash = folder.ReverseFindIndex('/');
    folder.Left(slash > 0 ? slash : 1);
    int dir = open(slash >= 0 ? folder.GetBuffer() : ".", O_RDONLY | O_DIRECTORY);
    if (dir >= 0)
    {
        fsync(dir);
        close(dir);
    }
    return S_OK;
}

// ---- Sections ---------------------------------------------------------

long CAccountFile::WriteHashIndex(unsigned char* digest, unsigned long index)
{
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    if (index == kAppend)
        index = m_nUserCount;
    long status = index > m_nUserCount ? E_INVALIDARG : S_OK;
    if (status == S_OK && index == m_nUserCount && m_nIndexSize / kSlot <= m_nUserCount)
        status = EnlargeDataBaseCapacity(fp);
    if (status == S_OK &&
        (fseek(fp, long(m_nIndexOffset + kSlot * index), SEEK_SET) != 0 || Write(digest, kSlot, fp) != long(kSlot)))
        status = E_FAIL;
    CloseDataBase(fp);
    return status;
}

long CAccountFile::ReadUserRecord(FILE* fp, unsigned long index, ASN1& record, ASN1* parts)
{
    unsigned long end = m_nUserOffset + m_nUserSize;
    long status = index < m_nUserCount ? SetASN1Point(m_nUserOffset, index, fp, end) : E_FAIL;
    if (status == S_OK)
        status = ReadASN1Record(record, fp, end);
    if (status == S_OK && (record.tag != kTagUser || ParseExactly(record.value, parts, kUserParts, kTagPart) != S_OK))
        status = E_FAIL;
    if (status != S_OK && index < m_nUserCount)
        TellDamage("user record");
    return status;
}

void CAccountFile::TellDamage(const char* part) const
{
    ShowInfo("Account file %s: its %s is damaged; the file is left as it is\n", DataBasePath(), part);
}

long CAccountFile::ReadUserTable(FILE* fp, ASN1* table, unsigned long count)
{
    unsigned long end = m_nUserOffset + m_nUserSize;
    long status = SetASN1Point(m_nUserOffset, 0, fp, end);
    for (unsigned long i = 0; status == S_OK && i < count; ++i)
    {
        status = ReadASN1Record(table[i], fp, end);
        if (status == S_OK && table[i].tag != kTagUser)
            status = E_FAIL;
    }
    return status;
}

long CAccountFile::IncreaseUserCount(bool up)
{
    FILE* fp = OpenDataBase();
    if (!fp)
        return E_FAIL;
    long status = up || m_nUserCount > 0 ? S_OK : E_FAIL;
    unsigned char count[4];
    if (status == S_OK)
    {
        m_nUserCount = up ? m_nUserCount + 1 : m_nUserCount - 1;
        PutLE32(count, uint32_t(m_nUserCount));
    }
    // The version record is 6 bytes; the count follows its 2-byte header.
    if (status == S_OK && (fseek(fp, 8, SEEK_SET) != 0 || Write(count, 4, fp) != 4))
        status = E_FAIL;
    CloseDataBase(fp);
    return status;
}

long CAccountFile::EnlargeDataBaseCapacity(FILE* fp)
{
    // Only the growth file is ever enlarged, so it can be rebuilt in place:
    // the account file stays whole until the growth file replaces it.
    CScopedBuf old, grown;
    old.Get().length = uint32_t(m_nFileSize);
    if (AllocStreamBuf(old) != 0)
        return E_OUTOFMEMORY;
    if (fseek(fp, 0, SEEK_SET) != 0 || Read(old.Data(), m_nFileSize, fp) != long(m_nFileSize))
        return E_FAIL;
    unsigned long user = m_nIndexOffset + m_nIndexSize + kIndexGrowth;
    unsigned long name = user + m_nUserSize + kUserGrowth;
    unsigned long right = name + m_nNameSize + kNameGrowth;
    unsigned long nameList = name + kNameListSkip;
    unsigned long rightList = right + kRightListSkip;
    unsigned long tail = m_nFileSize - m_nRightListOffset;
    grown.Get().length = uint32_t(rightList + tail);
    if (AllocStreamBuf(grown) != 0)
        return E_OUTOFMEMORY;
    unsigned char* p = grown.Data();
    const unsigned char* q = old.Data();
    memset(p, 0, grown.Length());
    memcpy(p, q, 16);
    PutLE32(p + 16, uint32_t(m_nIndexOffset));
    PutLE32(p + 20, uint32_t(user));
    PutLE32(p + 24, uint32_t(name));
    PutLE32(p + 28, uint32_t(right));
    memcpy(p + m_nIndexOffset, q + m_nIndexOffset, m_nIndexSize);
    memcpy(p + user, q + m_nUserOffset, m_nUserSize);
    PutLE32(p + name, uint32_t(nameList));
    memcpy(p + nameList, q + m_nNameListOffset, m_nNameListCapacity);
    memcpy(p + right, q + m_nRightOffset, kRightSubHeader);
    PutLE32(p + right, uint32_t(rightList));
    memcpy(p + rightList, q + m_nRightListOffset, tail);
    if (fseek(fp, 0, SEEK_SET) != 0 || Write(p, grown.Length(), fp) != long(grown.Length()))
        return E_FAIL;
    Step("enlarge");
    return ReadLayout(fp);
}
