#include "CVirtualFolder.h"

#include "CAccountManager.h"
#include "CEventReply.h"
#include "CFolderOwner.h"
#include "IntText.h"
#include "CLinesReply.h"
#include "CLog.h"
#include "CSchedule.h"
#include "CSvrSocket.h"
#include "ReplyTexts.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace
{
// The "@"-separated field at index (from 0) of text, or null when text has
// fewer fields.
const char* FieldAt(const char* text, int index)
{
    const char* field = text;
    for (int i = 0; field && i < index; ++i)
    {
        field = strchr(field, '@');
        if (field)
            ++field;
    }
    return field;
}

unsigned long UnsignedField(const char* text, int index)
{
    const char* field = FieldAt(text, index);
    return field ? strtoul(field, nullptr, 10) : 0;
}

long SignedField(const char* text, int index)
{
    const char* field = FieldAt(text, index);
    return field ? strtol(field, nullptr, 10) : 0;
}

// The object types of arrays, whose folders run the scheduled verify.
bool IsArrayType(const CString& type)
{
    return type == "3" || type == "18" || type == "25";
}
} // namespace

CVirtualFolder::CVirtualFolder() : m_Pea(this), m_strIsMorliven("no") {}

CVirtualFolder::~CVirtualFolder()
{
    while (m_Pea.GetPeaCount() > 0)
        RemovePea(m_Pea.GetPeaAt(1));
    ReleaseRiver();
}

long CVirtualFolder::AddRef() { return ++m_nRef; }

long CVirtualFolder::Release() { return --m_nRef; }

STATUS CVirtualFolder::QueryInterface(unsigned iid, void** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IRAIDEvent)
        return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IRAIDEvent*>(this);
    return S_OK;
}

STATUS CVirtualFolder::RAIDNotification(unsigned long code)
{
    NotifyServer(code, "", nullptr);
    return S_OK;
}

int CVirtualFolder::InvokeDispatch(CMessage*, const char* method, const char* args)
{
    if (!m_pRiver)
        return 801;
    return InvokeResult(m_pRiver->invoke(method, args));
}

int CVirtualFolder::OnSetProperty(const char* name, const char* value, unsigned)
{
    if (!m_pRiver)
        return 0;
    // A property the river declines to write keeps its value; the answer
    // is the one a folder gives that has nothing to write.
    const STATUS status = m_pRiver->set(name, value, 0);
    return status == E_NOTIMPL ? 0 : InvokeResult(status);
}

int CVirtualFolder::InvokeResult(STATUS status)
{
    switch (status)
    {
    case S_OK:
        return 800;
    case E_INVALIDARG:
        return 805;
    case E_ACCESSDENIED:
        return 802;
    default:
        return 801;
    }
}

unsigned CVirtualFolder::EffectiveRights(unsigned userRights, unsigned mask, bool local)
{
    if ((mask & kLocalOnly) && !local)
        return 0;
    return userRights & mask;
}

CString CVirtualFolder::NoticeText(const char* text) const
{
    CString path;
    m_Pea.GetBaseRef(path, true);
    return path + "@" + text;
}

void CVirtualFolder::NotifyServer(unsigned long code, const char* text, CSvrSocket* target)
{
    if (m_pDoc)
        m_pDoc->NotifyServer(code, NoticeText(text), target);
}

void CVirtualFolder::Init(CPea* parent, CFolderOwner* doc, IRiver* river)
{
    m_Pea.Init(parent, nullptr);
    m_pDoc = doc;
    if (!river)
        return;
    ReleaseRiver();
    m_pRiver = river;
    ConnectSink();
    Refresh();
}

void CVirtualFolder::ReleaseRiver()
{
    if (!m_pRiver)
        return;
    DisconnectSink();
    m_pRiver->Release();
    m_pRiver = nullptr;
}

CString CVirtualFolder::GetPropertyString(const char* name, const char* fallback)
{
    CPea* pea = m_Pea.FindPea(name);
    return pea ? pea->GetContent() : CString(fallback);
}

int CVirtualFolder::GetPropertyInt(const char* name, int fallback)
{
    int value = fallback;
    ParseLeadingInt(GetPropertyString(name, ""), value);
    return value;
}

bool CVirtualFolder::SetPropertyString(const char* name, const char* value)
{
    CPea* pea = m_Pea.FindPea(name);
    if (pea)
    {
        if (pea->GetContent() != value)
            pea->SetContent(value);
        return true;
    }
    NewLeaf(name, "prw", value);
    return true;
}

