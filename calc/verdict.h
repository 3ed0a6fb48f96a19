// The verdict of a result against the expected checksum: the exact compare.
#pragma once

#include <string>

// None: the result was not compared (no expected checksum, or no result).
enum class Verdict { None, Match, Mismatch };

// Whole text, case-sensitive, nothing trimmed: a checksum matches only as the job writes it.
[[nodiscard]] Verdict compareResult(const std::string& result, const std::string& expected);
