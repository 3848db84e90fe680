#pragma once

// Small socket helpers of the client library.

#include <chrono>
#include <netinet/in.h>
#include <string>

namespace halsen
{
// Sets `error` to `what` and the system's text of errno; returns false.
bool SystemError(std::string& error, const std::string& what);
sockaddr_in MakeAddress(in_addr_t address, int port);
// Waits until fd is readable; false on time-out or error.
bool WaitReadable(int fd, int timeoutMs);

class Deadline
{
public:
    explicit Deadline(int timeoutMs)
        : m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs))
    {
    }
    // Milliseconds left, 0 once passed.
    int Left() const;

private:
    std::chrono::steady_clock::time_point m_end;
};
} // namespace halsen
