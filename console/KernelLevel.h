#pragma once

// The kernel's console message level: silenced while the utility owns the
// screen, and put back to what it was on every way out, also when a signal
// or a lost terminal ends the program.

// Reads the level from `path`, then writes 0 there.  False (and nothing
// written) when the level cannot be read.
bool SilenceKernelMessages(const char* path);
// Writes the level read by SilenceKernelMessages back, once.
void RestoreKernelMessages();
// Reads the first whole number of a printk text ("4\t4\t1\t7"); -1 when
// there is none.
int ParseConsoleLevel(const char* text);
// Catches SIGINT, SIGTERM and SIGHUP: the level and the terminal are
// restored and the program ends with 128 + the signal.
void CatchEndingSignals();
