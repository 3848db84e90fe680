// A plug-in that takes its time to start, as one probing slow hardware
// would: every CreateInstance sleeps half a second, signals or not, before
// it makes a root river of its own. Each call is first noted as one line in the file that
// the environment variable TEST_SLOW_PLUGIN_TRACE names, when it is set, so
// that a test knows when the agent is inside the call.
#include "CRiver.h"
#include "PluginExports.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace
{
const long kCreateNanoseconds = 500000000;

class SlowRoot : public CRiver
{
public:
    SlowRoot() { Init(nullptr, "slowroot", 14); }

protected:
    ~SlowRoot() override = default;
};

// A signal's handler cuts a plain sleep short; this one goes on to its end.
void SleepThroughSignals()
{
    timespec end;
    clock_gettime(CLOCK_MONOTONIC, &end);
    end.tv_nsec += kCreateNanoseconds;
    end.tv_sec += end.tv_nsec / 1000000000;
    end.tv_nsec %= 1000000000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &end, nullptr) == EINTR)
    {
    }
}

void NoteCall()
{
    const char* path = getenv("TEST_SLOW_PLUGIN_TRACE");
    if (!path)
        return;
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const ssize_t n = write(fd, "call\n", 5);
    (void)n;
    close(fd);
}
} // namespace

STATUS CreateInstance(unsigned iid, void** out)
{
    NoteCall();
    SleepThroughSignals();
    if (!out)
        return S_OK;
    *out = nullptr;
    // The caller's reference, taken by the query, is the only one left.
    CRiver* root = new SlowRoot;
    root->AddRef();
    root->QueryInterface(iid, out);
    root->Release();
    return S_OK;
}

STATUS MVRaid_TimerProc()
{
    return S_OK;
}
