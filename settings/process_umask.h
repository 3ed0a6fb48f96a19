// The process's file-creation mask, read without changing it.
#pragma once

#include <sys/types.h>

// The umask as the kernel reports it in /proc/self/status ("Umask:"). umask() can only be read by
// setting it, which would give files that other threads create in that moment the wrong mode. 022
// when the kernel does not say (no /proc).
[[nodiscard]] mode_t processUmask();
