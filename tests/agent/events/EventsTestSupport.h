#pragma once

#include "CProfile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

// These tests write /etc/tavrine and /var/log/tavrine and listen on port
// 25, which only the sandbox makes safe.
inline void RequireSandbox()
{
    struct stat st;
    ASSERT_EQ(stat("/run/tavrine-sandbox", &st), 0)
        << "events_tests must run inside tools/sandbox (ctest does that)";
}

inline std::string ProfileValue(const char* section, const char* key)
{
    CProfile profile;
    CString value;
    profile.GetProfile(section, key, value);
    return value.GetBuffer();
}

inline std::string ReadBytes(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A small file system at `dir` (made here), filled up to the last block
// once Fill() is called; taken away again at the end.
class FullDisk
{
public:
    explicit FullDisk(const char* dir) : m_strDir(dir)
    {
        EXPECT_EQ(mkdir(dir, 0755), 0);
        EXPECT_EQ(mount("events-full", dir, "tmpfs", 0, "size=64k"), 0) << strerror(errno);
    }
    ~FullDisk() { umount(m_strDir.c_str()); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    void Fill()
    {
        std::ofstream filler(Filler(), std::ios::binary);
        const std::string block(4096, 'f');
        for (int i = 0; i < 64 && filler; ++i)
            filler << block;
    }
    void Free() { unlink(Filler().c_str()); }

private:
    std::string Filler() const { return m_strDir + "/filler"; }
    std::string m_strDir;
};
