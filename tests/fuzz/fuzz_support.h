// Shared by the fuzz targets: one scratch folder per process, file helpers and the checks they share.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <string_view>
#include <unistd.h>

#include "files/utf8.h"
#include "settings/key_value_file.h"

namespace fuzzsupport {

// Removes `path` and everything below it; symbolic links are removed, never followed.
inline void removeTree(const std::string& path) {
    nftw(
        path.c_str(), [](const char* file, const struct stat*, int, struct FTW*) { return ::remove(file); },
        16, FTW_DEPTH | FTW_PHYS);
}

// A private folder for this process, with its trailing "/", removed when the fuzzer exits.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/hw-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern + "/";
    }();
    static const bool cleaned = [] { return std::atexit([] { removeTree(scratchFolder()); }) == 0; }();
    (void)cleaned;
    return folder;
}

// False when `path` cannot be written (it is a folder or a FIFO the input made earlier).
inline bool writeBytes(const std::string& path, std::string_view bytes) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written <= 0) break;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    ::close(fd);
    return bytes.empty();
}

// Texts that reach the toolkit must be valid UTF-8 (NUL bytes aside, which the parsers keep).
inline bool isValidUtf8(std::string_view text) {
    return sanitiseUtf8(text) == text;
}

// A failed property: says which and ends the run so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

} // namespace fuzzsupport
