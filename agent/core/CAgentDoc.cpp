#include "CAgentDoc.h"

#include "CAccountManager.h"
#include "CEmail.h"
#include "CEventEnum.h"
#include "HostName.h"
#include "MonotonicClock.h"
#include "CException.h"
#include "CLog.h"
#include "CProfile.h"
#include "CRAIDMachine.h"
#include "CSignalPipe.h"
#include "CSvrSocket.h"
#include "CUserGroup.h"
#include "CVirtualFolder.h"
#include "CXCrypt.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <arpa/inet.h>
#include <ctime>
#include <dlfcn.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

const char szVersion[] = "1.30.10";
const char szLockPath[] = "/run/dorvik.pid";

bool& CAgentDoc::m_bDebugOn = CLog::m_bDebugOn;

namespace
{
const char kProfilePath[] = "/etc/tavrine/Dorvik.rc";
const char kProfileDir[] = "/etc/tavrine";
const char kUsageText[] =
    "Usage: dorvik [-d|--debug|-v|--verbose]\n"
    "       dorvik -i|--init NAME PASSWORD\n"
    "       dorvik -V|--version\n"
    "       dorvik -h|--help\n"
    "\n"
    "The Tavrine RAID management agent: management servers find it, log on\n"
    "and manage this machine's RAID adapters through it. It runs in the\n"
    "foreground; one agent runs on a machine at a time.\n"
    "\n"
    "  -d, --debug, -v, --verbose  also print every packet received and sent\n"
    "  -i, /i, --init NAME PASSWORD  make a new account file with the one\n"
    "                    administrator NAME, replacing the old one, and exit\n"
    "  -V, --version     print the version and exit\n"
    "  -h, --help        print this text and exit\n"
    "Any other arguments are ignored with a message, and the agent starts.\n"
    "\n"
    "Files:\n"
    "  /etc/tavrine/Dorvik.rc     the profile: plug-ins, identity, mail, notice lists\n"
    "  /etc/tavrine/ZELRAID.PWD   the account file (ZELRAID.PW_ while it changes)\n"
    "  /var/log/tavrine/          the event logs, one per folder\n"
    "  /var/log/tavrine/misc/     the agent's own messages, a file per start\n"
    "  /run/dorvik.pid            the lock a running agent holds, with its process id\n"
    "  /tmp/right.txt             the trace of changed rights\n"
    "Ports: TCP 710 (management), UDP 713 (discovery), UDP 712 (announcements).\n";
const int kTickSeconds = 2;
// Every 30th tick, once a minute, the agent announces itself again.
const int kTicksPerBroadcast = 30;

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
    {SIGINT, SignalProcessor, "Can not set fuction to catch SIGINT\n"},
    // Until the clock starts, an alarm can only be a stray one.
    {SIGALRM, SIG_IGN, "Can not ignore signal SIGALRM\n"},
};

// The signals that end the agent, in the loop and during start-up alike.
bool IsStopSignal(int sig)
{
    return sig == SIGTERM || sig == SIGINT;
}

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

const char kBroadcastAddress[] = "255.255.255.255";
const char kDiscoveryPrefix[] = "TAVRINE_HALSEN";
const int kListenBacklog = 256;
const int kMostBindWaits = 600;
const int kDiscoveryBufSize = 256;
const int kRecvBufSize = 1024;
// Descriptors kept free above FD_SETSIZE, so that a connection beyond what
// select can watch is still accepted and refused cleanly instead of being
// left waiting in the backlog.
const rlim_t kSpareDescriptors = 64;