bool CVirtualFolder::SetPropertyInt(const char* name, int value)
{
    CString text;
    text.Format("%d", value);
    return SetPropertyString(name, text);
}

bool CVirtualFolder::AddMethod(const char* name, unsigned mask)
{
    CString entry;
    entry.Format("%s@m--@%d", name, static_cast<int>(mask));
    return AddPea(entry) != nullptr;
}

bool CVirtualFolder::SplitField(const CString& text, CString& field, CString& rest)
{
    int split = text.FindIndex('@');
    if (split < 1)
        return false;
    field = text;
    field.Left(split);
    rest = text;
    rest.Mid(split + 1);
    return true;
}

CPea* CVirtualFolder::AddPea(const CString& entry)
{
    CString name, rest, attribute, value;
    if (!SplitField(entry, name, rest) || !SplitField(rest, attribute, value))
        return nullptr;
    // An entry that keeps its kind is updated in place; one that changed
    // between object and leaf is made anew, since only objects carry a
    // folder.
    CPea* pea = m_Pea.FindPea(name);
    bool object = attribute.GetLength() > 0 && attribute[0] == 'o';
    if (pea && pea->IsObject() == object)
        return UpdatePea(pea, name, attribute, value);
    if (pea)
        RemovePea(pea);
    return object ? NewFolder(name, attribute, value) : NewLeaf(name, attribute, value);
}

CPea* CVirtualFolder::UpdatePea(CPea* pea, const CString& name, const CString& attribute, const CString& value)
{
    if (!pea->SetAttribute(attribute))
        return nullptr;
    pea->SetContent(value);
    CVirtualFolder* folder = FromPea(pea);
    if (!folder || !m_pRiver)
        return pea;
    // A river listed anew under the same name replaces the one mirrored.
    IRiver* river = GetSubRiverPtr(name, m_pRiver);
    if (river == folder->m_pRiver || IsMirroredAbove(river))
    {
        if (river)
            river->Release();
        return pea;
    }
    folder->Init(&m_Pea, m_pDoc, river);
    return pea;
}

CPea* CVirtualFolder::NewLeaf(const CString& name, const CString& attribute, const CString& value)
{
    CPea* pea = new CPea;
    if (!pea->SetAttribute(attribute))
    {
        delete pea;
        return nullptr;
    }
    pea->SetName(name);
    pea->SetContent(value);
    pea->Init(&m_Pea, m_pDoc);
    m_Pea.AddPea(pea);
    return pea;
}

CPea* CVirtualFolder::NewFolder(const CString& name, const CString& attribute, const CString& value)
{
    IRiver* river = m_pRiver ? GetSubRiverPtr(name, m_pRiver) : nullptr;
    if (river && IsMirroredAbove(river))
    {
        river->Release();
        return nullptr;
    }
    CVirtualFolder* folder = new CVirtualFolder;
    CPea* pea = folder->GetPea();
    if (!pea->SetAttribute(attribute))
    {
        if (river)
            river->Release();
        delete folder;
        return nullptr;
    }
    pea->SetName(name);
    pea->SetContent(value);
    // Listed first, so the sub-tree built by Init already hangs in the tree.
    m_Pea.AddPea(pea);
    folder->Init(&m_Pea, m_pDoc, river);
    return pea;
}

bool CVirtualFolder::IsMirroredAbove(IRiver* river) const
{
    for (const CPea* pea = &m_Pea; pea; pea = pea->GetParent())
    {
        CVirtualFolder* folder = pea->GetFolder();
        if (folder && river && folder->m_pRiver == river)
            return true;
    }
    return false;
}

void CVirtualFolder::RemovePea(CPea* pea)
{
    m_Pea.DelPea(pea);
    CVirtualFolder* folder = FromPea(pea);
    if (folder && m_pDoc)
        m_pDoc->OnFolderRemoved(folder);
    if (folder)
        delete folder;
    else
        delete pea;
}

void CVirtualFolder::Refresh()
{
    if (!m_pRiver)
        return;
    IUnknown* unknown = nullptr;
    if (m_pRiver->dir(&unknown) != S_OK || !unknown)
        return;
    IEnumString* drops = nullptr;
    STATUS status = unknown->QueryInterface(IID_IEnumString, reinterpret_cast<void**>(&drops));
    unknown->Release();
    if (status != S_OK || !drops)
        return;

    TPtrList<CPea> listed;
    char text[RIVER_TEXT_SIZE];
    char* buffers[1] = {text};
    unsigned long fetched = 0;
    drops->Reset();
    while (drops->Next(1, buffers, &fetched) == S_OK && fetched == 1)
    {
        text[sizeof text - 1] = '\0';
        CPea* pea = AddPea(CString(text));
        if (pea)
            listed.AppendTail(pea);
    }
    drops->Release();

    for (int i = m_Pea.GetPeaCount(); i >= 1; --i)
    {
        CPea* pea = m_Pea.GetPeaAt(i);
        if (!listed.Find(pea))
            RemovePea(pea);
    }
}

