#pragma once

#include <cstddef>

// The longest array name the driver keeps.
constexpr int kMaxArrayName = 31;

// Why a typed array name cannot be used, or nullptr when it can: it must
// hold 1 to kMaxArrayName printable characters, not only spaces.
const char* ArrayNameProblem(const char* name);
