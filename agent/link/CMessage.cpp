#include "CMessage.h"

#include "CLog.h"
#include "PacketForm.h"
#include "ReplyTexts.h"

#include <cstring>

CMessage::CMessage() { Init(); }

void CMessage::Init()
{
    m_nCommand = -1;
    m_nStamp = 0;
    m_nType = 0;
    m_strBody.Empty();
}

void CMessage::MakePackage()
{
    const int nBody = PacketForm::WireBodyLength(m_strBody.GetLength());
    if (nBody != m_strBody.GetLength())
        m_strBody.Empty();
    const int nHeader = PacketForm::HeaderSize(nBody);
    m_Pool.AllocateBuf(nHeader + nBody);
    unsigned char* out = reinterpret_cast<unsigned char*>(m_Pool.GetBuf());
    PacketForm::WriteHeader(out, m_nCommand, m_nStamp, m_nType, nBody);
    memcpy(out + nHeader, m_strBody.GetBuffer(), nBody);
}

// The declared length is checked against the bytes at hand: a decoder that
// trusted either alone would read past the packet or take the next one's
// bytes as its body.
bool CMessage::ParsePool(const char* data, int n)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    const int nPacket = n > PacketForm::kWordsSize ? PacketForm::PacketLength(bytes, n) : PacketForm::kMalformed;
    if (nPacket < PacketForm::kShortHeader || nPacket > n)
    {
        Reject(data, n);
        return false;
    }
    const int nHeader = bytes[12] == PacketForm::kLongMarker ? PacketForm::kLongHeader : PacketForm::kShortHeader;
    const char* body = data + nHeader;
    const void* nul = memchr(body, '\0', nPacket - nHeader);
    const int nBody = nul ? static_cast<int>(static_cast<const char*>(nul) - body) : nPacket - nHeader;
    if (nBody > CString::kMaxLength)
    {
        Reject(data, n);
        return false;
    }
    m_nCommand = PacketForm::ReadWord(bytes, 0);
    m_nStamp = PacketForm::ReadWord(bytes, 4);
    m_nType = PacketForm::ReadWord(bytes, 8);
    SetBody(body, nBody);
    return true;
}

void CMessage::MakeFinish(int nCode)
{
    m_nType = kFinish;
    m_strBody.Format("%d@%s", nCode, GetErrorInfo(nCode));
}

void CMessage::Reject(const char* data, int n)
{
    ShowInfo("ParsePool,Not an invalid message!\n");
    ShowInfo("ParsePool,nLength is %d(Dec)\t%x(Hex)\n", n, static_cast<unsigned>(n));
    CLog::DumpMemory(data, n);
}

void CMessage::SetBody(const char* text, int n)
{
    CStreamBuf copy;
    copy.AllocateBuf(n + 1);
    memcpy(copy.GetBuf(), text, n);
    copy.GetBuf()[n] = '\0';
    m_strBody = copy.GetBuf();
}
