#include "CAgentDoc.h"

#include "CAccountManager.h"
#include "CException.h"
#include "CLog.h"
#include "CProfile.h"
#include "CSignalPipe.h"
#include "CVirtualFolder.h"
#include "CXCrypt.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

const char szVersion[] = "1.30.10";

bool CAgentDoc::m_bDebugOn = false;

namespace
{
const char kProfilePath[] = "/etc/tavrine/Dorvik.rc";
const char kProfileDir[] = "/etc/tavrine";
const int kHostNameSize = 32;
const int kTickSeconds = 2;
// Every 30th tick, once a minute, the agent announces itself again.
const int kTicksPerBroadcast = 30;
// Once the listening and discovery sockets are opened at start-up, a null
// one at the loop means that creating it failed, and the agent ends with
// status 1. Until they are opened the loop waits on the sockets there are.
const bool kListenersOpened = false;

int nTick = 0;
bool bExecuted = false;

struct SignalSetting
{
    int sig;
    CAgentDoc::PFNSIGNAL handler;
    const char* failure;
};

const SignalSetting kSignalSettings[] = {
    {SIGTERM, SignalProcessor, "Can not set fuction to catch SIGTERM\n"},
    {SIGPIPE, SIG_IGN, "Can not ignore signal SIGPIPE\n"},
    {SIGUSR2, SignalProcessor, "Can not set fuction to catch SIGUSR2\n"},
};

// Whether `path` is known not to exist; any other lookup failure counts as
// present.
bool IsMissing(const char* path)
{
    struct stat st;
    return lstat(path, &st) != 0 && errno == ENOENT;
}

// Installs a handler whose signal the loop is to serve; ends the agent with
// `failure` when that cannot be done.
void InstallHandler(int sig, CAgentDoc::PFNSIGNAL handler, const char* failure)
{
    if (!CSignalPipe::Open())
    {
        ShowInfo("Can not open the signal pipe: %s\n", strerror(errno));
        Exit(1);
    }
    if (CAgentDoc::Signal(sig, handler) == SIG_ERR)
    {
        ShowInfo("%s", failure);
        Exit(1);
    }
}

void DeleteSocket(CSocket*& pSocket)
{
    if (!pSocket)
        return;
    pSocket->Close();
    delete pSocket;
    pSocket = nullptr;
}
} // namespace

CAgentDoc::CAgentDoc() : m_strHostName(ReadHostName())
{
    CheckConfigFile();
    CLog::OpenLogfile();
    InitLocation();
}

CAgentDoc::~CAgentDoc()
{
    DeleteTree();
    CLog::CloseLogfile();
}

CString CAgentDoc::ReadHostName()
{
    char name[kHostNameSize] = {};
    // A longer name is cut; the buffer keeps its final NUL either way.
    gethostname(name, sizeof name - 1);
    name[sizeof name - 1] = '\0';
    return CString(name);
}

void CAgentDoc::CheckConfigFile()
{
    if (!IsMissing(kProfilePath) || !IsMissing(kProfileDir))
        return;
    UrgentInfo("config file does not exist,error: %s\n", strerror(ENOENT));
    Exit(1);
}

void CAgentDoc::ParseCommandLine(int argc, char** argv)
{
    const int nArgs = argc - 1;
    const char* first = nArgs > 0 ? argv[1] : "";
    auto is = [first](const char* option) { return strcmp(first, option) == 0; };
    if (nArgs == 3 && (is("/i") || is("-i") || is("--init")))
        InitSystemAccount(argv[2], argv[3]);
    if (nArgs == 1 && (is("-V") || is("--version")))
    {
        ShowInfo("current version is : %s.\n", szVersion);
        exit(0);
    }
    if (nArgs == 1 && (is("-d") || is("--debug") || is("-v") || is("--verbose")))
    {
        m_bDebugOn = true;
        return;
    }
    ShowInfo("Ignored error parameter!\n");
}

void CAgentDoc::InitSystemAccount(const char* name, const char* password)
{
    if (g_am.Init(name, password) != 0)
    {
        ShowInfo("Failed to initialize system sccount!\n");
        exit(1);
    }
    ShowInfo("System initialize successful!\nnew account generated:\naccount name:%s\npassword:%s\n", name,
             password);
    exit(0);
}

void CAgentDoc::ProcessSignal()
{
    for (const SignalSetting& setting : kSignalSettings)
        InstallHandler(setting.sig, setting.handler, setting.failure);
}

// The object tree and the network side are built here, before the timer
// starts, as their parts of the agent arrive.
void CAgentDoc::OnNewDocument()
{
    InitRiver();
    SetTimer();
}

