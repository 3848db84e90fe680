#pragma once

#include "CDrop.h"
#include "CString.h"
#include "PluginExports.h"
#include "TPtrList.h"

#include <cstdarg>

struct tagSINK;

// The base of every plug-in object: a named river with a flat list of drops
// (properties, methods and child rivers), reached by the agent through
// IRiver and IConnection. A river lives until its last reference goes; a
// parent holds one reference on each child it lists.
class CRiver : public IRiver, public IConnection
{
public:
    CRiver();
    CRiver(const CRiver&) = delete;
    CRiver& operator=(const CRiver&) = delete;

    // IUnknown, shared by both interface tables.
    long AddRef() override;
    long Release() override;
    STATUS QueryInterface(unsigned iid, void** out) override;

    // IRiver
    STATUS cd(const char* name, IUnknown** out) override;
    STATUS dir(IUnknown** out) override;
    STATUS get(const char* name, char** out) override;
    STATUS invoke(const char* method, const char* args) override;
    STATUS refresh() override;
    STATUS set(const char* name, const char* value, unsigned long unused) override;

protected:
    virtual ~CRiver();

public:
    // Hooks for the objects built on the river.
    // Brings drop's value up to date before it is read.
    virtual STATUS OnGetProperty(CDrop* drop);
    virtual void OnRefresh();
    // Runs the method; its status is what invoke reports.
    virtual STATUS InvokeDispatch(const char* method, const char* args);
    // Writes value to the writable property of drop; its status is what
    // set reports. The base keeps the value in the drop; an object whose
    // property stands for something outside writes that, or declines with
    // E_NOTIMPL and leaves the value as it was.
    virtual STATUS OnSetProperty(CDrop* drop, const char* value);
    virtual void Display();

    // IConnection
    STATUS Lock() override;
    STATUS UnLock() override;
    STATUS GetHead(IUnknown** out) override;
    STATUS GetNext(IUnknown** out) override;
    STATUS Advise(IUnknown* sink, unsigned long* cookie) override;
    STATUS Unadvise(unsigned long cookie) override;

    // Names the river and adds its "handle"; false (and not inited) when the
    // name is not usable as a drop name.
    bool Init(CRiver* parent, const char* name, int type);
    bool IsInited() const { return m_bInited; }
    CRiver* GetParent() const { return m_pParent; }
    const CString& GetName() const { return m_name; }
    int GetType() const { return m_type; }

    // The decimal number that stands for this river while it lives.
    int GetIdentity() const { return m_nIdentity; }
    // The live river with that identity number, or null.
    static CRiver* FromIdentity(int identity);

    // Results are 1 when the drop was made or changed, 0 when it was refused.
    int AddDrop(const char* name, unsigned flags, const char* value);
    CDrop* FindDrop(const char* name);
    int AddRiver(CRiver* child, const char* name = nullptr);
    int AddMethod(const char* name, unsigned mask);
    int SetPropertyString(const char* name, unsigned flags, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    int SetPropertyInt(const char* name, unsigned flags, int value);
    int SetPropertyBinary(const char* name, unsigned flags, const unsigned char* bytes, int length);
    CString GetPropertyString(const char* name, const char* fallback);
    int GetPropertyInt(const char* name, int fallback);

    void DeleteDrop(CDrop* drop);
    void DeleteDrops();
    CDrop* GetRiverHead();
    // The next child river from the 1-based position pos, skipping other
    // drops; pos becomes -1 after the last drop and the result is null at
    // the end.
    CRiver* GetNextRiver(int& pos, CDrop*& drop);
    // The drop at the 1-based position, or null.
    CDrop* GetDropAt(int pos) const { return m_DropList.GetAt(pos); }
    int GetDropCount() const { return m_DropList.GetCount(); }

    // Tells every advised sink; the result is the last sink's (0 without any).
    STATUS Fire_RAIDNotification(unsigned long code);
    void DisplayAllDrops();

private:
    int SetPropertyText(const char* name, unsigned flags, const char* value);
    // Unlinks the child river of drop from this parent.
    void Orphan(CDrop* drop);
    static int NewIdentity();

    TPtrList<CDrop> m_DropList;
    bool m_bInited = false;
    CString m_name;
    int m_type = 16;
    CRiver* m_pParent = nullptr;
    long m_nRef = 0;
    TPtrList<tagSINK> m_ConList;
    unsigned long m_nNextCookie = 1;
    int m_nIdentity;
};

// The argument splitter of the method handlers: splits text in place at
// separator; a field in double quotes may hold separators. fields is a new
// array that the caller frees with delete[]; count is the number of whole
// fields (an unterminated quoted field is stored after them, uncounted).
PLUGIN_EXPORT void ParseCommandString(char* text, int& count, char**& fields, char separator);
