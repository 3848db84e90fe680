#pragma once

// For cases that use the agent's document in their own process: it is
// started (root folder, identity, misc log) as the agent's main starts it
// once it holds the instance lock. A program registers it once:
//   testing::AddGlobalTestEnvironment(new StartedDocument);

#include "CAgentDoc.h"

#include <gtest/gtest.h>

class StartedDocument : public testing::Environment
{
public:
    void SetUp() override { g_AgentDoc.InitInstance(); }
};
