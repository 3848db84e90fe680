#include "CRiver.h"

#include "CEnumDrop.h"
#include "IntText.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// An advised sink and the cookie it was given. Cookies are never reused
// within a river, so removing one sink cannot make another's cookie name a
// different sink.
struct tagSINK
{
    IRAIDEvent* m_pSink;
    unsigned long m_nCookie;
};

namespace
{
// Every live river, for turning identity numbers back into rivers.
TPtrList<CRiver>& LiveRivers()
{
    static TPtrList<CRiver> rivers;
    return rivers;
}

int g_nLastIdentity = 0;

// Hands a new reference on object to out.
STATUS HandOut(IUnknown* object, void** out)
{
    object->AddRef();
    *out = object;
    return S_OK;
}
} // namespace

CRiver::CRiver() : m_nIdentity(NewIdentity()) { LiveRivers().AppendTail(this); }

CRiver::~CRiver()
{
    DeleteDrops();
    while (!m_ConList.IsEmpty())
    {
        delete m_ConList.GetAt(1);
        m_ConList.RemoveAt(1);
    }
    TPtrList<CRiver>& rivers = LiveRivers();
    rivers.RemoveAt(rivers.FindIndex(this));
}

int CRiver::NewIdentity()
{
    // Numbers count up and, after the largest, start again at 1, passing
    // over those still in use.
    do
        g_nLastIdentity = g_nLastIdentity == INT_MAX ? 1 : g_nLastIdentity + 1;
    while (FromIdentity(g_nLastIdentity));
    return g_nLastIdentity;
}

CRiver* CRiver::FromIdentity(int identity)
{
    TPtrList<CRiver>& rivers = LiveRivers();
    for (int i = 1; i <= rivers.GetCount(); ++i)
    {
        CRiver* river = rivers.GetAt(i);
        if (river->m_nIdentity == identity)
            return river;
    }
    return nullptr;
}

long CRiver::AddRef() { return ++m_nRef; }

long CRiver::Release()
{
    long count = --m_nRef;
    if (count == 0)
        delete this;
    return count;
}

STATUS CRiver::QueryInterface(unsigned iid, void** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    switch (iid)
    {
    case IID_IUnknown:
    case IID_IRiver:
        return HandOut(static_cast<IRiver*>(this), out);
    case IID_IConnection:
        return HandOut(static_cast<IConnection*>(this), out);
    default:
        return E_NOINTERFACE;
    }
}

STATUS CRiver::cd(const char* name, IUnknown** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    CDrop* drop = FindDrop(name);
    if (!drop || !drop->IsObject() || !drop->GetChild())
        return S_FALSE;
    return drop->GetChild()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
}

STATUS CRiver::dir(IUnknown** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    CEnumDrop* drops = new (std::nothrow) CEnumDrop;
    if (!drops)
        return E_OUTOFMEMORY;
    drops->Init(this, 1);
    drops->AddRef();
    *out = drops;
    return S_OK;
}

STATUS CRiver::get(const char* name, char** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (!FindDrop(name))
        return S_FALSE;
    CString value = GetPropertyString(name, "");
    *out = new char[value.GetLength() + 1];
    memcpy(*out, value.GetBuffer(), value.GetLength() + 1);
    return S_OK;
}

STATUS CRiver::invoke(const char* method, const char* args)
{
    CDrop* drop = FindDrop(method);
    if (!drop || !drop->IsMethod())
        return S_FALSE;
    return InvokeDispatch(method, args ? args : "");
}

STATUS CRiver::refresh()
{
    OnRefresh();
    return S_OK;
}

STATUS CRiver::set(const char* name, const char* value, unsigned long)
{
    CDrop* drop = FindDrop(name);
    if (!drop || drop->IsObject() || !drop->IsPropWrite() || !value)
        return S_FALSE;
    return OnSetProperty(drop, value);
}

STATUS CRiver::OnSetProperty(CDrop* drop, const char* value) { return drop->SetContent(value) ? S_OK : E_INVALIDARG; }

STATUS CRiver::OnGetProperty(CDrop*) { return S_OK; }

