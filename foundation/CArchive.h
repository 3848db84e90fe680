#pragma once

#include "CFile.h"
#include "CString.h"

#include <cstdint>

// Values in the library's fixed little-endian byte form through a CFile.
class CArchive : public CObject
{
public:
    CArchive(CFile* pFile, int nMode);
    virtual ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    void Close();
    bool IsValid() const;
    void Flush();
    int Read(void* buf, int len);
    void Write(const void* data, int len);

    CArchive& operator<<(float v);
    CArchive& operator<<(double v);
    CArchive& operator<<(long v);
    CArchive& operator<<(unsigned long v);
    CArchive& operator<<(int v);
    CArchive& operator<<(short v);
    CArchive& operator<<(char v);
    CArchive& operator<<(const CString& v);

    CArchive& operator>>(float& v);
    CArchive& operator>>(double& v);
    CArchive& operator>>(long& v);
    CArchive& operator>>(unsigned long& v);
    CArchive& operator>>(int& v);
    CArchive& operator>>(short& v);
    CArchive& operator>>(char& v);
    CArchive& operator>>(CString& v);

    void WriteCount(int n);
    int ReadCount();

private:
    void WriteLittleEndian(uint64_t value, int n);
    uint64_t ReadLittleEndian(int n);

    CFile* m_pFile;
    int m_nMode;
};