IRiver* CVirtualFolder::GetSubRiverPtr(const char* name, IRiver* river)
{
    if (!river)
        return nullptr;
    IUnknown* unknown = nullptr;
    if (river->cd(name, &unknown) != S_OK || !unknown)
        return nullptr;
    IRiver* child = nullptr;
    STATUS status = unknown->QueryInterface(IID_IRiver, reinterpret_cast<void**>(&child));
    unknown->Release();
    return status == S_OK ? child : nullptr;
}

bool CVirtualFolder::ConnectSink()
{
    if (!m_pRiver)
        return false;
    IRAIDEvent* sink = nullptr;
    IConnection* connection = nullptr;
    QueryInterface(IID_IRAIDEvent, reinterpret_cast<void**>(&sink));
    m_pRiver->QueryInterface(IID_IConnection, reinterpret_cast<void**>(&connection));
    bool connected = sink && connection && connection->Advise(sink, &m_nCookie) == S_OK;
    if (!connected)
        m_nCookie = 0;
    if (connection)
        connection->Release();
    if (sink)
        sink->Release();
    return connected;
}

void CVirtualFolder::DisconnectSink()
{
    if (!m_nCookie || !m_pRiver)
        return;
    IConnection* connection = nullptr;
    if (m_pRiver->QueryInterface(IID_IConnection, reinterpret_cast<void**>(&connection)) == S_OK && connection)
    {
        connection->Unadvise(m_nCookie);
        connection->Release();
    }
    m_nCookie = 0;
}

bool CVirtualFolder::IsWithin(const CVirtualFolder* folder) const
{
    for (const CPea* pea = &m_Pea; pea; pea = pea->GetParent())
    {
        if (pea == &folder->m_Pea)
            return true;
    }
    return false;
}

unsigned CVirtualFolder::GetUserRight()
{
    unsigned long right = 0;
    if (m_pCurSvr)
        g_am.GetUserRight(m_pCurSvr->GetUserSSN(), &right);
    return static_cast<unsigned>(right);
}

void* CVirtualFolder::GetCaller() const { return m_pCurSvr ? m_pCurSvr->GetUserSSN() : nullptr; }

int CVirtualFolder::OnGetProperty(const char*, CString&) { return 0; }

void CVirtualFolder::OnProcessCommand(CSvrSocket* svr)
{
    SetCurrentSvr(svr);
    CMessage* message = &svr->m_Msg;
    switch (message->m_nCommand)
    {
    case -1:
        return;
    case kCmdClose:
        cmd_close(message);
        return;
    case kCmdPing:
        cmd_ping(message);
        return;
    default:
        VerifyAndProcess(message);
    }
}

void CVirtualFolder::VerifyAndProcess(CMessage* message)
{
    const bool toRoot = message->m_nCommand == kCmdCd && message->m_strBody == "\\";
    if (!g_am.IsValidUserHandle(m_pCurSvr->GetUserSSN()) && message->m_nCommand != kCmdAccess && !toRoot)
    {
        m_pCurSvr->NotifyServer(kNoticeNoUser, "");
        return;
    }
    Dispatch(message);
}

void CVirtualFolder::Dispatch(CMessage* message)
{
    switch (message->m_nCommand)
    {
    case kCmdAccess:
        cmd_access(message);
        break;
    case kCmdDir:
        cmd_dir(message);
        break;
    case kCmdCd:
        cmd_cd(message);
        break;
    case kCmdGet:
        cmd_get(message);
        break;
    case kCmdSet:
        cmd_set(message);
        break;
    case kCmdInvoke:
        cmd_invoke(message);
        break;
    case kCmdRefresh:
        cmd_refresh(message);
        break;
    default:
        break;
    }
}

void CVirtualFolder::cmd_access(CMessage* message) { m_pCurSvr->OnUserAccess(message); }

void CVirtualFolder::cmd_close(CMessage*)
{
    if (m_pDoc)
        m_pDoc->RemoveServer(m_pCurSvr);
    else
        m_pCurSvr->Disconnect();
}

