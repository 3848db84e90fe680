#include "SimProcFiles.h"

#include "SimDriver.h"
#include "SimStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zelsim
{

const char kModuleName[] = "Morliven";

namespace
{
const char kOtherModules[] = "sd_mod 57344 3 - Live 0xffffffffc0310000\n"
                             "scsi_mod 270336 2 sd_mod, Live 0xffffffffc0250000\n"
                             "ext4 987136 1 - Live 0xffffffffc0100000\n";

// Up to four levels from text; how many were found, or -1 when the text
// holds anything but whole numbers and blanks.
int ParseLevels(const char* data, size_t length, int32_t levels[kPrintkFields])
{
    char text[kWriteLength + 1];
    size_t n = length < kWriteLength ? length : kWriteLength;
    memcpy(text, data, n);
    text[n] = '\0';
    int found = 0;
    char* p = text;
    for (;;)
    {
        while (*p == ' ' || *p == '\t' || *p == '\n')
            p++;
        if (!*p)
            return found;
        char* end = nullptr;
        errno = 0;
        long v = strtol(p, &end, 10);
        if (end == p || errno || v < INT32_MIN || v > INT32_MAX || found == kPrintkFields)
            return -1;
        levels[found++] = static_cast<int32_t>(v);
        p = end;
    }
}

int ApplyLevels(SimState& s, const char* data, size_t length)
{
    int32_t levels[kPrintkFields];
    int found = ParseLevels(data, length, levels);
    if (found <= 0)
        return EINVAL;
    for (int i = 0; i < found; i++)
        s.printk[i] = levels[i];
    return 0;
}

std::string Quoted(const RecordedWrite& w)
{
    std::string text = "\"";
    for (uint32_t i = 0; i < w.length; i++)
    {
        char c = w.text[i];
        text += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
    }
    return text + "\"";
}
} // namespace

std::string ModulesText(const SimState& s)
{
    std::string text;
    if (s.driverLoaded)
    {
        char line[96];
        snprintf(line, sizeof(line), "%s %u 0 - Live 0xffffffffc0400000\n", kModuleName, s.moduleSize);
        text += line;
    }
    return text + kOtherModules;
}

std::string PrintkText(const SimState& s)
{
    char text[64];
    snprintf(text, sizeof(text), "%d\t%d\t%d\t%d\n", s.printk[0], s.printk[1], s.printk[2], s.printk[3]);
    return text;
}

int WritePrintk(SimState& s, const char* data, size_t length)
{
    RecordWrite(s.printkWrites, &s.numPrintkWrites, kMaxPrintkWrites, data, length);
    return ApplyLevels(s, data, length);
}

std::string PrintkSinkPath()
{
    return StatePath() + ".printk";
}

void TakePrintkSink(SimState& s)
{
    int fd = open(PrintkSinkPath().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return;
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) > 0)
        text.append(buf, n);
    if (ftruncate(fd, 0) != 0)
        text.clear(); // taking it again later beats taking it twice
    close(fd);
    for (size_t start = 0; start < text.size();)
    {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        WritePrintk(s, text.data() + start, end - start);
        start = end;
    }
}

bool SetPrintk(SimState& s, const char* text)
{
    return ApplyLevels(s, text, strlen(text)) == 0;
}

std::string ShowPrintk(const SimState& s)
{
    char line[64];
    snprintf(line, sizeof(line), "printk %d %d %d %d\n", s.printk[0], s.printk[1], s.printk[2], s.printk[3]);
    std::string text = line;
    for (uint32_t i = 0; i < s.numPrintkWrites; i++)
        text += "write " + Quoted(s.printkWrites[i]) + "\n";
    return text;
}

} // namespace zelsim
