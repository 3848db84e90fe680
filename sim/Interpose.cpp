// Preloaded in front of the C library: answers the calls that the driver
// library makes on the RAID driver's files and device node from the shared
// simulator state, and hands every other path and descriptor on unchanged.

#include "SimDriver.h"
#include "SimModel.h"
#include "SimProcFiles.h"
#include "SimStore.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zelsim;

namespace
{
const char kProcDevices[] = "/proc/devices";
const char kProcMounts[] = "/proc/mounts";
const char kProcScsi[] = "/proc/scsi/scsi";
const char kProcModules[] = "/proc/modules";
const char kPrintk[] = "/proc/sys/kernel/printk";

#define REAL(name)                                                                                                    \
    static decltype(&name) real_##name = nullptr;                                                                     \
    if (!real_##name)                                                                                                 \
        real_##name = reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name));

// Descriptors that stand for the device node, and for the message levels
// opened for writing.
constexpr int kMaxDescriptors = 1024;
std::atomic<bool> g_node[kMaxDescriptors];
std::atomic<bool> g_printk[kMaxDescriptors];

bool IsNode(int fd)
{
    return fd >= 0 && fd < kMaxDescriptors && g_node[fd].load();
}

bool IsPrintk(int fd)
{
    return fd >= 0 && fd < kMaxDescriptors && g_printk[fd].load();
}

bool Is(const char* path, const char* name)
{
    return path && strcmp(path, name) == 0;
}

// Runs a change on the state; ENXIO when there is no simulator state.
int WithState(const std::function<int(SimState&)>& change)
{
    int err = 0;
    if (!UpdateState([&](SimState& s) { err = change(s); }))
        return ENXIO;
    return err;
}

int Fail(int err)
{
    errno = err;
    return -1;
}

FILE* TextFile(const std::string& text)
{
    FILE* f = fmemopen(nullptr, text.size() + 1, "w+");
    if (!f)
        return nullptr;
    fwrite(text.data(), 1, text.size(), f);
    rewind(f);
    return f;
}

FILE* OpenProcDevices()
{
    std::string text;
    if (WithState([&](SimState& s) {
            s.counters.procDevicesOpens++;
            text = DevicesText(s);
            return 0;
        }) != 0)
        return nullptr;
    return TextFile(text);
}

FILE* OpenMounts()
{
    std::string text;
    if (WithState([&](SimState& s) {
            text.assign(s.mounts, strnlen(s.mounts, sizeof(s.mounts)));
            return 0;
        }) != 0)
        return nullptr;
    return TextFile(text);
}

// Whatever is written to the SCSI control file between open and close is
// recorded as one write.
struct ScsiCookie
{
    std::string data;
};

ssize_t ScsiWrite(void* cookie, const char* buf, size_t size)
{
    static_cast<ScsiCookie*>(cookie)->data.append(buf, size);
    return static_cast<ssize_t>(size);
}

int ScsiClose(void* cookie)
{
    ScsiCookie* c = static_cast<ScsiCookie*>(cookie);
    WithState([&](SimState& s) {
        RecordScsiWrite(s, c->data.data(), c->data.size());
        return 0;
    });
    delete c;
    return 0;
}

FILE* OpenScsi(const char* mode)
{
    if (mode[0] != 'w' && mode[0] != 'a')
        return TextFile("Attached devices:\n");
    cookie_io_functions_t io = {nullptr, ScsiWrite, nullptr, ScsiClose};
    return fopencookie(new ScsiCookie, "w", io);
}

bool IsKernelText(const char* path)
{
    return Is(path, kProcModules) || Is(path, kPrintk);
}

// The text a read of the module list or the message levels finds, or
// false without simulator state.
bool KernelText(const char* path, std::string* text)
{
    return WithState([&](SimState& s) {
               *text = Is(path, kPrintk) ? PrintkText(s) : ModulesText(s);
               return 0;
           }) == 0;
}

ssize_t PrintkWrite(const void* buf, size_t size)
{
    int err = WithState([&](SimState& s) { return WritePrintk(s, static_cast<const char*>(buf), size); });
    return err ? Fail(err) : static_cast<ssize_t>(size);
}

ssize_t PrintkCookieWrite(void*, const char* buf, size_t size)
{
    return PrintkWrite(buf, size);
}

FILE* OpenKernelFile(const char* path, const char* mode)
{
    std::string text;
    if (mode[0] == 'r' && !strchr(mode, '+'))
        return KernelText(path, &text) ? TextFile(text) : nullptr;
    if (!Is(path, kPrintk))
    {
        errno = EACCES;
        return nullptr;
    }
    cookie_io_functions_t io = {nullptr, PrintkCookieWrite, nullptr, nullptr};
    return fopencookie(nullptr, "w", io);
}

// A descriptor reading the text, or writing the levels through write().
int OpenKernelDescriptor(const char* path, int flags)
{
    REAL(open);
    if ((flags & O_ACCMODE) != O_RDONLY)
    {
        if (!Is(path, kPrintk))
            return Fail(EACCES);
        // Writes through this descriptor are taken at once; those that
        // reach it another way (after a dup2, from a child) land in the
        // sink and are taken at the next access.
        int fd = real_open(PrintkSinkPath().c_str(), O_WRONLY | O_APPEND | O_CREAT | (flags & O_CLOEXEC), 0600);
        if (fd >= 0 && fd < kMaxDescriptors)
            g_printk[fd] = true;
        return fd;
    }
    std::string text;
    if (!KernelText(path, &text))
        return Fail(ENXIO);
    int fd = memfd_create("zelsim", flags & O_CLOEXEC ? MFD_CLOEXEC : 0);
    if (fd < 0)
        return -1;
    if (pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
    {
        int err = errno;
        REAL(close);
        real_close(fd);
        return Fail(err);
    }
    return fd;
}

// Files of the driver are served from the state, the rest by the C library.
FILE* SimFopen(const char* path, const char* mode, FILE* (*real)(const char*, const char*))
{
    if (IsKernelText(path))
        return OpenKernelFile(path, mode);
    if (Is(path, kProcDevices))
        return OpenProcDevices();
    if (Is(path, kProcMounts))
        return OpenMounts();
    if (Is(path, kProcScsi))
        return OpenScsi(mode);
    return real(path, mode);
}

int OpenNodeDescriptor(int flags)
{
    int err = WithState(OpenNode);
    if (err)
        return Fail(err);
    REAL(open);
    int fd = real_open("/dev/null", (flags & O_ACCMODE) | O_CLOEXEC);
    if (fd >= 0 && fd < kMaxDescriptors)
        g_node[fd] = true;
    return fd;
}

mode_t FileCreationMask()
{
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

template <typename Stat> int StatOfNode(const char* path, Stat* buf)
{
    struct stat st;
    int err = WithState([&](SimState& s) { return StatNode(s, path, &st); });
    if (err)
        return Fail(err);
    memset(buf, 0, sizeof(*buf));
    buf->st_mode = st.st_mode;
    buf->st_rdev = st.st_rdev;
    buf->st_nlink = st.st_nlink;
    buf->st_blksize = st.st_blksize;
    return 0;
}
} // namespace

extern "C" {

__attribute__((visibility("default"))) FILE* fopen(const char* path, const char* mode)
{
    REAL(fopen);
    return SimFopen(path, mode, real_fopen);
}

__attribute__((visibility("default"))) FILE* fopen64(const char* path, const char* mode)
{
    REAL(fopen64);
    return SimFopen(path, mode, real_fopen64);
}

#define OPEN_BODY(realname, ...)                                                                                      \
    mode_t mode = 0;                                                                                                  \
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE)                                                        \
    {                                                                                                                 \
        va_list ap;                                                                                                   \
        va_start(ap, flags);                                                                                          \
        mode = va_arg(ap, mode_t);                                                                                    \
        va_end(ap);                                                                                                   \
    }                                                                                                                 \
    if (Is(path, kNodePath))                                                                                          \
        return OpenNodeDescriptor(flags);                                                                             \
    if (IsKernelText(path))                                                                                           \
        return OpenKernelDescriptor(path, flags);                                                                     \
    REAL(realname);                                                                                                   \
    return real_##realname(__VA_ARGS__, flags, mode);

__attribute__((visibility("default"))) int open(const char* path, int flags, ...)
{
    OPEN_BODY(open, path)
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...)
{
    OPEN_BODY(open64, path)
}

__attribute__((visibility("default"))) int openat(int dirfd, const char* path, int flags, ...)
{
    OPEN_BODY(openat, dirfd, path)
}

__attribute__((visibility("default"))) int openat64(int dirfd, const char* path, int flags, ...)
{
    OPEN_BODY(openat64, dirfd, path)
}

__attribute__((visibility("default"))) int unlink(const char* path)
{
    if (IsNodePath(path))
    {
        int err = WithState([&](SimState& s) { return RemoveNode(s, path); });
        return err ? Fail(err) : 0;
    }
    REAL(unlink);
    return real_unlink(path);
}

__attribute__((visibility("default"))) int mknod(const char* path, mode_t mode, dev_t dev)
{
    if (IsNodePath(path))
    {
        mode_t mask = FileCreationMask();
        int err = WithState([&](SimState& s) { return MakeNode(s, path, mode, dev, mask); });
        return err ? Fail(err) : 0;
    }
    REAL(mknod);
    return real_mknod(path, mode, dev);
}

// The entry that older C libraries compile mknod into.
__attribute__((visibility("default"))) int __xmknod(int ver, const char* path, mode_t mode, dev_t* dev)
{
    if (IsNodePath(path))
        return mknod(path, mode, *dev);
    using Fn = int (*)(int, const char*, mode_t, dev_t*);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "__xmknod"));
    return real ? real(ver, path, mode, dev) : Fail(ENOSYS);
}

// A node made beside the device node is renamed into its place; nodes do
// not move to or from other files.
__attribute__((visibility("default"))) int rename(const char* from, const char* to)
{
    if (IsNodePath(from) || IsNodePath(to))
    {
        if (!IsNodePath(from) || !IsNodePath(to))
            return Fail(EXDEV);
        int err = WithState([&](SimState& s) { return RenameNode(s, from, to); });
        return err ? Fail(err) : 0;
    }
    REAL(rename);
    return real_rename(from, to);
}

__attribute__((visibility("default"))) int chmod(const char* path, mode_t mode)
{
    if (IsNodePath(path))
    {
        int err = WithState([&](SimState& s) { return ChangeNodeMode(s, path, mode); });
        return err ? Fail(err) : 0;
    }
    REAL(chmod);
    return real_chmod(path, mode);
}

// The stat family: the nodes carry no links, so lstat answers as stat.
#define STAT_BODY(realname, ...)                                                                                      \
    if (IsNodePath(path))                                                                                             \
        return StatOfNode(path, buf);                                                                                 \
    REAL(realname);                                                                                                   \
    return real_##realname(__VA_ARGS__);

__attribute__((visibility("default"))) int stat(const char* path, struct stat* buf)
{
    STAT_BODY(stat, path, buf)
}

__attribute__((visibility("default"))) int lstat(const char* path, struct stat* buf)
{
    STAT_BODY(lstat, path, buf)
}

__attribute__((visibility("default"))) int stat64(const char* path, struct stat64* buf)
{
    STAT_BODY(stat64, path, buf)
}

__attribute__((visibility("default"))) int lstat64(const char* path, struct stat64* buf)
{
    STAT_BODY(lstat64, path, buf)
}

__attribute__((visibility("default"))) int fstatat(int dirfd, const char* path, struct stat* buf, int flags)
{
    STAT_BODY(fstatat, dirfd, path, buf, flags)
}

__attribute__((visibility("default"))) int fstatat64(int dirfd, const char* path, struct stat64* buf, int flags)
{
    STAT_BODY(fstatat64, dirfd, path, buf, flags)
}

#undef STAT_BODY

// The entries that older C libraries compile the stat family into.
#define XSTAT(name, statType)                                                                                         \
    __attribute__((visibility("default"))) int name(int ver, const char* path, statType* buf)                         \
    {                                                                                                                 \
        if (IsNodePath(path))                                                                                         \
            return StatOfNode(path, buf);                                                                             \
        using Fn = int (*)(int, const char*, statType*);                                                              \
        static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, #name));                                               \
        return real ? real(ver, path, buf) : Fail(ENOSYS);                                                            \
    }

XSTAT(__xstat, struct stat)
XSTAT(__lxstat, struct stat)
XSTAT(__xstat64, struct stat64)
XSTAT(__lxstat64, struct stat64)

#undef XSTAT

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (IsNode(fd))
    {
        int err = WithState([&](SimState& s) { return DriverIoctl(s, request, arg); });
        return err ? Fail(err) : 0;
    }
    REAL(ioctl);
    return real_ioctl(fd, request, arg);
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void* buf, size_t size)
{
    if (IsPrintk(fd))
        return PrintkWrite(buf, size);
    REAL(write);
    return real_write(fd, buf, size);
}

__attribute__((visibility("default"))) int close(int fd)
{
    if (fd >= 0 && fd < kMaxDescriptors)
    {
        g_node[fd] = false;
        g_printk[fd] = false;
    }
    REAL(close);
    return real_close(fd);
}

} // extern "C"