void CRiver::OnRefresh() {}

STATUS CRiver::InvokeDispatch(const char*, const char*) { return S_OK; }

void CRiver::Display()
{
    printf("Now show the content of a river\n");
    printf("Name: %s\n", m_name.GetBuffer());
    printf("Type: %d\n", m_type);
}

// The plug-in runs on the agent's one thread: nothing to lock.
STATUS CRiver::Lock() { return S_OK; }

STATUS CRiver::UnLock() { return S_OK; }

STATUS CRiver::GetHead(IUnknown** out)
{
    if (!out)
        return E_INVALIDARG;
    tagSINK* sink = m_ConList.GetHead();
    *out = sink ? sink->m_pSink : nullptr;
    return S_OK;
}

STATUS CRiver::GetNext(IUnknown** out)
{
    if (!out)
        return E_INVALIDARG;
    tagSINK* sink = m_ConList.GetNext();
    *out = sink ? sink->m_pSink : nullptr;
    return S_OK;
}

STATUS CRiver::Advise(IUnknown* sink, unsigned long* cookie)
{
    if (!sink || !cookie)
        return E_INVALIDARG;
    // Only a sink that takes notifications is kept; the river keeps no
    // reference on it.
    IRAIDEvent* events = nullptr;
    if (sink->QueryInterface(IID_IRAIDEvent, reinterpret_cast<void**>(&events)) != S_OK || !events)
        return E_NOINTERFACE;
    events->Release();
    *cookie = m_nNextCookie++;
    m_ConList.AppendTail(new tagSINK{events, *cookie});
    return S_OK;
}

STATUS CRiver::Unadvise(unsigned long cookie)
{
    for (int i = 1; i <= m_ConList.GetCount(); ++i)
    {
        tagSINK* sink = m_ConList.GetAt(i);
        if (sink->m_nCookie == cookie)
        {
            m_ConList.RemoveAt(i);
            delete sink;
            return S_OK;
        }
    }
    return S_FALSE;
}

bool CRiver::Init(CRiver* parent, const char* name, int type)
{
    if (!CDrop::IsValidName(name))
        return false;
    m_name = name;
    m_type = type;
    m_pParent = parent;
    SetPropertyString("handle", DT_P_READ, "%d;%d", m_nIdentity, m_type);
    m_bInited = true;
    return true;
}

int CRiver::AddDrop(const char* name, unsigned flags, const char* value)
{
    CDrop* drop = FindDrop(name);
    if (drop)
    {
        if (!drop->Init(name, flags, value))
            return 0;
        if (!drop->IsObject())
            Orphan(drop);
        return 1;
    }
    drop = new CDrop;
    if (!drop->Init(name, flags, value))
    {
        delete drop;
        return 0;
    }
    m_DropList.AppendTail(drop);
    return 1;
}

CDrop* CRiver::FindDrop(const char* name)
{
    if (!name)
        return nullptr;
    // Walked with the list's cursor, one step a drop: a walk by positions
    // would count from the head for every drop, and a river of thousands
    // of drops would take minutes to fill. Nothing else walks the drops
    // with the cursor.
    for (CDrop* drop = m_DropList.GetHead(); drop; drop = m_DropList.GetNext())
    {
        if (drop->GetName() == name)
            return drop;
    }
    return nullptr;
}

int CRiver::AddRiver(CRiver* child, const char* name)
{
    if (!child || !child->IsInited() || child == this)
        return 0;
    if (!name)
        name = child->m_name;
    CString value;
    value.Format("%d;%d", child->m_nIdentity, child->m_type);
    if (!AddDrop(name, DT_OBJECT, value))
        return 0;
    CDrop* drop = FindDrop(name);
    if (drop->GetChild() != child)
        Orphan(drop);
    drop->SetChild(child);
    return 1;
}

int CRiver::AddMethod(const char* name, unsigned mask)
{
    char value[16];
    snprintf(value, sizeof value, "%d", static_cast<int>(mask));
    return AddDrop(name, DT_METHOD, value);
}

