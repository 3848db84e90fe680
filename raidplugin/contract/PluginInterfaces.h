#pragma once

#include <cstdint>

// The contract between the agent and its RAID plug-ins. Both sides compile
// against this one header, so the identifiers, the status words and the
// order of the table slots cannot drift apart.
//
// Ownership across the contract: AddRef and Release count references and
// return the new count; an object handed out through an out parameter
// carries one reference that the receiver releases. Texts handed out by
// the plug-in (IRiver::get, IEventLog::ReadEventLog) are allocated with
// new[] and freed by the receiver with delete[].

// 0 is success; failures are 0x8000xxxx (or 1 for a plain refusal).
typedef uint32_t STATUS;

const STATUS S_OK = 0;
const STATUS S_FALSE = 1;
const STATUS E_NOTIMPL = 0x80000001;
const STATUS E_OUTOFMEMORY = 0x80000002;
const STATUS E_NOINTERFACE = 0x80004002;
const STATUS E_FAIL = 0x80004005;
const STATUS E_ACCESSDENIED = 0x80004009;
const STATUS E_INVALIDARG = 0x80070057;

const unsigned IID_IUnknown = 0x55AA0000;
const unsigned IID_IEnumString = 0x55AA0001;
const unsigned IID_IConnection = 0x55AA0002;
const unsigned IID_IRiver = 0x55AA0101;
const unsigned IID_IRAIDEvent = 0x55AA0102;
const unsigned IID_IEventLog = 0x55AA0103;

// Every text that crosses the contract (a dir entry, a name, a value) is
// shorter than this, terminating NUL included; IEnumString::Next writes
// into buffers of exactly this size.
const unsigned RIVER_TEXT_SIZE = 1024;

// The interfaces have no virtual destructor: objects are destroyed by their
// own Release, never through an interface pointer, so the destructors are
// protected. The default bodies answer "not supported".
class IUnknown
{
public:
    virtual long AddRef() { return -1; }
    virtual long Release() { return -1; }
    virtual STATUS QueryInterface(unsigned iid, void** out)
    {
        (void)iid;
        if (out)
            *out = nullptr;
        return S_FALSE;
    }

protected:
    ~IUnknown() = default;
};

class IEnumString : public IUnknown
{
public:
    // Copies up to count entries into count caller buffers of
    // RIVER_TEXT_SIZE bytes each.
    virtual STATUS Next(unsigned long count, char** buffers, unsigned long* fetched)
    {
        (void)count, (void)buffers, (void)fetched;
        return S_FALSE;
    }
    virtual STATUS Skip(unsigned long count)
    {
        (void)count;
        return S_FALSE;
    }
    virtual STATUS Reset() { return S_FALSE; }
    virtual STATUS Clone(IEnumString** out)
    {
        (void)out;
        return S_FALSE;
    }

protected:
    ~IEnumString() = default;
};

class IConnection : public IUnknown
{
public:
    virtual STATUS Lock() { return S_FALSE; }
    virtual STATUS UnLock() { return S_FALSE; }
    virtual STATUS GetHead(IUnknown** out)
    {
        (void)out;
        return S_FALSE;
    }
    virtual STATUS GetNext(IUnknown** out)
    {
        (void)out;
        return S_FALSE;
    }
    virtual STATUS Advise(IUnknown* sink, unsigned long* cookie)
    {
        (void)sink, (void)cookie;
        return S_FALSE;
    }
    virtual STATUS Unadvise(unsigned long cookie)
    {
        (void)cookie;
        return S_FALSE;
    }

protected:
    ~IConnection() = default;
};

class IRiver : public IUnknown
{
public:
    virtual STATUS cd(const char* name, IUnknown** out)
    {
        (void)name, (void)out;
        return S_FALSE;
    }
    virtual STATUS dir(IUnknown** out)
    {
        (void)out;
        return S_FALSE;
    }
    virtual STATUS get(const char* name, char** out)
    {
        (void)name, (void)out;
        return S_FALSE;
    }
    // Returns the method's own status: 0 when it did its work.
    virtual STATUS invoke(const char* method, const char* args)
    {
        (void)method, (void)args;
        return S_FALSE;
    }
    virtual STATUS refresh() { return S_FALSE; }
    virtual STATUS set(const char* name, const char* value, unsigned long unused)
    {
        (void)name, (void)value, (void)unused;
        return S_FALSE;
    }

protected:
    ~IRiver() = default;
};

class IRAIDEvent : public IUnknown
{
public:
    virtual STATUS RAIDNotification(unsigned long code)
    {
        (void)code;
        return S_FALSE;
    }

protected:
    ~IRAIDEvent() = default;
};

class IEventLog : public IUnknown
{
public:
    virtual STATUS ClearLog() { return S_FALSE; }
    virtual STATUS ReadEventLog(char** text, unsigned long* length)
    {
        (void)text, (void)length;
        return S_FALSE;
    }
    virtual STATUS GetNewCount(unsigned long* count)
    {
        (void)count;
        return S_FALSE;
    }

protected:
    ~IEventLog() = default;
};

// The exports every plug-in library offers, looked up by name.
extern "C" {
typedef STATUS (*PFNCREATEINSTANCE)(unsigned iid, void** out);
typedef STATUS (*PFNMVRAIDTIMERPROC)();
}
