#include "CAccountManager.h"
#include "CAgentDoc.h"

// The agent's process-wide objects. They are defined in this one file
// because objects of one file are built in the order they are defined: the
// document first, then the account manager, and only then is the uncaught-exception handler replaced.
CAgentDoc g_AgentDoc;
CAccountManager g_am;

std::terminate_handler old_terminate = std::set_terminate(terminator);
