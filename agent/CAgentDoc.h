#pragma once

#include "CFdSet.h"
#include "PluginInterfaces.h"
#include "CObject.h"
#include "CSocket.h"
#include "CString.h"
#include "TPtrList.h"

#include <exception>

class CSvrSocket;
class CVirtualFolder;
class IRiver;

extern const char szVersion[];

// The one document of the agent: it owns the sockets, the connections, the
// plug-ins and the object tree, starts them up, runs the loop and the clock
// tick, and shuts them down.
class CAgentDoc : public CObject
{
public:
    typedef void (*PFNSIGNAL)(int);
    typedef PFNMVRAIDTIMERPROC PFNTIMERPROC;

    CAgentDoc();
    virtual ~CAgentDoc();
    CAgentDoc(const CAgentDoc&) = delete;
    CAgentDoc& operator=(const CAgentDoc&) = delete;

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

    // This machine's host name, at most 31 characters.
    static CString ReadHostName();

    // The root folder and the agent's identity value.
    void InitLocation();
    // One folder per device of the profile, each bound to the root river
    // of its plug-in library.
    void InitRiver();
    // Loads one plug-in library and returns its root river (with one
    // reference), or null when it cannot be loaded.
    IRiver* CreateObject(const char* path);
    // Takes the timer entry of a loaded library; whether it has one.
    bool SetMVRaid_TimerProc(void* handle);
    // Whether pLocation holds this run's identity value.
    bool CheckLocation(const unsigned long* pLocation) const;
    // Sends a change notice to pSvr, or to every connected management
    // server when it is null.
    void NotifyServer(unsigned long nCode, const char* szText, CSvrSocket* pSvr);

    CFdSet m_FdSet;
    CSocket* m_pSvrLstnSocket = nullptr;
    CSocket* m_pSvrBCRetSocket = nullptr;
    CPtrList m_SoList;
    CString m_strHostName;
    PFNTIMERPROC m_pfnTimerProc = nullptr;
    CVirtualFolder* m_pRoot = nullptr;
    unsigned long m_Location[2] = {0, 0};

    static bool m_bDebugOn;

private:
    [[noreturn]] void InitSystemAccount(const char* name, const char* password);
    void AddToReadSet(CSocket* pSocket);
    bool IsReady(CSocket* pSocket) const;
    // Does the work of every signal recorded since the last call; true when
    // there was any.
    bool RunRecordedSignals();
    void OnSignal(int sig);
    void OnTimerTick();
    void AcceptServerNotice();
    void AcceptServerCall();
    void BroadcastToWorld();
    void SetAddressProperty();
    void DeleteTree();
};

[[noreturn]] void Exit(int status);
[[noreturn]] void ExitInstance(int status);
void OnTimer(int sig);
void SignalProcessor(int sig);
[[noreturn]] void terminator();
const char* GetErrorInfo(int code);
// Runs `body` (the agent's start-up and loop) and returns main's status.
int RunProtected(void (*body)());

extern CAgentDoc g_AgentDoc;
extern std::terminate_handler old_terminate;