void CVirtualFolder::cmd_ping(CMessage* message)
{
    if (message->m_nType == CMessage::kFinish)
        return;
    message->m_nType = CMessage::kFinish;
    m_pCurSvr->SendMessage(message);
}

void CVirtualFolder::SendLine(CMessage* message, const CString& line)
{
    message->m_nType = CMessage::kData;
    message->m_strBody = line;
    m_pCurSvr->SendMessage(message);
}

unsigned CVirtualFolder::MethodRights(const CPea* method)
{
    const unsigned mask = static_cast<unsigned>(strtoul(method->GetContent(), nullptr, 10));
    const bool local = m_pDoc && m_pDoc->CheckLocation(m_pCurSvr->GetUserLocation());
    return EffectiveRights(GetUserRight(), mask, local);
}

// Rights are written signed, as the masks are stored: a peer reading them
// with a signed 32-bit conversion would misread the unsigned form.
void CVirtualFolder::MethodLine(const CPea* method, unsigned rights, CString& line) const
{
    line.Format("%s@%s@%d", method->GetName().GetBuffer(), method->GetAttribute().GetBuffer(),
                static_cast<int>(rights));
}

// The lines are sent as the peer reads them, so a folder of any size is
// listed whole to a reader.
void CVirtualFolder::cmd_dir(CMessage* message)
{
    CLinesReply* reply = new CLinesReply(kFunctional);
    for (int i = 1; i <= m_Pea.GetPeaCount(); ++i)
    {
        const CPea* pea = m_Pea.GetPeaAt(i);
        CString line;
        if (!pea->IsMethod())
            pea->ToString(line);
        else if (unsigned rights = MethodRights(pea))
            MethodLine(pea, rights, line);
        else
            continue;
        reply->AddLine(line);
    }
    m_pCurSvr->StartReply(message, reply);
}

CVirtualFolder* CVirtualFolder::CdTarget(const CString& target)
{
    if (target == "\\")
        return FromPea(m_Pea.GetRoot());
    if (target == "..")
        return FromPea(m_Pea.GetParent());
    CPea* pea = m_Pea.FindPea(target);
    return pea && pea->IsObject() ? FromPea(pea) : nullptr;
}

void CVirtualFolder::cmd_cd(CMessage* message)
{
    CVirtualFolder* folder = CdTarget(message->m_strBody);
    if (!folder)
    {
        m_pCurSvr->ReportFinish(message, kNotFound);
        return;
    }
    m_pCurSvr->SetCurrentFolder(folder);
    m_pCurSvr->ReportFinish(message, kFunctional);
}

// The line of one entry for get and the code its closing reply carries.
int CVirtualFolder::GetEntry(CPea* pea, CString& line)
{
    if (pea->IsMethod())
    {
        MethodLine(pea, MethodRights(pea), line);
        return kFunctional;
    }
    if (pea == &m_Pea)
    {
        CString own;
        pea->ToString(own);
        line = CString(".@") + own;
        return kFunctional;
    }
    CString value;
    const int code = OnGetProperty(pea->GetName(), value);
    if (code == kFunctional)
        pea->SetContent(value);
    pea->ToString(line);
    return code;
}

void CVirtualFolder::cmd_get(CMessage* message)
{
    CPea* pea = message->m_strBody == "." ? &m_Pea : m_Pea.FindPea(message->m_strBody);
    if (!pea)
    {
        m_pCurSvr->ReportFinish(message, kNotFound);
        return;
    }
    CString line;
    const int code = GetEntry(pea, line);
    SendLine(message, line);
    m_pCurSvr->ReportFinish(message, code);
}

void CVirtualFolder::cmd_set(CMessage* message)
{
    const CString& body = message->m_strBody;
    const int split = body.FindIndex('@');
    if (split < 0)
    {
        m_pCurSvr->ReportFinish(message, kNotFound);
        return;
    }
    CString name = body;
    name.Left(split);
    CString value = body;
    value.Mid(split + 1);
    CPea* pea = m_Pea.FindPea(name);
    int code = kNotFound;
    if (pea && !pea->IsProperty_Write())
        code = kAccessDenied;
    else if (pea)
        code = OnSetProperty(name, value, GetUserRight());
    if (code == kFunctional)
        pea->SetContent(value);
    m_pCurSvr->ReportFinish(message, code);
}

