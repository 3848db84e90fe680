#pragma once

#include "CObject.h"
#include "CStreamBuf.h"
#include "CString.h"

// One management packet: the three header words, the body text, and the
// encoder and decoder of the wire form.
class CMessage : public CObject
{
public:
    // Kind words.
    enum
    {
        kData = 2,
        kFinish = 3,
        kNotice = 4,
    };

    // Command words the agent core itself sends.
    enum
    {
        kCmdClose = 4104,
        kCmdPing = 4105,
    };

    CMessage();

    void Init();
    // Encodes the header words and the body into m_Pool.
    void MakePackage();
    // Decodes the one packet in data[0..n); false, with the rejection
    // printed, when it is not a whole, well-formed packet.
    bool ParsePool(const char* data, int n);
    // Makes this the closing reply with nCode and its text, "%d@%s".
    void MakeFinish(int nCode);
    const char* GetBuf() const { return m_Pool.GetBuf(); }
    int GetLength() const { return m_Pool.GetLength(); }

    CStreamBuf m_Pool;
    int m_nCommand;
    int m_nStamp;
    int m_nType;
    CString m_strBody;

private:
    static void Reject(const char* data, int n);
    void SetBody(const char* text, int n);
};