int CRiver::SetPropertyText(const char* name, unsigned flags, const char* value)
{
    // Without flags an existing drop keeps its own and a new one is a
    // readable and writable property.
    if (!flags)
    {
        CDrop* drop = FindDrop(name);
        flags = drop ? drop->GetFlags() : DT_P_READ | DT_P_WRITE;
    }
    return AddDrop(name, flags, value);
}

int CRiver::SetPropertyString(const char* name, unsigned flags, const char* format, ...)
{
    // Formatted into a buffer of the contract's size: a longer value could
    // not be listed anyway and is refused.
    char value[RIVER_TEXT_SIZE];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(value, sizeof value, format, args);
    va_end(args);
    if (length < 0 || length >= static_cast<int>(sizeof value))
        return 0;
    return SetPropertyText(name, flags, value);
}

int CRiver::SetPropertyInt(const char* name, unsigned flags, int value)
{
    return SetPropertyString(name, flags, "%d", value);
}

int CRiver::SetPropertyBinary(const char* name, unsigned flags, const unsigned char* bytes, int length)
{
    if (length < 0 || (length > 0 && !bytes) || length >= static_cast<int>(RIVER_TEXT_SIZE) / 2)
        return 0;
    char value[RIVER_TEXT_SIZE];
    for (int i = 0; i < length; ++i)
    {
        value[2 * i] = static_cast<char>('A' + (bytes[i] & 0x0F));
        value[2 * i + 1] = static_cast<char>('A' + (bytes[i] >> 4));
    }
    value[2 * length] = 0;
    return SetPropertyText(name, flags, value);
}

CString CRiver::GetPropertyString(const char* name, const char* fallback)
{
    CDrop* drop = FindDrop(name);
    if (!drop)
        return CString(fallback);
    OnGetProperty(drop);
    return drop->GetContent();
}

int CRiver::GetPropertyInt(const char* name, int fallback)
{
    int value = fallback;
    ParseLeadingInt(GetPropertyString(name, ""), value);
    return value;
}

void CRiver::Orphan(CDrop* drop)
{
    CRiver* child = drop->GetChild();
    if (child && child->m_pParent == this)
        child->m_pParent = nullptr;
    drop->SetChild(nullptr);
}

void CRiver::DeleteDrop(CDrop* drop)
{
    int position = m_DropList.FindIndex(drop);
    if (!position)
        return;
    m_DropList.RemoveAt(position);
    Orphan(drop);
    delete drop;
}

void CRiver::DeleteDrops()
{
    while (!m_DropList.IsEmpty())
        DeleteDrop(m_DropList.GetAt(1));
}

CDrop* CRiver::GetRiverHead() { return m_DropList.GetAt(1); }

CRiver* CRiver::GetNextRiver(int& pos, CDrop*& drop)
{
    drop = nullptr;
    while (pos > 0)
    {
        CDrop* next = m_DropList.GetNext(pos);
        if (next && next->IsObject() && next->GetChild())
        {
            drop = next;
            return next->GetChild();
        }
    }
    return nullptr;
}

STATUS CRiver::Fire_RAIDNotification(unsigned long code)
{
    // A sink may change the sink list while it is told, so the walk goes by
    // position rather than by the list's shared cursor.
    Lock();
    STATUS result = S_OK;
    for (int i = 1; i <= m_ConList.GetCount(); ++i)
        result = m_ConList.GetAt(i)->m_pSink->RAIDNotification(code);
    UnLock();
    return result;
}

void CRiver::DisplayAllDrops()
{
    printf("Now displaying all drops in m_DropList\n");
    for (int i = 1; i <= m_DropList.GetCount(); ++i)
    {
        CDrop* drop = m_DropList.GetAt(i);
        printf("Number %d\n", i);
        printf("Name: %s\n", drop->GetName().GetBuffer());
        printf("Content: %s\n", drop->GetContent().GetBuffer());
        printf("Attribute: %s\n", drop->GetAttribute().GetBuffer());
        printf("----------------------------------------\n");
    }
    printf("End displaying\n");
}
