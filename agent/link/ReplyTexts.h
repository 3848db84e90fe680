#pragma once

// The text of a closing reply's result code ("Functional" for 800 and any
// code without one of its own).
const char* GetErrorInfo(int code);
