#include "CAgentDoc.h"
#include "CInstanceLock.h"

namespace
{
void StartAndRun()
{
    g_AgentDoc.ProcessSignal();
    g_AgentDoc.OnNewDocument();
    g_AgentDoc.Run();
}
} // namespace

// The usage touches nothing; every other start first takes the lock, so a
// second agent (or an account initialisation beside a running one) is
// turned away before it reads the profile, writes an identity into it,
// opens a log, the account file or a port.
int main(int argc, char** argv)
{
    if (CAgentDoc::IsHelpRequest(argc, argv))
    {
        CAgentDoc::PrintUsage();
        return 0;
    }
    CInstanceLock lock(szLockPath);
    if (!lock.Take())
        return 1;
    g_AgentDoc.InitInstance();
    if (argc > 1)
        g_AgentDoc.ParseCommandLine(argc, argv);
    return RunProtected(StartAndRun);
}