// Lets the process open descriptors beyond FD_SETSIZE, within the hard
// limit.
void RaiseDescriptorLimit()
{
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    rlim_t wanted = FD_SETSIZE + kSpareDescriptors;
    if (limit.rlim_max != RLIM_INFINITY && wanted > limit.rlim_max)
        wanted = limit.rlim_max;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted)
    {
        limit.rlim_cur = wanted;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The text before the first "#", leading blanks removed, is the prefix.
bool IsDiscoveryRequest(const char* text)
{
    CString request(text);
    request.TrimLeft(' ');
    const int nHash = request.FindIndex('#');
    if (nHash < 0)
        return false;
    request.Left(nHash);
    request.MakeUpper();
    return request == kDiscoveryPrefix;
}

const char kNoticeSection[] = "LogEvent";
const char kEmailNoticeKey[] = "EmailNotice";
const char kReportNoticeKey[] = "ReportNotice";

bool ReadNoticeList(const char* key, CString& strList)
{
    CProfile profile;
    profile.GetProfile(kNoticeSection, key, strList);
    return true;
}

bool WriteNoticeList(const char* key, const char* szList)
{
    unsigned long count = 0;
    unsigned long* ids = nullptr;
    if (!CLog::strListSyntax(szList, count, ids))
        return false;
    delete[] ids;
    CProfile profile;
    return profile.WriteProfile(kNoticeSection, key, szList);
}

// Mails the event, unless mail is turned off; a mail that fails becomes
// an event of its own in the same folder's log.
void MailEvent(CAgentDoc* pDoc, const CLog& log, const char* szProduct, const char* szFolderPath)
{
    CEmail mail;
    if (!mail.GetEnable())
        return;
    mail.m_strSender = szProduct;
    CString body, subject, error;
    log.ToEmailString(body, subject);
    if (mail.SendMessage(subject, body, error))
        return;
    CString text;
    text.Format("0@%u@1@Email Error@%s.", static_cast<unsigned>(time(nullptr)), error.GetBuffer());
    CLog failure(pDoc, szFolderPath, text);
    failure.Store();
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
    CEmail::SetHostName(m_strHostName);
}

void CAgentDoc::InitInstance()
{
    CheckConfigFile();
    CProfile::RemoveLeftovers(kProfilePath);
    CLog::OpenLogfile();
    InitLocation();
}

CAgentDoc::~CAgentDoc()
{
    DeleteTree();
    CLog::CloseLogfile();
}

bool CAgentDoc::GetEmailNoticeList(CString& strList) { return ReadNoticeList(kEmailNoticeKey, strList); }

bool CAgentDoc::GetReportNoticeList(CString& strList) { return ReadNoticeList(kReportNoticeKey, strList); }

bool CAgentDoc::SetEmailNoticeList(const char* szList) { return WriteNoticeList(kEmailNoticeKey, szList); }

bool CAgentDoc::SetReportNoticeList(const char* szList) { return WriteNoticeList(kReportNoticeKey, szList); }

bool CAgentDoc::OnNewEvent(const char* szEvent, const char* szFolderPath, CString& strIsMorliven,
                           CString& strReport)
{
    CLog log(this, szFolderPath, szEvent);
    if (log.NeedEmailReport())
        MailEvent(this, log, strIsMorliven == "yes" ? "Morliven" : "Kindravel", szFolderPath);
    strReport.Empty();
    bool report = log.NeedConsoleReport();
    if (report)
        log.ToConsoleString(strReport);
    log.Store();
    return report;
}

bool CAgentDoc::ClearEvent(const char* szFolderPath)
{
    CLog log(this, szFolderPath, nullptr);
    return log.ClearEvent();
}

void* CAgentDoc::EnumEvent(const char* szFolderPath, unsigned long& pos, unsigned long& magic, unsigned long flags)
{
    return CEventEnum::Open(this, szFolderPath, pos, magic, flags);
}

bool CAgentDoc::GetNextEvent(void* handle, CString& strEvent)
{
    strEvent.Empty();
    return handle && static_cast<CEventEnum*>(handle)->GetNext(strEvent);
}

bool CAgentDoc::CloseEnumEvent(void* handle, unsigned long& pos, unsigned long& magic)
{
    if (!handle)
        return false;
    CEventEnum* pEnum = static_cast<CEventEnum*>(handle);
    pEnum->Close(pos, magic);
    delete pEnum;
    return true;
}

CString CAgentDoc::ReadHostName() { return ReadMachineHostName(); }

void CAgentDoc::CheckConfigFile()
{
    if (!IsMissing(kProfilePath) || !IsMissing(kProfileDir))
        return;
    UrgentInfo("config file does not exist,error: %s\n", strerror(ENOENT));
    Exit(1);
}

bool CAgentDoc::IsHelpRequest(int argc, char** argv)
{
    return argc > 1 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0);
}