// The machine folder stands in as a plain folder until its own class with
// its methods is in place.
void CAgentDoc::InitLocation()
{
    m_pRoot = new CVirtualFolder;
    m_pRoot->Init(nullptr, this, nullptr);
    CPea* pea = m_pRoot->GetPea();
    pea->SetName(m_strHostName);
    pea->SetAttribute("o--");
    pea->SetContent("2");
    SetAddressProperty();
    CXCrypt::InitLocation(m_strHostName, m_Location);
}

void CAgentDoc::SetAddressProperty()
{
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(m_strHostName, nullptr, &hints, &found) != 0 || !found)
        return;
    char text[INET_ADDRSTRLEN];
    const sockaddr_in* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text))
        m_pRoot->SetPropertyString("IPAddress", text);
    freeaddrinfo(found);
}

bool CAgentDoc::CheckLocation(const unsigned long* pLocation) const
{
    return pLocation && pLocation[0] == m_Location[0] && pLocation[1] == m_Location[1];
}

void CAgentDoc::InitRiver()
{
    CProfile profile(kProfilePath);
    int nDevices = 0;
    profile.GetProfile("Morliven", "NumOfDevice", &nDevices);
    for (int i = 1; i <= nDevices; ++i)
    {
        CString key, name, path;
        key.Format("%s%d", "Device", i);
        profile.GetProfile("Morliven", key, name);
        if (name.IsEmpty())
            continue;
        key.Format("%s%d", "Path", i);
        profile.GetProfile("Morliven", key, path);
        CVirtualFolder* folder = new CVirtualFolder;
        CPea* pea = folder->GetPea();
        pea->SetName(name);
        pea->SetAttribute("o--");
        pea->SetContent("14");
        folder->Init(m_pRoot->GetPea(), this, CreateObject(path));
        m_pRoot->GetPea()->AddPea(pea);
    }
}

IRiver* CAgentDoc::CreateObject(const char* path)
{
    if (!path || !*path)
    {
        ShowInfo("No so to load!\n");
        return nullptr;
    }
    void* handle = dlopen(path, RTLD_LAZY);
    if (!handle)
    {
        ShowInfo("Failed to load %s!\n", path);
        ShowInfo("%s\n", dlerror());
        return nullptr;
    }
    SetMVRaid_TimerProc(handle);
    dlerror();
    PFNCREATEINSTANCE pfnCreate = reinterpret_cast<PFNCREATEINSTANCE>(dlsym(handle, "CreateInstance"));
    const char* error = dlerror();
    if (error || !pfnCreate)
    {
        ShowInfo("Couldn't find CreateInstance()!\n");
        ShowInfo("%s\n", error ? error : "CreateInstance is null");
        // The timer entry was taken from this library and goes with it.
        m_pfnTimerProc = nullptr;
        dlclose(handle);
        return nullptr;
    }
    m_SoList.AppendTail(handle);
    void* river = nullptr;
    pfnCreate(IID_IRiver, &river);
    return static_cast<IRiver*>(river);
}

bool CAgentDoc::SetMVRaid_TimerProc(void* handle)
{
    m_pfnTimerProc = nullptr;
    if (!handle)
        return false;
    dlerror();
    void* entry = dlsym(handle, "MVRaid_TimerProc");
    const char* error = dlerror();
    if (error || !entry)
    {
        ShowInfo("Couldn't find MVRaid_TimerProc()!\n");
        ShowInfo("%s\n", error ? error : "MVRaid_TimerProc is null");
        return false;
    }
    m_pfnTimerProc = reinterpret_cast<PFNTIMERPROC>(entry);
    return true;
}

// Until the management-server links are in place no server is connected,
// so there is nobody to tell.
void CAgentDoc::NotifyServer(unsigned long, const char*, CSvrSocket*) {}

CAgentDoc::PFNSIGNAL CAgentDoc::Signal(int sig, PFNSIGNAL handler)
{
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(sig, &action, &previous) != 0)
        return SIG_ERR;
    return previous.sa_handler;
}

void CAgentDoc::SetTimer()
{
    InstallHandler(SIGALRM, OnTimer, "Can not set function to catch SIGALRM.\n");
    itimerval timer = {};
    timer.it_value.tv_sec = kTickSeconds;
    timer.it_interval.tv_sec = kTickSeconds;
    if (setitimer(ITIMER_REAL, &timer, nullptr) != 0)
    {
        ShowInfo("Can not start the clock timer: %s\n", strerror(errno));
        Exit(1);
    }
}

void CAgentDoc::Run()
{
    ShowInfo("dorvik daemon is running well...\n");
    for (;;)
        ReceiveData(Select());
}

int CAgentDoc::Select()
{
    int nReady;
    while ((nReady = SelectOnce()) < 1)
        ;
    return nReady;
}

