#pragma once

#include "CPea.h"
#include "CString.h"
#include "PluginInterfaces.h"

class CFolderOwner;
class CMessage;
class CSvrSocket;

// A folder of the agent's tree. It either mirrors a plug-in river, whose
// dir listing gives its entries and whose child rivers give its
// sub-folders, or is built by the agent itself. Its own entry in the
// parent's child list is the pea it carries; its entries are that pea's
// children. A folder owns its entries: the leaf entries it made and the
// sub-folders it created, which go when they vanish from the river or when
// the folder itself goes.
class CVirtualFolder : public IRAIDEvent
{
public:
    // Bit of a method's rights mask: the method may be run only by a client
    // that proved to be on the agent's own machine.
    enum : unsigned
    {
        kLocalOnly = 0x08000000
    };

    // Command words of the folder commands.
    enum
    {
        kCmdAccess = 4097,
        kCmdDir = 4098,
        kCmdCd = 4099,
        kCmdGet = 4100,
        kCmdSet = 4101,
        kCmdInvoke = 4102,
        kCmdRefresh = 4103,
        kCmdClose = 4104,
        kCmdPing = 4105,
    };

    // Reply codes of the folder commands.
    enum
    {
        kFunctional = 800,
        kError = 801,
        kAccessDenied = 802,
        kNotFound = 803,
        kInvalidArgument = 805,
    };

    // Notice to a connection that sent a command before logging on, and
    // the notice that carries a new event to the servers.
    enum
    {
        kNoticeNoUser = 8192,
        kNoticeEvent = 8195
    };

    CVirtualFolder();
    virtual ~CVirtualFolder();
    CVirtualFolder(const CVirtualFolder&) = delete;
    CVirtualFolder& operator=(const CVirtualFolder&) = delete;

    // Counted, but the folder's life is its parent's business.
    long AddRef() override;
    long Release() override;
    STATUS QueryInterface(unsigned iid, void** out) override;
    // A change notice of the plug-in, passed on to the management servers.
    STATUS RAIDNotification(unsigned long code) override;

    // Runs the method in the river and turns its status into a reply code:
    // 800 done, 805 bad arguments, 802 refused, 801 any other failure (and
    // always without a river).
    virtual int InvokeDispatch(CMessage* message, const char* method, const char* args);
    // Writes a property: a mirroring folder hands the value to its river
    // and answers with the river's status as an invoke does; a river that
    // declines the write, and a folder without a river, have nothing to
    // write and answer 0, the value unchanged. Subclasses serve their own.
    virtual int OnSetProperty(const char* name, const char* value, unsigned rights);
    // The rights of the user logged on in the current connection, 0 when
    // there is none.
    virtual unsigned GetUserRight();
    // Serves the packet that the connection has just received.
    virtual void OnProcessCommand(CSvrSocket* svr);
    // Lists the entries, each method with the rights the user holds on it;
    // methods the user may not run are left out.
    virtual void cmd_dir(CMessage* message);
    // The agent's clock tick: hands the river's new adapter events to the
    // document, starts the scheduled verify of an array when it is due, and
    // ticks the sub-folders.
    virtual void OnClockTick();

    // Links the folder under parent. With a river, the folder takes over the
    // caller's reference on it (giving back a previous river), advises
    // itself as the river's sink and fills its entries from the river.
    void Init(CPea* parent, CFolderOwner* doc, IRiver* river);
    void SetCurrentSvr(CSvrSocket* svr) { m_pCurSvr = svr; }
    // Whether this folder is folder or lies below it.
    bool IsWithin(const CVirtualFolder* folder) const;
    CPea* GetPea() { return &m_Pea; }
    IRiver* GetRiver() const { return m_pRiver; }
    unsigned long GetCookie() const { return m_nCookie; }
    // The folder that carries pea, or null for a leaf entry.
    static CVirtualFolder* FromPea(CPea* pea) { return pea ? pea->GetFolder() : nullptr; }

    CString GetPropertyString(const char* name, const char* fallback);
    int GetPropertyInt(const char* name, int fallback);
    // Sets the value of an entry, making a writable property when there is
    // none; true.
    bool SetPropertyString(const char* name, const char* value);
    bool SetPropertyInt(const char* name, int value);
    bool AddMethod(const char* name, unsigned mask);