int CVirtualFolder::RunMethod(CMessage* message, const CString& method, const CString& args)
{
    CPea* pea = m_Pea.FindPea(method);
    if (!pea || !pea->IsMethod())
        return kNotFound;
    // A method the user may not run is refused without running anything.
    if (!MethodRights(pea))
        return kAccessDenied;
    int code = kFunctional;
    if (RunEventMethod(message, method, args, code))
        return code;
    return InvokeDispatch(message, method, args);
}

// The event log is the agent's, so these are served here and not handed
// to the river, which has nothing to do for them.
bool CVirtualFolder::RunEventMethod(CMessage* message, const CString& method, const CString& args, int& code)
{
    if (!m_pDoc || GetPropertyInt("HasEvent", 0) == 0)
        return false;
    if (method == "ReadEvent")
    {
        code = kFunctional;
        if (ReadEvent(message, method, args))
            code = kReplyStarted;
        return true;
    }
    if (method != "ClearEvent")
        return false;
    const CString path = LogPath();
    CLog log(m_pDoc, path, nullptr);
    // A log that is not there is as clear as one just deleted.
    code = m_pDoc->ClearEvent(path) || access(log.GetPath(), F_OK) != 0 ? kFunctional : kError;
    return true;
}

// args: position@limit@magic. A negative limit walks oldest first; its
// size bounds the events sent, 0 meaning all of them. The events are read
// as the peer takes them, and the reply, the invoke's own line included,
// goes on after the command; false when the log cannot be walked and
// nothing was sent.
bool CVirtualFolder::ReadEvent(CMessage* message, const CString& method, const CString& args)
{
    unsigned long pos = UnsignedField(args, 0);
    const long limit = SignedField(args, 1);
    unsigned long magic = UnsignedField(args, 2);
    const unsigned long most = limit < 0 ? 0UL - static_cast<unsigned long>(limit) : static_cast<unsigned long>(limit);
    void* handle = m_pDoc->EnumEvent(LogPath(), pos, magic, limit < 0 ? CLog::kForward : 0);
    if (!handle)
        return false;
    m_pCurSvr->StartReply(message, new CEventReply(m_pDoc, handle, method, most));
    return true;
}

CString CVirtualFolder::LogPath() const
{
    CString path;
    m_Pea.GetBaseRef(path, false);
    return path;
}

void CVirtualFolder::OnClockTick()
{
    const int hasEvent = GetPropertyInt("HasEvent", 0);
    m_strIsMorliven = hasEvent == 3 ? "yes" : "no";
    if (hasEvent != 0 && m_pDoc)
        CollectEvents();
    if (m_pDoc && m_pDoc->GetSchedule().IsAlarmOn() && IsArrayType(m_Pea.GetContent()))
        InvokeDispatch(nullptr, "SyncArray", "512");
    for (int i = 1; i <= m_Pea.GetPeaCount(); ++i)
    {
        if (CVirtualFolder* child = FromPea(m_Pea.GetPeaAt(i)))
            child->OnClockTick();
    }
}

// A read that fails ends the round, so a count the river got wrong cannot
// keep the agent asking.
void CVirtualFolder::CollectEvents()
{
    IEventLog* events = nullptr;
    if (!m_pRiver || m_pRiver->QueryInterface(IID_IEventLog, reinterpret_cast<void**>(&events)) != S_OK || !events)
        return;
    unsigned long count = 0;
    if (events->GetNewCount(&count) != S_OK)
        count = 0;
    for (unsigned long i = 0; i < count; ++i)
    {
        char* text = nullptr;
        unsigned long length = 1;
        const bool read = events->ReadEventLog(&text, &length) == S_OK && text;
        if (read)
            HandEvent(text);
        delete[] text;
        if (!read)
            break;
    }
    events->Release();
}

void CVirtualFolder::HandEvent(const char* text)
{
    CString report;
    if (m_pDoc->OnNewEvent(text, LogPath(), m_strIsMorliven, report))
        NotifyServer(kNoticeEvent, report, nullptr);
}

void CVirtualFolder::cmd_invoke(CMessage* message)
{
    CString method, args;
    const int code =
        SplitField(message->m_strBody, method, args) ? RunMethod(message, method, args) : kInvalidArgument;
    if (code == kReplyStarted)
        return;
    CString line;
    line.Format("%d@%s@", code, GetErrorInfo(code));
    SendLine(message, line + message->m_strBody);
    m_pCurSvr->ReportFinish(message, code);
}

void CVirtualFolder::cmd_refresh(CMessage* message)
{
    if (m_pRiver)
        m_pRiver->refresh();
    Refresh();
    m_pCurSvr->ReportFinish(message, kFunctional);
}
