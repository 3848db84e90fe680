#pragma once

#include <cstdint>

// Status words of the agent's account and security code: 0 is success and
// failures carry the top bit. They are sign-extended into `long`, so a status
// is negative exactly when it reports a failure.
const long S_OK = 0;
const long E_OUTOFMEMORY = int32_t(0x80000002u);
const long E_FAIL = int32_t(0x80004005u);
const long E_ACCESSDENIED = int32_t(0x80004009u);
const long E_INVALIDARG = int32_t(0x80070057u);
// Enumeration: no more users, or an empty database.
const long S_NOMOREUSERS = 259;
