#pragma once

#include "CString.h"

// Where an event finds the notice lists that decide whether it is mailed
// and whether it is pushed to the management servers. The document keeps
// the lists; the event layer only asks for them, so it never needs the
// document itself.
class CNoticeLists
{
public:
    virtual bool GetEmailNoticeList(CString& strList) = 0;
    virtual bool GetReportNoticeList(CString& strList) = 0;

protected:
    ~CNoticeLists() = default;
};
