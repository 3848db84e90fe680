#pragma once

#include "CFdSet.h"
#include "PluginInterfaces.h"
#include "CFolderOwner.h"
#include "CObject.h"
#include "CSchedule.h"
#include "ReplyTexts.h"
#include "CSocket.h"
#include "CString.h"
#include "TPtrList.h"

#include <exception>

class CRAIDMachine;
class CSvrSocket;
class CVirtualFolder;
class IRiver;

extern const char szVersion[];
// The lock a running agent holds, with its process id.
extern const char szLockPath[];

// Fixed ports of the management links.
enum
{
    TAVRINE_AGT_PORT = 710,
    DORVIK_ANNOUNCE_PORT = 712,
    DORVIK_BROADCAST_PORT = 713,
};

// The one document of the agent: it owns the sockets, the connections, the
// plug-ins and the object tree, starts them up, runs the loop and the clock
// tick, and shuts them down.
class CAgentDoc : public CObject, public CFolderOwner
{
public:
    typedef void (*PFNSIGNAL)(int);
    typedef PFNMVRAIDTIMERPROC PFNTIMERPROC;

    CAgentDoc();
    virtual ~CAgentDoc();
    CAgentDoc(const CAgentDoc&) = delete;
    CAgentDoc& operator=(const CAgentDoc&) = delete;

    // The start-up work that touches files: the profile check, the misc
    // log, the root folder and a new identity in the profile. main calls it
    // once it holds the instance lock; the constructor, which runs before
    // main, touches no file.
    void InitInstance();
    // Whether the command line asks for the usage, which is printed without
    // touching any file.
    static bool IsHelpRequest(int argc, char** argv);
    static void PrintUsage();
    void ParseCommandLine(int argc, char** argv);
    void ProcessSignal();
    void OnNewDocument();
    [[noreturn]] void Run();
    // Installs `handler` with an empty mask and SA_RESTART; returns the
    // previous handler, or SIG_ERR (-1) when sigaction fails.
    static PFNSIGNAL Signal(int sig, PFNSIGNAL handler);
    void SetTimer();
    // Waits until a socket is readable; returns how many are (at least 1).
    int Select();
    // One wait: runs the signals recorded meanwhile and then returns 0, or
    // returns the number of readable sockets when no signal came.
    int SelectOnce();
    void ReceiveData(int nReady);
    void OnClockTick();
    void DeleteContents();
    void ListConnectedHalsen();
    void CheckConfigFile();

    void ListenServerCall();
    void ListenServerNotice();
    void BroadcastToWorld();
    void AcceptServerNotice();
    void AcceptServerCall();
    // Takes one connection out (or all of them, at shutdown, when pSvr is
    // null) and disconnects it; the object lives on until the pass that
    // removed it is over.
    void RemoveServer(CSvrSocket* pSvr) override;
    // Sends a change notice to pSvr, or to every connected management
    // server when it is null.
    void NotifyServer(unsigned long nCode, const char* szText, CSvrSocket* pSvr) override;
    // The folder a new connection starts in.
    CVirtualFolder* GetRootFolder() override;
    // Moves every connection that is in folder, or below it, to the root,
    // before folder goes.
    void OnFolderRemoved(const CVirtualFolder* folder) override;

    // The notice lists of the events that are mailed and of those pushed to
    // the management servers; a list that fails the syntax check is refused
    // and the stored one stays.
    bool GetEmailNoticeList(CString& strList) override;
    bool GetReportNoticeList(CString& strList) override;
    bool SetEmailNoticeList(const char* szList) override;
    bool SetReportNoticeList(const char* szList) override;

    // The event work of a folder, named by its path ("/" for the root). A
    // new event is mailed when its id is on the e-mail notice list (a mail
    // that fails leaves an "Email Error" event before it) and always stored
    // in the folder's log. True when its id is on the report notice list;
    // `strReport` is then the text the folder pushes to the servers.
    bool OnNewEvent(const char* szEvent, const char* szFolderPath, CString& strIsMorliven, CString& strReport) override;
    bool ClearEvent(const char* szFolderPath) override;
    // An enumeration of the folder's log, or null when it cannot start.
    void* EnumEvent(const char* szFolderPath, unsigned long& pos, unsigned long& magic, unsigned long flags) override;
    bool GetNextEvent(void* handle, CString& strEvent) override;
    // Ends the enumeration and gives back where to resume it.
    bool CloseEnumEvent(void* handle, unsigned long& pos, unsigned long& magic) override;

