#include "HalsenClient.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <termios.h>
#include <unistd.h>

namespace halsen
{
namespace
{
void DropLineEnd(std::string& text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
}

bool ReadPasswordFile(const std::string& path, std::string& out, std::string& error)
{
    std::ifstream in(path);
    if (!in)
    {
        error = "cannot read the password file " + path + ": " + strerror(errno);
        return false;
    }
    std::getline(in, out);
    return true;
}

// Reads one line from the terminal with echo turned off, and puts the
// terminal back as it was.
bool ReadFromTerminal(const std::string& prompt, std::string& out, std::string& error)
{
    const int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0)
    {
        error = std::string("no terminal to ask for the password: ") + strerror(errno);
        return false;
    }
    termios saved;
    const bool isTerminal = tcgetattr(fd, &saved) == 0;
    if (isTerminal)
    {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ssize_t written = write(fd, prompt.data(), prompt.size());
    char c = 0;
    ssize_t n = 0;
    out.clear();
    while ((n = read(fd, &c, 1)) == 1 && c != '\n')
        out += c;
    if (isTerminal)
        tcsetattr(fd, TCSAFLUSH, &saved);
    written += write(fd, "\n", 1);
    close(fd);
    if (n < 0 || written < 0)
    {
        error = "the password could not be read";
        return false;
    }
    return true;
}
} // namespace

bool ReadPassword(const PasswordSource& source, std::string& out, std::string& error)
{
    bool got = false;
    if (!source.file.empty())
        got = ReadPasswordFile(source.file, out, error);
    else if (const char* value = getenv(source.variable.c_str()))
    {
        out = value;
        got = true;
    }
    else
        got = ReadFromTerminal(source.prompt, out, error);
    DropLineEnd(out);
    return got;
}

bool ReadLocalLocation(unsigned long location[2], const std::string& profile)
{
    std::ifstream in(profile);
    std::string line;
    bool inSection = false;
    int found = 0;
    while (std::getline(in, line))
    {
        DropLineEnd(line);
        if (!line.empty() && line[0] == '[')
            inSection = line == "[Location]";
        for (int i = 0; inSection && i < 2; ++i)
        {
            const std::string key = i == 0 ? "Value1=" : "Value2=";
            if (line.compare(0, key.size(), key) != 0)
                continue;
            location[i] = static_cast<unsigned long>(static_cast<uint32_t>(strtol(line.c_str() + key.size(), nullptr, 10)));
            found |= 1 << i;
        }
    }
    return found == 3;
}
} // namespace halsen
