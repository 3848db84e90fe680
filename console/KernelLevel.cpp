#include "KernelLevel.h"

#include "dialog.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace
{
// Kept ready for a signal handler, which may only write what is prepared.
char g_szPath[128];
char g_szLevel[16];
volatile sig_atomic_t g_bSaved = 0;

bool WriteText(const char* path, const char* text)
{
    int fd = open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t n;
    do
        n = write(fd, text, strlen(text));
    while (n < 0 && errno == EINTR);
    close(fd);
    return n == static_cast<ssize_t>(strlen(text));
}

// The level goes back first, with plain system calls only.  Giving the
// terminal back is not strictly safe in a handler, but the program is
// single-threaded, mostly waiting for a key, and ends at once after it:
// leaving the terminal in raw mode would be the worse outcome.
void OnEndingSignal(int sig)
{
    RestoreKernelMessages();
    end_dialog();
    _exit(128 + sig);
}
} // namespace

int ParseConsoleLevel(const char* text)
{
    while (*text == ' ' || *text == '\t')
        text++;
    if (*text < '0' || *text > '9')
        return -1;
    char* end = nullptr;
    long level = strtol(text, &end, 10);
    if (level > 99 || (*end && *end != ' ' && *end != '\t' && *end != '\n'))
        return -1;
    return static_cast<int>(level);
}

bool SilenceKernelMessages(const char* path)
{
    FILE* f = fopen(path, "re");
    if (!f)
        return false;
    char text[64] = "";
    bool read = fgets(text, sizeof(text), f) != nullptr;
    fclose(f);
    int level = read ? ParseConsoleLevel(text) : -1;
    if (level < 0 || strlen(path) >= sizeof(g_szPath))
        return false;
    snprintf(g_szPath, sizeof(g_szPath), "%s", path);
    snprintf(g_szLevel, sizeof(g_szLevel), "%d\n", level);
    g_bSaved = 1;
    return WriteText(path, "0\n");
}

void RestoreKernelMessages()
{
    if (!g_bSaved)
        return;
    g_bSaved = 0;
    WriteText(g_szPath, g_szLevel);
}

void CatchEndingSignals()
{
    struct sigaction sa;
    memset(&sa, 0, sizeof(sa));
    sa.sa_handler = OnEndingSignal;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaddset(&sa.sa_mask, SIGHUP);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &sa, nullptr);
}
