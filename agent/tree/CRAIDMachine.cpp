#include "CRAIDMachine.h"

#include "CEmail.h"
#include "CFileVersion.h"
#include "CFolderOwner.h"
#include "CLog.h"
#include "HostName.h"
#include "CProfile.h"
#include "CSchedule.h"
#include "CSvrSocket.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace
{
const char kScheduleSection[] = "GetVerifySchedule";
const char kScheduleKey[] = "GetVerifySchedule";
// Notice that tells the servers to read the folder again.
const unsigned long kNoticeChanged = 8194;
const unsigned kReadMask = 0xF7FFFFFF;

struct MethodEntry
{
    const char* name;
    unsigned mask;
};

const MethodEntry kMethods[] = {
    {"DelReceiptor", CRAIDMachine::kSettingsRight},
    {"AddReceiptor", CRAIDMachine::kSettingsRight},
    {"SetProperty", CRAIDMachine::kSettingsRight},
    {"GetEmailNoticeList", kReadMask},
    {"SetEmailNoticeList", CRAIDMachine::kSettingsRight},
    {"GetReportNoticeList", kReadMask},
    {"SetReportNoticeList", CRAIDMachine::kSettingsRight},
    {"GetVerifySchedule", kReadMask},
    {"SetVerifySchedule", 124},
};

// A whole decimal number, nothing before or after it.
bool ParseDecimal(const char* text, long& out)
{
    if (!text || !*text || isspace(static_cast<unsigned char>(*text)))
        return false;
    char* end = nullptr;
    errno = 0;
    out = strtol(text, &end, 10);
    return *end == '\0' && errno == 0;
}

// The server is reached by its dotted address; none at all turns mail off.
bool IsServerAddress(const char* text)
{
    in_addr address;
    return !*text || inet_pton(AF_INET, text, &address) == 1;
}

// A schedule text is sound when it turns the schedule off, or when it
// gives a schedule that then runs; `stored` is the form it is kept in.
bool ReadScheduleText(const char* text, CString& stored)
{
    if (!isdigit(static_cast<unsigned char>(*text)))
        return false;
    CSchedule probe;
    probe.SetSchedule(text);
    stored = probe.ToString();
    return probe.IsEnabled() || atoi(text) == 0;
}
} // namespace

CRAIDMachine::~CRAIDMachine() = default;

void CRAIDMachine::Init(CVirtualFolder* parent, CFolderOwner* doc, IRiver* river)
{
    CVirtualFolder::Init(parent ? parent->GetPea() : nullptr, doc, river);
    m_tLastTick = 0;
    m_nInterval = kDefaultInterval;
}

void CRAIDMachine::AddOwnEntries()
{
    CFolderOwner* doc = GetDoc();
    if (doc)
    {
        CProfile profile;
        CString text;
        profile.GetProfile(kScheduleSection, kScheduleKey, text);
        if (!text.IsEmpty())
            doc->GetSchedule().SetSchedule(text);
    }
    ShowEntries();
}

void CRAIDMachine::ShowEntries()
{
    SetPropertyInt("PollFrequency", m_nInterval);
    ShowMailSettings();
    char* version = nullptr;
    CFileVersion file;
    if (file.GetString("FileVersion", &version, nullptr, 0) && version)
        AddPea(CString("FileVersion@pr-@") + version);
    SetPropertyString("name", GetDoc() ? GetDoc()->GetHostName() : ReadMachineHostName());
    for (const MethodEntry& method : kMethods)
        AddMethod(method.name, method.mask);
}

void CRAIDMachine::ShowMailSettings()
{
    CEmail mail;
    CString text;
    SetPropertyInt("bEmailEnable", mail.GetEnable());
    mail.GetSMTPServer(text);
    SetPropertyString("SMTPServer", text);
    mail.GetEmailID(text);
    SetPropertyString("EmailID", text);
    mail.ToString(text);
    SetPropertyString("ReceiptorList", text);
}

// The settings are read again, so that after a failed write they show
// what the profile holds.
bool CRAIDMachine::StoreMailSettings(CEmail& mail)
{
    bool stored = mail.SaveSetting();
    mail.InitSetting();
    return stored;
}

void CRAIDMachine::Refresh()
{
    CVirtualFolder::Refresh();
    if (GetRiver())
        ShowEntries();
}

void CRAIDMachine::OnProcessCommand(CSvrSocket* svr)
{
    SetCurrentSvr(svr);
    if (!GetPea()->IsRoot())
        ShowInfo("OnProcessCommand error,RAIDMachine is not root\n");
    CMessage* message = &svr->m_Msg;
    const int command = message->m_nCommand;
    // A server may read the machine's name before it logs on.
    if (command == kCmdGet && (message->m_strBody == "." || message->m_strBody == "name"))
    {
        cmd_get(message);
        return;
    }
    CVirtualFolder::OnProcessCommand(svr);
    // What a set or a method changed shows in the entries at once, as the
    // settings hold it.
    if (command == kCmdSet || command == kCmdInvoke)
        ShowEntries();
}