void CAgentDoc::PrintUsage()
{
    fputs(kUsageText, stdout);
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
    // The password is never printed: this output is copied to the misc log.
    ShowInfo("System initialize successful!\nnew account generated:\naccount name:%s\n", name);
    exit(0);
}

void CAgentDoc::ProcessSignal()
{
    for (const SignalSetting& setting : kSignalSettings)
        InstallHandler(setting.sig, setting.handler, setting.failure);
}

// The object tree is built before the network side, so the first
// connection already finds it.
void CAgentDoc::OnNewDocument()
{
    InitRiver();
    InitUserGroup();
    ListenServerCall();
    ListenServerNotice();
    m_bNetworkOpened = true;
    BroadcastToWorld();
    SetTimer();
}

CVirtualFolder* CAgentDoc::GetRootFolder() { return m_pRoot; }

void CAgentDoc::InitLocation()
{
    m_pRoot = new CRAIDMachine;
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
        // A plug-in may take long to load and its tree to build: a stop
        // that came meanwhile is obeyed before the next one.
        RunRecordedSignals();
    }
    m_pRoot->AddOwnEntries();
}

void CAgentDoc::InitUserGroup()
{
    CUserGroup* group = new CUserGroup;
    group->Init(m_pRoot->GetPea(), this);
    m_pRoot->GetPea()->AddPea(group->GetPea());
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
    m_WriteSet.Zero();
    if (m_bNetworkOpened && (!m_pSvrBCRetSocket || !m_pSvrLstnSocket))
        Exit(1);
    AddToReadSet(m_pSvrBCRetSocket);
    if (!m_bAcceptPaused)
        AddToReadSet(m_pSvrLstnSocket);
    AddConnectionsToSets();
    m_FdSet.Set(CSignalPipe::GetReadFd());
    // Descriptors from FD_SETSIZE up are never in the sets (connections
    // there are refused), and select must not look beyond them.
    const int nMaxFd = std::min(std::max(CSocket::GetMaxSd(), CSignalPipe::GetReadFd()), FD_SETSIZE - 1);
    const int nReady = select(nMaxFd + 1, m_FdSet.GetSet(), m_WriteSet.GetSet(), nullptr, nullptr);
    if (RunRecordedSignals())
        return 0;
    return nReady;
}

void CAgentDoc::AddToReadSet(CSocket* pSocket)
{
    if (pSocket)
        m_FdSet.Set(pSocket->GetSd());
}

void CAgentDoc::AddConnectionsToSets()
{
    for (CSvrSocket* pSvr = m_SvrList.GetHead(); pSvr; pSvr = m_SvrList.GetNext())
    {
        // A connection paused after failed logons, or whose long reply is
        // still being made, is not read meanwhile.
        if (!pSvr->IsPaused() && !pSvr->IsReplying())
            m_FdSet.Set(pSvr->GetSd());
        if (pSvr->HasPendingOutput())
            m_WriteSet.Set(pSvr->GetSd());
    }
}

bool CAgentDoc::IsReady(CSocket* pSocket) const
{
    return pSocket && m_FdSet.IsSet(pSocket->GetSd());
}

// Waiting output goes out first, whatever else is ready. Then one kind of
// readiness per pass: discovery, then a new connection, then the
// connections in list order. What is not served stays readable for a later
// pass.
void CAgentDoc::ReceiveData(int nReady)
{
    if (nReady < 1)
        return;
    SendPendingOutput();
    if (IsReady(m_pSvrBCRetSocket))
        AcceptServerNotice();
    else if (IsReady(m_pSvrLstnSocket))
        AcceptServerCall();
    else
        ServeReadyConnections();
    DeleteRemoved();
}

