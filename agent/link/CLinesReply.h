#pragma once

#include "CReplySource.h"
#include "CString.h"
#include "TPtrList.h"

// A reply of data lines made beforehand, sent as the peer reads them, and
// its closing reply.
class CLinesReply : public CReplySource
{
public:
    explicit CLinesReply(int nCode) : m_nCode(nCode) {}
    ~CLinesReply() override;
    CLinesReply(const CLinesReply&) = delete;
    CLinesReply& operator=(const CLinesReply&) = delete;

    void AddLine(const CString& line);
    bool Next(CMessage& msg) override;

private:
    TPtrList<CString> m_Lines;
    int m_nCode;
    bool m_bFinished = false;
};