int CRAIDMachine::InvokeDispatch(CMessage* message, const char* method, const char* args)
{
    const CString name(method);
    if (name.EqualByNoCase("AddReceiptor") || name.EqualByNoCase("DelReceiptor"))
        return ChangeReceiver(args, name.EqualByNoCase("AddReceiptor"));
    if (name.EqualByNoCase("GetEmailNoticeList") || name.EqualByNoCase("GetReportNoticeList"))
        return SendNoticeList(message, method, name.EqualByNoCase("GetEmailNoticeList"));
    if (name.EqualByNoCase("SetEmailNoticeList") || name.EqualByNoCase("SetReportNoticeList"))
        return SetNoticeList(args, name.EqualByNoCase("SetEmailNoticeList"));
    if (name.EqualByNoCase("GetVerifySchedule"))
        return SendVerifySchedule(message, method);
    if (name.EqualByNoCase("SetVerifySchedule"))
        return SetVerifySchedule(args);
    // The river's own methods, when the machine mirrors one.
    return GetRiver() ? CVirtualFolder::InvokeDispatch(message, method, args) : kNotFound;
}

int CRAIDMachine::ChangeReceiver(const char* entry, bool add)
{
    CString receiver(entry);
    CEmail mail;
    if (!CEmail::NormalizeProfile(receiver) || (add && !mail.CanAddReceiver(receiver)))
        return kInvalidArgument;
    if (!(add ? mail.AddReceiver(receiver) : mail.RemoveReceiver(receiver)) || !StoreMailSettings(mail))
        return kError;
    NotifyServer(kNoticeChanged, "", nullptr);
    return kFunctional;
}

void CRAIDMachine::SendResultLine(CMessage* message, const char* method, const char* text)
{
    if (!message)
        return;
    CString line;
    line.Format("%s@%d@%s", method, 0, text);
    SendLine(message, line);
}

int CRAIDMachine::SendNoticeList(CMessage* message, const char* method, bool email)
{
    CFolderOwner* doc = GetDoc();
    CString list;
    if (!doc || !(email ? doc->GetEmailNoticeList(list) : doc->GetReportNoticeList(list)))
        return kError;
    SendResultLine(message, method, list);
    return kFunctional;
}

int CRAIDMachine::SetNoticeList(const char* list, bool email)
{
    CFolderOwner* doc = GetDoc();
    if (!doc || !(email ? doc->SetEmailNoticeList(list) : doc->SetReportNoticeList(list)))
        return kError;
    return kFunctional;
}

int CRAIDMachine::SendVerifySchedule(CMessage* message, const char* method)
{
    CFolderOwner* doc = GetDoc();
    if (!doc)
        return kError;
    // A schedule that is off is told by an empty text, the form servers
    // read.
    CString text = doc->GetSchedule().ToString();
    if (!doc->GetSchedule().IsEnabled())
        text.Empty();
    SendResultLine(message, method, text);
    return kFunctional;
}

// The schedule is kept in the profile for the next start, and takes effect
// at once once it is kept.
int CRAIDMachine::SetVerifySchedule(const char* text)
{
    CFolderOwner* doc = GetDoc();
    if (!doc)
        return kError;
    CString stored;
    if (!ReadScheduleText(text, stored))
        return kInvalidArgument;
    CProfile profile;
    if (!profile.WriteProfile(kScheduleSection, kScheduleKey, stored))
        return kError;
    doc->GetSchedule().SetSchedule(text);
    return kFunctional;
}

int CRAIDMachine::OnSetProperty(const char* name, const char* value, unsigned rights)
{
    if (!(rights & kSettingsRight))
        return kAccessDenied;
    const CString property(name);
    if (property.EqualByNoCase("bEmailEnable"))
        return SetEmailEnable(value);
    if (property.EqualByNoCase("SMTPServer"))
        return SetSMTPServer(value);
    if (property.EqualByNoCase("EmailID"))
        return SetEmailID(value);
    if (property.EqualByNoCase("PollFrequency"))
        return SetPollFrequency(value);
    return kNotFound;
}

// A text that is no number is refused, not taken as 0 while the entry
// would show the text.
int CRAIDMachine::SetEmailEnable(const char* value)
{
    long number = 0;
    if (!ParseDecimal(value, number))
        return kInvalidArgument;
    CEmail mail;
    mail.SetEnable(number != 0 ? 1 : 0);
    return StoreMailSettings(mail) ? kFunctional : kError;
}

int CRAIDMachine::ChangeMail(bool (CEmail::*setter)(const char*), const char* value)
{
    CEmail mail;
    if (!(mail.*setter)(value))
        return kInvalidArgument;
    return StoreMailSettings(mail) ? kFunctional : kError;
}

int CRAIDMachine::SetSMTPServer(const char* value)
{
    return IsServerAddress(value) ? ChangeMail(&CEmail::SetSMTPServer, value) : kInvalidArgument;
}

// An empty identity is allowed: mails are then signed with the agent's
// own name.
int CRAIDMachine::SetEmailID(const char* value)
{
    CString id(value);
    if (!id.IsEmpty() && !CEmail::NormalizeProfile(id))
        return kInvalidArgument;
    return ChangeMail(&CEmail::SetEmailID, id);
}

// The interval is the tree tick's own, not only the entry's.
int CRAIDMachine::SetPollFrequency(const char* value)
{
    long seconds = 0;
    if (!ParseDecimal(value, seconds) || seconds <= kMinInterval || seconds > INT_MAX)
        return kInvalidArgument;
    m_nInterval = static_cast<int>(seconds);
    return kFunctional;
}

void CRAIDMachine::OnClockTick()
{
    OnClockTick(time(nullptr));
}

// A clock set back counts as the interval having passed, so the walk does
// not stop until the clock catches up again.
void CRAIDMachine::OnClockTick(time_t now)
{
    const bool due = GetDoc() && GetDoc()->GetSchedule().IsAlarmOn();
    if (!due && now >= m_tLastTick && now - m_tLastTick <= m_nInterval)
        return;
    m_tLastTick = now;
    CVirtualFolder::OnClockTick();
}