void CAgentDoc::SendPendingOutput()
{
    TPtrList<CSvrSocket> writable;
    CopyServers(writable, &m_WriteSet);
    for (CSvrSocket* pSvr = writable.GetHead(); pSvr; pSvr = writable.GetNext())
    {
        if (!pSvr->IsDisconnected())
            pSvr->SendPending();
    }
}

void CAgentDoc::ServeReadyConnections()
{
    TPtrList<CSvrSocket> ready;
    CopyServers(ready, &m_FdSet);
    for (CSvrSocket* pSvr = ready.GetHead(); pSvr; pSvr = ready.GetNext())
    {
        if (!pSvr->IsDisconnected())
            pSvr->ReceiveMessage();
    }
}

bool CAgentDoc::RunRecordedSignals()
{
    bool bAny = false;
    const int nStop = ServeRecordedSignals(bAny);
    if (nStop != CSignalPipe::kNone)
        Stop(nStop);
    return bAny;
}

int CAgentDoc::ServeRecordedSignals(bool& bAny)
{
    for (int sig = CSignalPipe::Fetch(); sig != CSignalPipe::kNone; sig = CSignalPipe::Fetch())
    {
        bAny = true;
        if (IsStopSignal(sig))
            return sig;
        OnSignal(sig);
    }
    return CSignalPipe::kNone;
}

// The same signal once more during the shutdown ends the agent at once.
void CAgentDoc::Stop(int sig)
{
    Signal(sig, SIG_DFL);
    Exit(0);
}

