// Verification against an expected checksum: loading it from a file, the exact compare, and the
// verdict each row shows (colour, mark, tooltip and accessible description).
#pragma once

#include <string>

#include "settings/first_line.h"

constexpr int MatchColour = 0x00FF00;       // green
constexpr int MismatchColour = 0x0000FF;    // red (red is the lowest byte)

// None: the row's text was not compared (or there is none).
enum class Verdict { None, Match, Mismatch };

void loadExpectedChecksum();

// Whole text, case-sensitive, nothing trimmed: a checksum matches only as the job writes it.
[[nodiscard]] Verdict compareResult(const std::string& result, const std::string& expected);

// Match and Mismatch: the row's colour, a tick or a cross at the end of its entry with the verdict
// as tooltip, and the verdict as the entry's accessible description. None: the theme's text colour
// and none of the rest. Any thread (the job thread inside its JobControlLock).
void showVerdict(int slot, Verdict verdict);
[[nodiscard]] Verdict shownVerdict(int slot);
// The verdicts' words in the language now in force: after a language switch.
void refreshVerdictTexts();
// The pack's words for a verdict, or the shipped English when the pack has none; empty for None.
[[nodiscard]] std::string verdictText(Verdict verdict);
