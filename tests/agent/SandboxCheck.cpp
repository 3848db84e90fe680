#include <gtest/gtest.h>

#include <sys/stat.h>

namespace
{
// These tests rewrite /etc/tavrine and /var/log/tavrine and start the agent
// on its real ports, so they refuse to run outside tools/sandbox.
class SandboxCheck : public testing::Environment
{
public:
    void SetUp() override
    {
        struct stat st;
        ASSERT_EQ(stat("/run/tavrine-sandbox", &st), 0)
            << "these tests must run inside tools/sandbox (ctest does that)";
    }
};

testing::Environment* const kSandboxCheck = testing::AddGlobalTestEnvironment(new SandboxCheck);
} // namespace
