#include "CAccountManager.h"
#include "CAgentDoc.h"

// The agent's process-wide objects. They are defined in this one file
// because objects of one file are built in the order they are defined: the
// document first, then the account manager, and only then is the uncaught-exception handler replaced.
// Building them touches no file: the document's start-up work waits in
// main for the instance lock (CAgentDoc::InitInstance).
CAgentDoc g_AgentDoc;
CAccountManager g_am;

std::terminate_handler old_terminate = std::set_terminate(terminator);
