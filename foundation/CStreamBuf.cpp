#include "CStreamBuf.h"

#include "CException.h"

#include <cstring>
#include <new>

CStreamBuf::~CStreamBuf() { DeleteBuf(); }

void CStreamBuf::AllocateBuf(int n)
{
    if (n < 1)
    {
        DeleteBuf();
        return;
    }
    if (n > kMaxLength)
        throw CException("AllocateBuf,too large memory to allocate");
    char* fresh = new (std::nothrow) char[n];
    if (!fresh)
        throw CException("AllocateBuf,allocate memory error");
    delete[] m_Buf;
    m_Buf = fresh;
    m_nLength = n;
}

void CStreamBuf::Zero(int from)
{
    if (m_Buf && from >= 0 && from < m_nLength)
        memset(m_Buf + from, 0, m_nLength - from);
}

void CStreamBuf::DeleteBuf()
{
    delete[] m_Buf;
    m_Buf = nullptr;
    m_nLength = 0;
}

char* CStreamBuf::Release()
{
    char* buf = m_Buf;
    m_Buf = nullptr;
    m_nLength = 0;
    return buf;
}

void CStreamBuf::Swap(CStreamBuf& other)
{
    char* buf = m_Buf;
    int length = m_nLength;
    m_Buf = other.m_Buf;
    m_nLength = other.m_nLength;
    other.m_Buf = buf;
    other.m_nLength = length;
}