// The other signals are served as they come and the sleep goes on to its
// end, so that the binds stay a second apart.
void CAgentDoc::SleepServingSignals(int nMilliseconds)
{
    const long long nDeadline = MonotonicMs() + nMilliseconds;
    for (long long nLeft = nMilliseconds; nLeft > 0; nLeft = nDeadline - MonotonicMs())
    {
        if (!CSignalPipe::Wait(static_cast<int>(nLeft)))
            continue;
        bool bAny = false;
        const int nStop = ServeRecordedSignals(bAny);
        if (nStop != CSignalPipe::kNone)
        {
            ShowInfo("\n");
            Stop(nStop);
        }
    }
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

// The schedule ticks before the connections, so that the folders see its
// alarm, and the tree after them.
void CAgentDoc::OnClockTick()
{
    if (++nTick % kTicksPerBroadcast == 0)
    {
        BroadcastToWorld();
        nTick = 0;
    }
    m_Schedule.OnClockTick();
    m_bAcceptPaused = false;
    TickConnections();
    if (m_pRoot)
        m_pRoot->OnClockTick();
    DeleteRemoved();
}

void CAgentDoc::TickConnections()
{
    TPtrList<CSvrSocket> all;
    CopyServers(all, nullptr);
    for (CSvrSocket* pSvr = all.GetHead(); pSvr; pSvr = all.GetNext())
    {
        if (!pSvr->IsDisconnected())
            pSvr->OnClockTick();
    }
}

void CAgentDoc::ListConnectedHalsen()
{
    if (m_SvrList.IsEmpty())
    {
        UrgentInfo("no halsen is connected\n");
        return;
    }
    UrgentInfo("the current connected halsen is listed:\n");
    for (CSvrSocket* pSvr = m_SvrList.GetHead(); pSvr; pSvr = m_SvrList.GetNext())
        UrgentInfo("halsen:\t%s\n", pSvr->GetRemoteIP());
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
    RemoveServer(nullptr);
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

void CAgentDoc::ListenServerCall()
{
    RaiseDescriptorLimit();
    m_pSvrLstnSocket = new CSocket;
    try
    {
        m_pSvrLstnSocket->Socket(SOCK_STREAM);
        const int nOn = 1;
        m_pSvrLstnSocket->SetSockOpt(SO_REUSEADDR, &nOn, sizeof nOn, SOL_SOCKET);
        BindListenPort(m_pSvrLstnSocket);
        m_pSvrLstnSocket->Listen(kListenBacklog);
        // A peer that resets between select and accept must not leave the
        // agent waiting in accept.
        if (!m_pSvrLstnSocket->SetNonBlocking())
            throw CException("SetSockOpt error");
    }
    catch (CException&)
    {
        DeleteSocket(m_pSvrLstnSocket);
        ShowInfo("Can not start tavrine dorvik to listen...!\n");
    }
    catch (...)
    {
        ShowInfo("catch all...when create TAVRINE_AGT_PORT\n");
        Exit(1);
    }
}

// Another process may still hold the port (an agent that just ended, for
// one): the bind is tried once a second for about ten minutes. A stop
// signal ends the wait, and the agent, at once.
void CAgentDoc::BindListenPort(CSocket* pSocket)
{
    int nError;
    int nFailures = 0;
    while ((nError = pSocket->Bind(TAVRINE_AGT_PORT)) == EADDRINUSE)
    {
        if (++nFailures == 1)
            ShowInfo("please wait for a while: .");
        else
            ShowInfo(nFailures % 10 == 0 ? ". " : ".");
        if (nFailures > kMostBindWaits)
        {
            ShowInfo("Network doesn't work well!\n");
            Exit(1);
        }
        SleepServingSignals(1000);
    }
    ShowInfo("\n");
    if (nError != 0)
        throw CException("Binding TAVRINE_AGT_PORT error");
}

void CAgentDoc::ListenServerNotice()
{
    m_pSvrBCRetSocket = new CSocket;
    try
    {
        m_pSvrBCRetSocket->Socket(SOCK_DGRAM);
        if (m_pSvrBCRetSocket->Bind(DORVIK_BROADCAST_PORT) != 0)
            throw CException("Binding DORVIK_BROADCAST_PORT error");
        if (!m_pSvrBCRetSocket->SetNonBlocking())
            throw CException("SetSockOpt error");
    }
    catch (CException&)
    {
        DeleteSocket(m_pSvrBCRetSocket);
    }
    catch (...)
    {
        ShowInfo("catch all...when create DORVIK_BROADCAST_PORT\n");
        Exit(1);
    }
}

void CAgentDoc::BroadcastToWorld()
{
    CString text("TAVRINE_RAID#");
    text += m_strHostName;
    text += "#Hello World!";
    try
    {
        CSocket socket;
        socket.Socket(SOCK_DGRAM);
        const int nOn = 1;
        socket.SetSockOpt(SO_BROADCAST, &nOn, sizeof nOn, SOL_SOCKET);
        socket.SendTo(text.GetBuffer(), text.GetLength(), kBroadcastAddress, DORVIK_ANNOUNCE_PORT, 0);
    }
    catch (CException&)
    {
        // An announcement that cannot go out is simply missed; the next one
        // follows within a minute.
    }
}

// The answer is a broadcast, not a reply to the sender.
void CAgentDoc::AcceptServerNotice()
{
    static char szBuf[kDiscoveryBufSize];
    CString from;
    int nPort = 0;
    const int nGot = m_pSvrBCRetSocket->ReceiveFrom(szBuf, sizeof szBuf - 1, from, nPort, 0);
    if (nGot <= 0)
        return;
    szBuf[nGot] = '\0';
    if (IsDiscoveryRequest(szBuf))
        BroadcastToWorld();
}

void CAgentDoc::AcceptServerCall()
{
    CSvrSocket* pSvr = new CSvrSocket(kRecvBufSize);
    try
    {
        m_pSvrLstnSocket->Accept(*pSvr);
    }
    catch (CException&)
    {
        const int nError = errno;
        delete pSvr;
        if (nError == EMFILE || nError == ENFILE)
            PauseAccepting(nError);
        return;
    }
    catch (...)
    {
        delete pSvr;
        ShowInfo("catch all ... when accept server call\n");
        return;
    }
    if (pSvr->GetSd() >= FD_SETSIZE || !pSvr->SetNonBlocking())
    {
        RefuseConnection(pSvr);
        return;
    }
    // A command is answered with several small packets; without this each
    // one after the first waits for the peer's delayed acknowledgement,
    // some 40 ms a reply. A socket that refuses it is only slower.
    const int nNoDelay = 1;
    setsockopt(pSvr->GetSd(), IPPROTO_TCP, TCP_NODELAY, &nNoDelay, sizeof nNoDelay);
    pSvr->Init(this);
    m_SvrList.AppendTail(pSvr);
    m_bAcceptFailing = false;
}

void CAgentDoc::PauseAccepting(int nError)
{
    m_bAcceptPaused = true;
    if (m_bAcceptFailing)
        return;
    m_bAcceptFailing = true;
    ShowInfo("Can not accept a connection: %s; new connections wait for a free descriptor\n", strerror(nError));
}

void CAgentDoc::RefuseConnection(CSvrSocket* pSvr)
{
    ShowInfo("Refused connection from %s: %d connections are open, as many as the agent can watch\n",
             pSvr->GetRemoteIP(), m_SvrList.GetCount());
    delete pSvr;
}

void CAgentDoc::RemoveServer(CSvrSocket* pSvr)
{
    if (!pSvr)
    {
        for (CSvrSocket* p = m_SvrList.GetHead(); p; p = m_SvrList.GetNext())
        {
            p->Disconnect();
            delete p;
        }
        m_SvrList.RemoveAll();
        DeleteRemoved();
        return;
    }
    const int nPos = m_SvrList.FindIndex(pSvr);
    if (nPos == 0)
        return;
    m_SvrList.RemoveAt(nPos);
    pSvr->Disconnect();
    m_RemovedList.AppendTail(pSvr);
    BroadcastToWorld();
}

void CAgentDoc::DeleteRemoved()
{
    if (!m_RemovedList.IsEmpty())
        m_bAcceptPaused = false;
    for (CSvrSocket* pSvr = m_RemovedList.GetHead(); pSvr; pSvr = m_RemovedList.GetNext())
        delete pSvr;
    m_RemovedList.RemoveAll();
}

void CAgentDoc::NotifyServer(unsigned long nCode, const char* szText, CSvrSocket* pSvr)
{
    if (pSvr)
    {
        pSvr->NotifyServer(static_cast<int>(nCode), szText);
        return;
    }
    TPtrList<CSvrSocket> all;
    CopyServers(all, nullptr);
    for (CSvrSocket* p = all.GetHead(); p; p = all.GetNext())
    {
        if (!p->IsDisconnected())
            p->NotifyServer(static_cast<int>(nCode), szText);
    }
}

void CAgentDoc::CopyServers(TPtrList<CSvrSocket>& out, const CFdSet* pReady)
{
    for (CSvrSocket* pSvr = m_SvrList.GetHead(); pSvr; pSvr = m_SvrList.GetNext())
    {
        if (!pReady || pReady->IsSet(pSvr->GetSd()))
            out.AppendTail(pSvr);
    }
}

void CAgentDoc::OnFolderRemoved(const CVirtualFolder* folder)
{
    LeaveFolder(m_SvrList, folder);
    LeaveFolder(m_RemovedList, folder);
}

void CAgentDoc::LeaveFolder(TPtrList<CSvrSocket>& list, const CVirtualFolder* folder)
{
    for (int i = 1; i <= list.GetCount(); ++i)
    {
        CSvrSocket* pSvr = list.GetAt(i);
        if (pSvr->m_pCurFolder && pSvr->m_pCurFolder->IsWithin(folder))
            pSvr->SetCurrentFolder(m_pRoot);
    }
}

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
