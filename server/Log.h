#pragma once

// One line to standard error (the journal under systemd), with the
// program's name in front. Callers never pass a secret.

#include <string>

namespace halsend
{
void LogLine(const std::string& text);
} // namespace halsend