    // This machine's host name, at most 31 characters.
    static CString ReadHostName();

    // The root folder and the agent's identity value.
    void InitLocation();
    // One folder per device of the profile, each bound to the root river
    // of its plug-in library.
    void InitRiver();
    // The "Users" folder under the root.
    void InitUserGroup();
    // Loads one plug-in library and returns its root river (with one
    // reference), or null when it cannot be loaded.
    IRiver* CreateObject(const char* path);
    // Takes the timer entry of a loaded library; whether it has one.
    bool SetMVRaid_TimerProc(void* handle);
    // Whether pLocation holds this run's identity value.
    bool CheckLocation(const unsigned long* pLocation) const override;
    CFdSet m_FdSet;
    // Connections with replies still waiting to go out are watched for
    // writability as well.
    CFdSet m_WriteSet;
    TPtrList<CSvrSocket> m_SvrList;
    CSocket* m_pSvrLstnSocket = nullptr;
    CSocket* m_pSvrBCRetSocket = nullptr;
    CPtrList m_SoList;
    CString m_strHostName;
    PFNTIMERPROC m_pfnTimerProc = nullptr;
    CRAIDMachine* m_pRoot = nullptr;
    unsigned long m_Location[2] = {0, 0};
    // When the arrays are verified.
    CSchedule m_Schedule;
    CSchedule& GetSchedule() override { return m_Schedule; }
    const CString& GetHostName() const override { return m_strHostName; }

    // The same switch as the log's, under the document's name.
    static bool& m_bDebugOn;

private:
    [[noreturn]] void InitSystemAccount(const char* name, const char* password);
    void AddToReadSet(CSocket* pSocket);
    bool IsReady(CSocket* pSocket) const;
    // Does the work of every signal recorded since the last call, and ends
    // the agent at a stop signal; true when there was any.
    bool RunRecordedSignals();
    // The same up to a stop signal, which is left to the caller: returns
    // it, or CSignalPipe::kNone. bAny is set when any signal was recorded.
    int ServeRecordedSignals(bool& bAny);
    [[noreturn]] void Stop(int sig);
    // Sleeps while serving the signals that come meanwhile; a stop signal
    // ends the line of the port wait and then the agent.
    void SleepServingSignals(int nMilliseconds);
    void OnSignal(int sig);
    void OnTimerTick();
    void AddConnectionsToSets();
    // Copies the connections (only those set in pReady, when given) so
    // that handlers may remove connections while the copy is walked.
    void CopyServers(TPtrList<CSvrSocket>& out, const CFdSet* pReady);
    void SendPendingOutput();
    void ServeReadyConnections();
    void TickConnections();
    void DeleteRemoved();
    void RefuseConnection(CSvrSocket* pSvr);
    // After an accept that failed for want of descriptors, the listening
    // socket is not watched until one may be free again: at the next tick,
    // or when a connection goes. Otherwise the pending connection would
    // keep the loop busy and keep it from serving the others.
    void PauseAccepting(int nError);
    void BindListenPort(CSocket* pSocket);

    // Connections removed during the current pass, destroyed at its end.
    TPtrList<CSvrSocket> m_RemovedList;
    // Set once the listening and discovery sockets have been opened; a
    // null one at the loop after that means that opening it failed.
    bool m_bNetworkOpened = false;
    // Set while new connections wait for a free descriptor; the failure is
    // told once until an accept succeeds again.
    bool m_bAcceptPaused = false;
    bool m_bAcceptFailing = false;
    void SetAddressProperty();
    void DeleteTree();
    void LeaveFolder(TPtrList<CSvrSocket>& list, const CVirtualFolder* folder);
};

[[noreturn]] void Exit(int status);
[[noreturn]] void ExitInstance(int status);
void OnTimer(int sig);
void SignalProcessor(int sig);
[[noreturn]] void terminator();
// Runs `body` (the agent's start-up and loop) and returns main's status.
int RunProtected(void (*body)());

extern CAgentDoc g_AgentDoc;
extern std::terminate_handler old_terminate;