    // Takes one dir entry (name@attribute@value) into the folder: updates
    // the entry of that name or makes it (a sub-folder for an object).
    // Returns the entry, or null when the text is malformed.
    CPea* AddPea(const CString& entry);
    // Fills the entries from the river's dir listing; entries it no longer
    // lists are removed.
    virtual void Refresh();

    // The child river named name, with one reference for the caller; null
    // when there is none.
    static IRiver* GetSubRiverPtr(const char* name, IRiver* river);

    // The rights a user holds on a method of that mask; a local-only method
    // gives none to a client that is not local.
    static unsigned EffectiveRights(unsigned userRights, unsigned mask, bool local);
    // The reply code for a method's status.
    static int InvokeResult(STATUS status);
    // The text of a change notice: the folder's path and text.
    CString NoticeText(const char* text) const;
    // Sends a change notice to target, or to every management server when
    // target is null.
    void NotifyServer(unsigned long code, const char* text, CSvrSocket* target);

    bool ConnectSink();
    void DisconnectSink();

protected:
    CFolderOwner* GetDoc() const { return m_pDoc; }
    // Sends one data line of the command in message.
    void SendLine(CMessage* message, const CString& line);
    // A hook for subclasses that compute a property's value when it is
    // read: 800 with value set replaces the stored one; the base has
    // nothing to compute and answers 0.
    int OnGetProperty(const char* name, CString& value);
    CSvrSocket* GetCurrentSvr() const { return m_pCurSvr; }
    // The user handle of the connection whose command is being served, or
    // null.
    void* GetCaller() const;
    // Removes an entry and destroys it (with its folder, for an object).
    void RemovePea(CPea* pea);
    void cmd_get(CMessage* message);

private:
    // Lets through only what a connection without a valid user may send,
    // then dispatches the command.
    void VerifyAndProcess(CMessage* message);
    void Dispatch(CMessage* message);
    void cmd_access(CMessage* message);
    void cmd_cd(CMessage* message);
    void cmd_set(CMessage* message);
    void cmd_invoke(CMessage* message);
    void cmd_refresh(CMessage* message);
    void cmd_close(CMessage* message);
    void cmd_ping(CMessage* message);
    // The folder a cd body leads to, or null.
    CVirtualFolder* CdTarget(const CString& target);
    int GetEntry(CPea* pea, CString& line);
    // The rights the current user holds on a method entry.
    unsigned MethodRights(const CPea* method);
    // name@attribute@rights of a method entry.
    void MethodLine(const CPea* method, unsigned rights, CString& line) const;
    int RunMethod(CMessage* message, const CString& method, const CString& args);
    // Stands for a method whose whole reply, its own line and closing reply
    // included, was handed to the connection to be sent as the peer reads.
    enum
    {
        kReplyStarted = -1
    };
    // The folder's own event methods, for a folder whose river keeps an
    // event log; false when method is none of them.
    bool RunEventMethod(CMessage* message, const CString& method, const CString& args, int& code);
    bool ReadEvent(CMessage* message, const CString& method, const CString& args);
    // The folder's path with "/" separators, which names its event log.
    CString LogPath() const;
    void CollectEvents();
    void HandEvent(const char* text);

    // The pea embedded in a folder, which leads back to it.
    class CFolderPea : public CPea
    {
    public:
        explicit CFolderPea(CVirtualFolder* folder) : m_pFolder(folder) {}
        CVirtualFolder* GetFolder() const override { return m_pFolder; }

    private:
        CVirtualFolder* m_pFolder;
    };

    // Splits text at its first "@", which must follow at least one
    // character; false when there is none such.
    static bool SplitField(const CString& text, CString& field, CString& rest);
    CPea* UpdatePea(CPea* pea, const CString& name, const CString& attribute, const CString& value);
    CPea* NewLeaf(const CString& name, const CString& attribute, const CString& value);
    CPea* NewFolder(const CString& name, const CString& attribute, const CString& value);
    // Whether river is already mirrored by this folder or one above it,
    // which would make the tree endless.
    bool IsMirroredAbove(IRiver* river) const;
    void ReleaseRiver();

    CFolderPea m_Pea;
    long m_nRef = 0;
    IRiver* m_pRiver = nullptr;
    unsigned long m_nCookie = 0;
    CFolderOwner* m_pDoc = nullptr;
    // The connection whose command is being served.
    CSvrSocket* m_pCurSvr = nullptr;
    // "yes" when the river's events come from the adapter itself, passed
    // with every event the folder collects.
    CString m_strIsMorliven;
};
