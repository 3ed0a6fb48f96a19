// The process's file-creation mask, read without changing it.
#pragma once

#include <sys/types.h>

#include <cstdio>

// The umask as the kernel reports it in /proc/self/status ("Umask:"). umask() can only be read by
// setting it, which would give files that other threads create in that moment the wrong mode. 022
// when the kernel does not say (no /proc).
[[nodiscard]] inline mode_t processUmask() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value & 0777);
                break;
            }
        }
        std::fclose(status);
    }
    return mask;
}
