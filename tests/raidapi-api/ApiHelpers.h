#pragma once

// Tests of the exported functions on the simulated controller.

#include "Raidapi.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace apitest
{

// A fresh preset, the adapter selected and the library's tables read.
inline void Select(const std::string& preset, int adapter = 0)
{
    simtest::LoadPreset(preset);
    int index = adapter;
    void* handle = &index;
    ASSERT_EQ(raInitialize(&handle), reSOK);
    ASSERT_NE(handle, nullptr);
    BOOL update = 0;
    ASSERT_EQ(raNeedUpdate(&update), reSOK);
}

inline uint32_t Requests()
{
    return simtest::Snapshot()->counters.ioctls;
}

inline void NoDriver()
{
    simtest::Sim([](zelsim::SimState& s) { s.driverLoaded = 0; });
}

} // namespace apitest
