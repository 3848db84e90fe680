#include "CAgentDoc.h"

// The agent's process-wide objects. They are defined in this one file
// because objects of one file are built in the order they are defined: the
// document first, then the account manager (defined right after it once it
// exists), and only then is the uncaught-exception handler replaced.
CAgentDoc g_AgentDoc;

std::terminate_handler old_terminate = std::set_terminate(terminator);
