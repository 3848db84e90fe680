#pragma once

#include <cstdint>

// Status words of the agent: 0 is success, failures are 0x8000xxxx. They are
// the values and names of the plug-in contract's status words, so statuses
// of the two sides compare equal.
typedef uint32_t STATUS;

const STATUS S_OK = 0;
const STATUS E_OUTOFMEMORY = 0x80000002;
const STATUS E_FAIL = 0x80004005;
const STATUS E_ACCESSDENIED = 0x80004009;
const STATUS E_INVALIDARG = 0x80070057;
// Enumeration: no more users, or an empty database.
const STATUS S_NOMOREUSERS = 259;
