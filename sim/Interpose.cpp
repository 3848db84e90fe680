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
const char kNode[] = "/dev/zeldev";
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
    if (Is(path, kNode))                                                                                              \
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
    if (Is(path, kNode))
    {
        int err = WithState(RemoveNode);
        return err ? Fail(err) : 0;
    }
    REAL(unlink);
    return real_unlink(path);
}

__attribute__((visibility("default"))) int mknod(const char* path, mode_t mode, dev_t dev)
{
    if (Is(path, kNode))
    {
        int err = WithState([&](SimState& s) { return MakeNode(s, mode, dev); });
        return err ? Fail(err) : 0;
    }
    REAL(mknod);
    return real_mknod(path, mode, dev);
}

// The entry that older C libraries compile mknod into.
__attribute__((visibility("default"))) int __xmknod(int ver, const char* path, mode_t mode, dev_t* dev)
{
    if (Is(path, kNode))
        return mknod(path, mode, *dev);
    using Fn = int (*)(int, const char*, mode_t, dev_t*);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "__xmknod"));
    return real ? real(ver, path, mode, dev) : Fail(ENOSYS);
}

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
