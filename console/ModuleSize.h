#pragma once

#include <cstddef>

// The size text of a kernel module: its size in bytes as the module list
// at `path` gives it, followed by "B" ("B" alone when the module or the
// list is missing).  The list is read directly, with no shell and no
// temporary file.
void ModuleSizeText(const char* path, const char* module, char* text, size_t size);
