// The first line of a checksum file, read without the toolkit (the expected-checksum field's source).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// No digest is longer than 128 characters; a few KiB of the first line is more than any
// checksum line holds, and keeps a large file picked by mistake from stalling the window.
constexpr std::size_t ExpectedLineLimit = 4096;

// The first line of a file, without its line end (LF, CR or CR LF), at most ExpectedLineLimit
// bytes of it, as valid UTF-8 (a byte-order mark kept, bad bytes replaced with U+FFFD).
// Nothing when the file cannot be opened.
[[nodiscard]] std::optional<std::string> readFirstLine(const std::string& path);
// The same for bytes already read: the first ExpectedLineLimit of them up to the first line end,
// each NUL byte and each byte that starts no valid UTF-8 sequence replaced with U+FFFD.
[[nodiscard]] std::string firstLineText(std::string_view bytes);
