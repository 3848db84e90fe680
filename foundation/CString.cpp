#include "CString.h"

#include "CException.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>

int CString::BlockSize(int n) { return n <= 0 ? 32 : (n / 32) * 32 + 64; }

void CString::MakeBlock(CStreamBuf& buf, int n)
{
    // Checked before the block rule so that huge lengths cannot overflow it.
    if (n > kMaxLength)
        throw CException("AllocateBuf,too large memory to allocate");
    buf.AllocateBuf(BlockSize(n));
    buf.Zero(0);
}

void CString::Adopt(CStreamBuf& fresh, int n)
{
    m_Buf.Swap(fresh);
    m_pData = m_Buf.GetBuf();
    m_nLength = n;
}

CString::CString() { Assign("", 0); }

CString::CString(const char* s) { Assign(s, s ? static_cast<int>(strlen(s)) : 0); }

CString::CString(const CString& other) : CObject(other) { Assign(other.m_pData, other.m_nLength); }

CString::~CString() = default;

CString& CString::operator=(const CString& other)
{
    if (this != &other)
        Assign(other.m_pData, other.m_nLength);
    return *this;
}

CString& CString::operator=(const char* s)
{
    if (s != m_pData)
        Assign(s, s ? static_cast<int>(strlen(s)) : 0);
    return *this;
}

// The new block is filled before the old one goes, so `s` may point into
// this string's own text.
void CString::Assign(const char* s, int n)
{
    CStreamBuf fresh;
    MakeBlock(fresh, n);
    if (n > 0)
        memcpy(fresh.GetBuf(), s, n);
    Adopt(fresh, n);
}

void CString::Append(const char* s, int n)
{
    if (n <= 0)
        return;
    if (n > kMaxLength - m_nLength)
        throw CException("AllocateBuf,too large memory to allocate");
    int total = m_nLength + n;
    if (total < GetCapacity())
    {
        memmove(m_pData + m_nLength, s, n);
        m_nLength = total;
        return;
    }
    CStreamBuf fresh;
    MakeBlock(fresh, total);
    memcpy(fresh.GetBuf(), m_pData, m_nLength);
    memcpy(fresh.GetBuf() + m_nLength, s, n);
    Adopt(fresh, total);
}

void CString::Empty()
{
    m_Buf.Zero(0);
    m_nLength = 0;
}

CString& CString::operator+=(const char* s)
{
    if (s)
        Append(s, static_cast<int>(strlen(s)));
    return *this;
}

CString& CString::operator+=(const CString& s)
{
    Append(s.m_pData, s.m_nLength);
    return *this;
}

bool CString::operator==(const char* s) const { return strcmp(m_pData, s ? s : "") == 0; }

bool CString::EqualByNoCase(const char* s) const
{
    if (!s || static_cast<int>(strlen(s)) != m_nLength)
        return false;
    for (int i = 0; i < m_nLength; ++i)
    {
        if (toupper(static_cast<unsigned char>(m_pData[i])) != toupper(static_cast<unsigned char>(s[i])))
            return false;
    }
    return true;
}

char CString::GetAt(int i) const
{
    if (i < 0 || i > m_nLength)
        return static_cast<char>(0xFF);
    return m_pData[i];
}

const char* CString::Find(const char* s) const { return s ? strstr(m_pData, s) : nullptr; }

int CString::FindIndex(const char* s) const
{
    const char* p = Find(s);
    return p ? static_cast<int>(p - m_pData) : -1;
}

const char* CString::Find(char c) const
{
    const void* p = memchr(m_pData, c, m_nLength);
    return static_cast<const char*>(p);
}

int CString::FindIndex(char c) const
{
    const char* p = Find(c);
    return p ? static_cast<int>(p - m_pData) : -1;
}

int CString::ReverseFindIndex(char c) const
{
    for (int i = m_nLength - 1; i >= 0; --i)
    {
        if (m_pData[i] == c)
            return i;
    }
    return -1;
}

void CString::TrimLeft(char c)
{
    int n = 0;
    while (n < m_nLength && m_pData[n] == c)
        ++n;
    Mid(n);
}

void CString::TrimRight(char c)
{
    int n = m_nLength;
    while (n > 0 && m_pData[n - 1] == c)
        --n;
    Left(n);
}

void CString::Left(int n)
{
    if (n >= m_nLength)
        return;
    if (n < 0)
        n = 0;
    m_Buf.Zero(n);
    m_nLength = n;
}

void CString::Mid(int n)
{
    if (n <= 0)
        return;
    if (n >= m_nLength)
    {
        Empty();
        return;
    }
    int rest = m_nLength - n;
    memmove(m_pData, m_pData + n, rest);
    m_Buf.Zero(rest);
    m_nLength = rest;
}

void CString::MakeSameCase(bool upper)
{
    for (int i = 0; i < m_nLength; ++i)
    {
        unsigned char ch = static_cast<unsigned char>(m_pData[i]);
        m_pData[i] = static_cast<char>(upper ? toupper(ch) : tolower(ch));
    }
}

void CString::Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
}

void CString::FormatV(const char* fmt, va_list args)
{
    va_list probe;
    va_copy(probe, args);
    int n = vsnprintf(nullptr, 0, fmt, probe);
    va_end(probe);
    if (n < 0)
        n = 0;
    // Formatted aside first: the arguments may point into this string.
    CStreamBuf fresh;
    MakeBlock(fresh, n);
    vsnprintf(fresh.GetBuf(), fresh.GetLength(), fmt, args);
    if (n >= GetCapacity())
    {
        Adopt(fresh, n);
        return;
    }
    m_Buf.Zero(0);
    memcpy(m_pData, fresh.GetBuf(), n);
    m_nLength = n;
}

CString operator+(const CString& a, const char* b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

std::ostream& operator<<(std::ostream& os, const CString& s) { return os << s.GetBuffer(); }

std::istream& operator>>(std::istream& is, CString& s)
{
    s.Empty();
    std::istream::sentry ok(is);
    if (!ok)
        return is;
    char word[256];
    int n = 0;
    int ch;
    while ((ch = is.peek()) != std::char_traits<char>::eof() && !isspace(ch))
    {
        word[n++] = static_cast<char>(is.get());
        if (n == static_cast<int>(sizeof(word)) - 1)
        {
            word[n] = 0;
            s += word;
            n = 0;
        }
    }
    word[n] = 0;
    s += word;
    if (ch == std::char_traits<char>::eof())
        is.setstate(std::ios::eofbit);
    return is;
}
