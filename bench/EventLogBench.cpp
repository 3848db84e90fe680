// Cost of the event log as the agent's loop pays it: one store, one record
// read in an enumeration, and the first open after an append was cut short,
// with logs of 1000, 10000 and 100000 records; and how long a mail holds
// the loop when the server accepts and never answers.
//
//   tools/sandbox -- build/bench/event_log_bench

#include "CEmail.h"
#include "CEventEnum.h"
#include "CLog.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

double MicrosSince(Clock::time_point start, long n)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / n;
}

std::string Folder(long n) { return "/Bench" + std::to_string(n); }

void Store(const std::string& folder, long i)
{
    std::string text = "512@" + std::to_string(i) + "@1@Disk Fail@Disk 3 of channel 1 failed, event " +
                       std::to_string(i);
    CLog log(nullptr, folder.c_str(), text.c_str());
    log.Store();
}

// Microseconds per record of a whole enumeration.
double Enumerate(const std::string& folder, unsigned long flags, long n)
{
    Clock::time_point start = Clock::now();
    unsigned long pos = 0, magic = 0;
    CEventEnum* pEnum = CEventEnum::Open(nullptr, folder.c_str(), pos, magic, flags);
    CString text;
    long read = 0;
    while (pEnum && pEnum->GetNext(text))
        ++read;
    if (pEnum)
        pEnum->Close(pos, magic);
    delete pEnum;
    if (read != n)
        printf("  read %ld of %ld records!\n", read, n);
    return MicrosSince(start, n);
}

void MeasureLog(long n)
{
    std::string folder = Folder(n);
    for (long i = 0; i < n; ++i)
        Store(folder, i);
    const int kStores = 200;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < kStores; ++i)
        Store(folder, n + i);
    double store = MicrosSince(start, kStores);
    long total = n + kStores;
    double forward = Enumerate(folder, CLog::kForward, total);
    double backward = Enumerate(folder, 0, total);

    CLog log(nullptr, folder.c_str(), nullptr);
    std::string path = log.GetPath().GetBuffer();
    struct stat st;
    stat(path.c_str(), &st);
    // A torn tail: the start of one more record.
    FILE* fp = fopen(path.c_str(), "ab");
    fwrite("\x01\x02\x00\x00\x00", 1, 5, fp);
    fclose(fp);
    start = Clock::now();
    unsigned long head = log.GetEventHead();
    double repair = MicrosSince(start, 1);
    printf("%7ld records, %9ld bytes: store %6.1f us, read forward %5.1f us, backward %5.1f us, "
           "first read after a cut append %9.0f us%s\n",
           total, static_cast<long>(st.st_size), store, forward, backward, repair, head ? "" : " (head lost!)");
}

// A listener that never accepts: the connection is made by the kernel, and
// the greeting never comes.
void MeasureSilentMail()
{
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(CEmail::kSmtpPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 4) != 0)
    {
        printf("cannot listen on port 25 (run inside tools/sandbox)\n");
        close(listener);
        return;
    }
    CEmail mail;
    mail.SetSMTPServer("127.0.0.1");
    mail.AddReceiver("<ann@example.com>");
    CString error;
    Clock::time_point start = Clock::now();
    bool sent = mail.SendMessage("Error-Disk Fail", "body", error);
    printf("mail to a server that never answers: %s after %.2f s (%s)\n", sent ? "sent" : "failed",
           MicrosSince(start, 1) / 1e6, error.GetBuffer());
    mail.RemoveReceiver("<ann@example.com>");
    close(listener);
}
} // namespace

// With --no-mail the mail's worst wait (about 25 s) is left out.
int main(int argc, char** argv)
{
    for (long n : {1000L, 10000L, 100000L})
        MeasureLog(n);
    if (argc < 2 || strcmp(argv[1], "--no-mail") != 0)
        MeasureSilentMail();
    return 0;
}