// The read set is rebuilt for every wait: the work of a signal may have
// closed a connection, and waiting on its old descriptor would fail forever.
int CAgentDoc::SelectOnce()
{
    m_FdSet.Zero();
    if (kListenersOpened && (!m_pSvrBCRetSocket || !m_pSvrLstnSocket))
        Exit(1);
    AddToReadSet(m_pSvrBCRetSocket);
    AddToReadSet(m_pSvrLstnSocket);
    m_FdSet.Set(CSignalPipe::GetReadFd());
    const int nMaxFd = std::max(CSocket::GetMaxSd(), CSignalPipe::GetReadFd());
    const int nReady = select(nMaxFd + 1, m_FdSet.GetSet(), nullptr, nullptr, nullptr);
    if (RunRecordedSignals())
        return 0;
    return nReady;
}

void CAgentDoc::AddToReadSet(CSocket* pSocket)
{
    if (pSocket)
        m_FdSet.Set(pSocket->GetSd());
}

bool CAgentDoc::IsReady(CSocket* pSocket) const
{
    return pSocket && m_FdSet.IsSet(pSocket->GetSd());
}

// One kind of readiness per pass: discovery, then a new connection, then
// (once connections exist) the connections in list order. What is not
// served stays readable for a later pass.
void CAgentDoc::ReceiveData(int nReady)
{
    if (nReady < 1)
        return;
    if (IsReady(m_pSvrBCRetSocket))
    {
        AcceptServerNotice();
        return;
    }
    if (IsReady(m_pSvrLstnSocket))
        AcceptServerCall();
}

bool CAgentDoc::RunRecordedSignals()
{
    bool bAny = false;
    for (int sig = CSignalPipe::Fetch(); sig != CSignalPipe::kNone; sig = CSignalPipe::Fetch())
    {
        bAny = true;
        OnSignal(sig);
    }
    return bAny;
}

void CAgentDoc::OnSignal(int sig)
{
    switch (sig)
    {
    case SIGALRM:
        OnTimerTick();
        break;
    case SIGUSR2:
        ListConnectedHalsen();
        break;
    case SIGTERM:
        Signal(SIGTERM, SIG_DFL);
        Exit(0);
    case CSignalPipe::kWrongAlarm:
        ShowInfo("catch signal SIGALRM error!\n");
        break;
    default:
        break;
    }
}

void CAgentDoc::OnTimerTick()
{
    if (m_pfnTimerProc)
        m_pfnTimerProc();
    OnClockTick();
}

// The schedule, the connections and the root folder tick here as well, in
// that order, once they exist.
void CAgentDoc::OnClockTick()
{
    if (++nTick % kTicksPerBroadcast == 0)
    {
        BroadcastToWorld();
        nTick = 0;
    }
}

void CAgentDoc::ListConnectedHalsen()
{
    UrgentInfo("no halsen is connected\n");
}

// Runs to the end only once, even when Exit is reached again meanwhile.
void CAgentDoc::DeleteContents()
{
    CLog::FlushLog();
    if (bExecuted)
        return;
    bExecuted = true;
    ShowInfo("Close socket connection!\n");
    DeleteSocket(m_pSvrLstnSocket);
    DeleteSocket(m_pSvrBCRetSocket);
    m_pfnTimerProc = nullptr;
    DeleteTree();
    for (void* handle = m_SoList.GetHead(); handle; handle = m_SoList.GetNext())
        dlclose(handle);
    m_SoList.RemoveAll();
}

// The folders give back their rivers while the plug-ins that made them are
// still loaded.
void CAgentDoc::DeleteTree()
{
    delete m_pRoot;
    m_pRoot = nullptr;
}

// Discovery, connection accepting and announcements belong to the
// management-server links; until those exist there is nothing to serve.
void CAgentDoc::AcceptServerNotice() {}

void CAgentDoc::AcceptServerCall() {}

void CAgentDoc::BroadcastToWorld() {}

void Exit(int status)
{
    ShowInfo("ExitInstance\n");
    ExitInstance(status);
}

void ExitInstance(int status)
{
    g_AgentDoc.DeleteContents();
    exit(status);
}

void OnTimer(int sig)
{
    CSignalPipe::Record(sig == SIGALRM ? SIGALRM : CSignalPipe::kWrongAlarm);
}

void SignalProcessor(int sig)
{
    CSignalPipe::Record(sig);
}

void terminator()
{
    ShowInfo("call our terminator()\n");
    CLog::FlushLog();
    if (old_terminate)
        old_terminate();
    abort();
}

const char* GetErrorInfo(int code)
{
    switch (code)
    {
    case 801:
        return "Error";
    case 802:
        return "Access Denied";
    case 803:
        return "Not found";
    case 804:
        return "Abort";
    case 805:
        return "Invalid argument";
    case 806:
        return "Time Out";
    default:
        return "Functional";
    }
}

int RunProtected(void (*body)())
{
    try
    {
        body();
    }
    catch (CException&)
    {
        return 1;
    }
    catch (...)
    {
        ShowInfo("catch all ... in main()\n");
        return 1;
    }
    return 0;
}
