#include "CAgentDoc.h"

namespace
{
void StartAndRun()
{
    g_AgentDoc.ProcessSignal();
    g_AgentDoc.OnNewDocument();
    g_AgentDoc.Run();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        g_AgentDoc.ParseCommandLine(argc, argv);
    return RunProtected(StartAndRun);
}
