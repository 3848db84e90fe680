#pragma once

#include "CProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

// These tests write /etc/tavrine and /var/log/tavrine and listen on port
// 25, which only the sandbox makes safe.
inline void RequireSandbox()
{
    struct stat st;
    ASSERT_EQ(stat("/run/tavrine-sandbox", &st), 0) << "events_tests must run inside tools/sandbox (ctest does that)";
}

inline std::string ProfileValue(const char* section, const char* key)
{
    CProfile profile;
    CString value;
    profile.GetProfile(section, key, value);
    return value.GetBuffer();
}
