#include "SimStore.h"
#include "SimModel.h"
#include "SimProcFiles.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

namespace zelsim
{

const char kDefaultStatePath[] = "/tmp/zelsim.state";

namespace
{
class LockedFile
{
public:
    LockedFile(int flags) : m_fd(open(StatePath().c_str(), flags | O_CLOEXEC, 0644))
    {
        if (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0)
        {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~LockedFile()
    {
        if (m_fd >= 0)
            close(m_fd); // releases the lock
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    bool Ok() const { return m_fd >= 0; }

    bool Read(SimState& s)
    {
        return pread(m_fd, &s, sizeof(s), 0) == static_cast<ssize_t>(sizeof(s)) && s.magic == kMagic &&
               s.version == kStateVersion;
    }

    bool Write(const SimState& s)
    {
        return pwrite(m_fd, &s, sizeof(s), 0) == static_cast<ssize_t>(sizeof(s)) &&
               ftruncate(m_fd, sizeof(s)) == 0;
    }

private:
    int m_fd;
};
} // namespace

std::string StatePath()
{
    const char* path = getenv("ZELSIM_STATE");
    return path && *path ? path : kDefaultStatePath;
}

int64_t NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool UpdateState(const std::function<void(SimState&)>& change)
{
    LockedFile f(O_RDWR);
    auto s = std::make_unique<SimState>();
    if (!f.Ok() || !f.Read(*s))
        return false;
    AdvanceClock(*s, NowMs());
    TakePrintkSink(*s);
    change(*s);
    return f.Write(*s);
}

bool WriteState(const SimState& s)
{
    LockedFile f(O_RDWR | O_CREAT);
    // Writes still waiting belong to the state being replaced.
    unlink(PrintkSinkPath().c_str());
    return f.Ok() && f.Write(s);
}

} // namespace zelsim
