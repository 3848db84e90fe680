// One driver shared by two programs: the RAID plug-in's tick,
// as the agent runs it, and another program that calls the RAID API in a
// loop, side by side for a bounded time.

#include "ApiHelpers.h"
#include "PluginInterfaces.h"

#include <chrono>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using simtest::Snapshot;

namespace
{
using Clock = std::chrono::steady_clock;
const auto kSideBySide = std::chrono::seconds(2);
const int kMostFailures = 100;

// Both adapters' arrays through the API until the time is up; the number
// of calls that failed.
int CallTheApiUntil(Clock::time_point end)
{
    int failures = 0;
    while (Clock::now() < end && failures < kMostFailures)
        for (int adapter = 0; adapter < 2; adapter++)
        {
            int index = adapter;
            void* handle = &index;
            rasArrayInfo info;
            raeArrayFunctionalStatus functional;
            raeArrayActivityStatus activity;
            int percent = 0;
            if (raInitialize(&handle) != reSOK || raGetArrayInfo(0, &info) != reSOK ||
                raGetArrayStatus(0, &functional, &activity, &percent) != reSOK ||
                functional != reArrayFunctional)
                failures++;
        }
    return failures;
}

TEST(DriverSharing, TheTickAndAnotherProgramNeverBreakEachOthersOpens)
{
    // The library's tables read anew, as the agent reads them at its start.
    apitest::Select("two-adapters");
    void* plugin = dlopen(MVRAID_PATH, RTLD_NOW);
    ASSERT_NE(plugin, nullptr) << dlerror();
    auto create = reinterpret_cast<PFNCREATEINSTANCE>(dlsym(plugin, "CreateInstance"));
    auto tick = reinterpret_cast<PFNMVRAIDTIMERPROC>(dlsym(plugin, "MVRaid_TimerProc"));
    ASSERT_NE(create, nullptr);
    ASSERT_NE(tick, nullptr);
    void* out = nullptr;
    ASSERT_EQ(create(IID_IRiver, &out), S_OK);
    IRiver* root = static_cast<IRiver*>(out);
    ASSERT_NE(root, nullptr);
    zelsim::Counters before = Snapshot()->counters;

    Clock::time_point end = Clock::now() + kSideBySide;
    pid_t caller = fork();
    ASSERT_GE(caller, 0);
    if (caller == 0)
        _exit(CallTheApiUntil(end));
    int ticks = 0;
    while (Clock::now() < end)
    {
        EXPECT_EQ(tick(), S_OK);
        ticks++;
    }
    int status = 0;
    ASSERT_EQ(waitpid(caller, &status, 0), caller);
    root->Release();
    dlclose(plugin);

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "API calls of the other program that failed";
    zelsim::Counters after = Snapshot()->counters;
    EXPECT_GT(ticks, 0);
    EXPECT_GT(after.nodeOpens - before.nodeOpens, 100u) << "both programs kept the driver busy";
    EXPECT_EQ(after.nodeOpenFailures, before.nodeOpenFailures) << "opens that found no node";
    EXPECT_EQ(after.nodeUnlinks, before.nodeUnlinks) << "the node was taken away";
    EXPECT_EQ(after.mknods, before.mknods) << "a right node was made again";
}

// The node is made again only when it is missing or wrong: its type, its
// device number or its permissions.
TEST(DriverSharing, TheNodeIsMadeOnlyWhenMissingOrWrong)
{
    apitest::Select("two-adapters");
    const zelsim::Counters start = Snapshot()->counters;
    BOOL update = 0;
    for (int i = 0; i < 5; i++)
        ASSERT_EQ(raNeedUpdate(&update), reSOK);
    EXPECT_EQ(Snapshot()->counters.mknods, start.mknods) << "a right node is left as it is";

    const struct
    {
        const char* what;
        uint32_t mode;
        uint64_t dev;
    } wrong[] = {
        {"a character device", S_IFCHR | 0644, 253u << 8},
        {"another device number", S_IFBLK | 0644, 254u << 8},
        {"other permissions", S_IFBLK | 0600, 253u << 8},
        {"a plain file", S_IFREG | 0644, 0},
    };
    for (const auto& w : wrong)
    {
        SCOPED_TRACE(w.what);
        simtest::Sim(
            [&](zelsim::SimState& s)
            {
                s.nodeMode = w.mode;
                s.nodeDev = w.dev;
            });
        uint32_t mknods = Snapshot()->counters.mknods;
        ASSERT_EQ(raNeedUpdate(&update), reSOK);
        auto s = Snapshot();
        EXPECT_EQ(s->counters.mknods, mknods + 1);
        EXPECT_EQ(s->nodeMode, uint32_t(S_IFBLK | 0644));
        EXPECT_EQ(s->nodeDev, 253u << 8);
        EXPECT_EQ(s->counters.nodeUnlinks, start.nodeUnlinks) << "replaced by a rename, never removed";
    }
    simtest::Sim([](zelsim::SimState& s) { s.nodeExists = 0; });
    ASSERT_EQ(raNeedUpdate(&update), reSOK);
    EXPECT_EQ(Snapshot()->nodeExists, 1u);
    EXPECT_EQ(Snapshot()->counters.nodeOpenFailures, start.nodeOpenFailures);
}

// The file-creation mask of the program does not decide the node's
// permissions: the agent runs with the mask 077.
TEST(DriverSharing, TheNodeHasItsPermissionsWhateverTheMask)
{
    apitest::Select("two-adapters");
    simtest::Sim([](zelsim::SimState& s) { s.nodeExists = 0; });
    mode_t saved = umask(077);
    BOOL update = 0;
    EXPECT_EQ(raNeedUpdate(&update), reSOK);
    uint32_t mknods = Snapshot()->counters.mknods;
    EXPECT_EQ(raNeedUpdate(&update), reSOK);
    umask(saved);
    EXPECT_EQ(Snapshot()->nodeMode, uint32_t(S_IFBLK | 0644));
    EXPECT_EQ(Snapshot()->counters.mknods, mknods) << "made once, then left alone";
}
} // namespace
