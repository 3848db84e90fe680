#pragma once

// Helpers for tests that run on the simulated controller: the sandbox
// points ZELSIM_STATE at a state of its own for every test case.

#include "SimModel.h"
#include "SimStore.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace simtest
{

// A fresh state from a preset, with the clock stopped so that activities
// advance only through Step.
inline void LoadPreset(const std::string& name)
{
    auto s = std::make_unique<zelsim::SimState>();
    ASSERT_TRUE(zelsim::InitPreset(*s, name)) << name;
    s->rate = 0;
    s->clockMs = zelsim::NowMs();
    ASSERT_TRUE(zelsim::WriteState(*s));
}

inline void Sim(const std::function<void(zelsim::SimState&)>& change)
{
    ASSERT_TRUE(zelsim::UpdateState(change));
}

inline std::unique_ptr<zelsim::SimState> Snapshot()
{
    auto copy = std::make_unique<zelsim::SimState>();
    EXPECT_TRUE(zelsim::UpdateState([&](zelsim::SimState& s) { *copy = s; }));
    return copy;
}

// Output of a shell command, with its exit status in *status.
inline std::string Shell(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    int rc = pclose(p);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

} // namespace simtest
