#pragma once

#include "CStreamBuf.h"

#include <cstdarg>
#include <iosfwd>

// A NUL-terminated text on a CStreamBuf. Every byte after the text is zero,
// and the capacity always follows BlockSize(), so the longest text is
// kMaxLength characters; anything longer throws the buffer-size exception.
class CString : public CObject
{
public:
    enum
    {
        kMaxLength = CStreamBuf::kMaxLength - 33
    };

    static int BlockSize(int n);

    CString();
    CString(const char* s);
    CString(const CString& other);
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(const char* s);

    int GetLength() const { return m_nLength; }
    int GetCapacity() const { return m_Buf.GetLength(); }
    const char* GetBuffer() const { return m_pData; }
    operator const char*() const { return m_pData; }
    bool IsEmpty() const { return m_nLength == 0; }
    void Empty();

    CString& operator+=(const char* s);
    CString& operator+=(const CString& s);

    bool operator==(const char* s) const;
    bool operator==(const CString& s) const { return *this == s.m_pData; }
    bool operator!=(const char* s) const { return !(*this == s); }
    bool operator!=(const CString& s) const { return !(*this == s); }
    bool EqualByNoCase(const char* s) const;

    // The character at i; i == length gives the NUL, anything else outside
    // the text gives 0xFF.
    char GetAt(int i) const;
    char operator[](int i) const { return GetAt(i); }

    const char* Find(const char* s) const;
    int FindIndex(const char* s) const;
    const char* Find(char c) const;
    int FindIndex(char c) const;
    int ReverseFindIndex(char c) const;

    void TrimLeft(char c);
    void TrimRight(char c);
    void Left(int n);
    void Mid(int n);
    void MakeUpper() { MakeSameCase(true); }
    void MakeLower() { MakeSameCase(false); }
    void MakeSameCase(bool upper);

    void Format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* fmt, va_list args) __attribute__((format(printf, 2, 0)));

private:
    // Makes `buf` a zeroed block for a text of n characters.
    static void MakeBlock(CStreamBuf& buf, int n);
    // Takes over `fresh` (holding a text of n characters) as the storage.
    void Adopt(CStreamBuf& fresh, int n);
    void Assign(const char* s, int n);
    void Append(const char* s, int n);

    CStreamBuf m_Buf;
    int m_nLength = 0;
    char* m_pData = nullptr;
};

CString operator+(const CString& a, const char* b);
CString operator+(const CString& a, const CString& b);
CString operator+(const char* a, const CString& b);

std::ostream& operator<<(std::ostream& os, const CString& s);
std::istream& operator>>(std::istream& is, CString& s);
