#include "CArchive.h"

#include <cstdint>
#include <cstring>

namespace
{
const int kMaxStringLength = 8192;
const unsigned kCountMarker = 0xFFFF;

void Encode(uint64_t value, unsigned char* bytes, int n)
{
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t Decode(const unsigned char* bytes, int n)
{
    uint64_t value = 0;
    for (int i = 0; i < n; ++i)
        value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    return value;
}
}

CArchive::CArchive(CFile* pFile, int nMode) : m_pFile(pFile), m_nMode(nMode) {}

CArchive::~CArchive() { Close(); }

void CArchive::Close()
{
    Flush();
    m_pFile = nullptr;
}

bool CArchive::IsValid() const { return m_pFile && m_pFile->IsValid(); }

void CArchive::Flush()
{
    if (m_pFile)
        m_pFile->Flush();
}

int CArchive::Read(void* buf, int len) { return m_pFile ? m_pFile->Read(buf, len) : 0; }

void CArchive::Write(const void* data, int len)
{
    if (m_pFile)
        m_pFile->Write(data, len);
}

void CArchive::WriteLittleEndian(uint64_t value, int n)
{
    unsigned char bytes[8];
    Encode(value, bytes, n);
    Write(bytes, n);
}

// Bytes that do not arrive read as zero.
uint64_t CArchive::ReadLittleEndian(int n)
{
    unsigned char bytes[8] = {};
    Read(bytes, n);
    return Decode(bytes, n);
}

CArchive& CArchive::operator<<(float v)
{
    uint32_t bits;
    memcpy(&bits, &v, sizeof(bits));
    WriteLittleEndian(bits, 4);
    return *this;
}

CArchive& CArchive::operator<<(double v)
{
    uint64_t bits;
    memcpy(&bits, &v, sizeof(bits));
    WriteLittleEndian(bits, 8);
    return *this;
}

CArchive& CArchive::operator<<(long v)
{
    WriteLittleEndian(static_cast<uint32_t>(v), 4);
    return *this;
}

CArchive& CArchive::operator<<(unsigned long v)
{
    WriteLittleEndian(static_cast<uint32_t>(v), 4);
    return *this;
}

CArchive& CArchive::operator<<(int v)
{
    WriteLittleEndian(static_cast<uint32_t>(v), 4);
    return *this;
}

CArchive& CArchive::operator<<(short v)
{
    WriteLittleEndian(static_cast<uint16_t>(v), 2);
    return *this;
}

CArchive& CArchive::operator<<(char v)
{
    WriteLittleEndian(static_cast<unsigned char>(v), 1);
    return *this;
}

// A reader takes at most kMaxStringLength characters and would fall out of
// step on a longer text, so longer texts are cut to that length.
CArchive& CArchive::operator<<(const CString& v)
{
    int n = v.GetLength() < kMaxStringLength ? v.GetLength() : kMaxStringLength;
    *this << n;
    Write(v.GetBuffer(), n);
    return *this;
}

CArchive& CArchive::operator>>(float& v)
{
    uint32_t bits = static_cast<uint32_t>(ReadLittleEndian(4));
    memcpy(&v, &bits, sizeof(v));
    return *this;
}

CArchive& CArchive::operator>>(double& v)
{
    uint64_t bits = ReadLittleEndian(8);
    memcpy(&v, &bits, sizeof(v));
    return *this;
}

CArchive& CArchive::operator>>(long& v)
{
    v = static_cast<int32_t>(ReadLittleEndian(4));
    return *this;
}

CArchive& CArchive::operator>>(unsigned long& v)
{
    v = static_cast<uint32_t>(ReadLittleEndian(4));
    return *this;
}

CArchive& CArchive::operator>>(int& v)
{
    v = static_cast<int32_t>(ReadLittleEndian(4));
    return *this;
}

CArchive& CArchive::operator>>(short& v)
{
    v = static_cast<int16_t>(ReadLittleEndian(2));
    return *this;
}

CArchive& CArchive::operator>>(char& v)
{
    v = static_cast<char>(ReadLittleEndian(1));
    return *this;
}

CArchive& CArchive::operator>>(CString& v)
{
    int n = 0;
    *this >> n;
    v.Empty();
    if (n < 1 || n > kMaxStringLength)
        return *this;
    char text[kMaxStringLength + 1];
    int got = Read(text, n);
    text[got > 0 ? got : 0] = '\0';
    v = text;
    return *this;
}

// Counts that do not fit below the marker, negative ones included, follow
// the marker in four bytes so that they read back unchanged.
void CArchive::WriteCount(int n)
{
    if (static_cast<unsigned>(n) < kCountMarker)
    {
        WriteLittleEndian(static_cast<unsigned>(n), 2);
        return;
    }
    WriteLittleEndian(kCountMarker, 2);
    WriteLittleEndian(static_cast<uint32_t>(n), 4);
}

int CArchive::ReadCount()
{
    unsigned n = static_cast<unsigned>(ReadLittleEndian(2));
    if (n != kCountMarker)
        return static_cast<int>(n);
    return static_cast<int32_t>(ReadLittleEndian(4));
}
