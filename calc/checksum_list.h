// Checksum lists as publishers ship them (SHA256SUMS, image.iso.sha256, a clear-signed list): which of
// their lines give a checksum and which file each names. Plain text logic, no toolkit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A list holds a line per file; a few MiB is more than any published list, and keeps a large file picked
// by mistake from stalling the window.
constexpr std::size_t ChecksumListLimit = 16u << 20;

struct ChecksumListLine {
    int number = 0;        // the line's number in its file, from 1
    std::string text;      // the line as the expected-checksum field takes it (see firstLineText)
    std::string checksum;  // the hexadecimal digits as written
    std::string name;      // the file it names, unescaped
    std::string algorithm; // the tag of a BSD-form line ("SHA256"); empty for the GNU form
};

// Hexadecimal digits of the length of one of the program's algorithms.
[[nodiscard]] bool isChecksumOfAnAlgorithm(std::string_view text);

// One line of a list, without its line end:
// - the GNU form, as `sha256sum` writes it: the checksum, a blank, an optional "*" (or a second blank),
//   then the name;
// - the BSD form, as BSD tools and `sha256sum --tag` write it: "ALGO (name) = checksum".
// A leading backslash in either form says that the name is escaped ("\\" for a backslash, "\n" for a
// line feed, "\r" for a carriage return). The checksum must have the length of one of the program's
// algorithms. Nothing for any other text. `number` and `text` are left for the caller.
[[nodiscard]] std::optional<ChecksumListLine> parseChecksumLine(std::string_view line);

// The checksum lines of a file's bytes, in order. Blank lines, "#" comments, lines of neither form and
// the armour and signature block of a clear-signed message are skipped; a line may end in LF, CR LF or
// CR, and a byte-order mark may open the file.
[[nodiscard]] std::vector<ChecksumListLine> readChecksumList(std::string_view bytes);

// The last part of a path: what a list line's name and the chosen file are compared by.
[[nodiscard]] std::string_view baseName(std::string_view path);

// The line for the file at `path`: a line whose name has the path's base name. Where several do (one
// per algorithm), the first whose checksum has one of `preferredDigits` lengths, else the first.
// Null when none does, or when `path` names no file.
[[nodiscard]] const ChecksumListLine* lineForFile(const std::vector<ChecksumListLine>& list,
                                                  std::string_view path,
                                                  const std::vector<int>& preferredDigits = {});

// The first ChecksumListLimit bytes of a regular file; for anything else (a pipe, a device) only what
// its first line needs, read without waiting. Nothing when the file cannot be opened.
[[nodiscard]] std::optional<std::string> readChecksumFile(const std::string& path);
