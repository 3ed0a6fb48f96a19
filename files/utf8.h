// UTF-8 as the program checks it wherever text from a file may reach the window: one validator for the
// expected checksum's line and for the key-value files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The length of the valid UTF-8 sequence that starts at `at` (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF; a NUL byte counts as valid), or 0 when none does. Then
// `invalidPrefix`, when given, receives the length of the maximal invalid prefix there (at least 1),
// which a reader replaces with one U+FFFD.
[[nodiscard]] std::size_t utf8SequenceLength(std::string_view text, std::size_t at,
                                             std::size_t* invalidPrefix = nullptr);

// Valid UTF-8 passes unchanged; each maximal invalid prefix becomes U+FFFD.
[[nodiscard]] std::string sanitiseUtf8(std::string_view bytes);
// Every byte of 0x80 or more becomes its two-byte UTF-8 form (ISO 8859-1 to UTF-8).
[[nodiscard]] std::string latin1ToUtf8(std::string_view bytes);
