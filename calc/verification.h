// Verification against an expected checksum: loading it from a file and colouring the results.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

constexpr int MatchColour = 0x00FF00;       // green
constexpr int MismatchColour = 0x0000FF;    // red (red is the lowest byte)

// No digest is longer than 128 characters; a few KiB of the first line is more than any
// checksum line holds, and keeps a large file picked by mistake from stalling the window.
constexpr std::size_t ExpectedLineLimit = 4096;

void loadExpectedChecksum();
void verifyResult(int slot, const std::string& result, const std::string& expected);

// The first line of a file, without its line end (LF, CR or CR LF), at most ExpectedLineLimit
// bytes of it, as valid UTF-8 (a byte-order mark kept, bad bytes replaced with U+FFFD).
// Nothing when the file cannot be opened.
[[nodiscard]] std::optional<std::string> readFirstLine(const std::string& path);
