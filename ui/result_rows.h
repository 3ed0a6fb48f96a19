// The eleven result rows show the job's results (calc/job_results.h): each row's text, and its verdict
// in colour, in a mark and in words.
#pragma once

#include <string>

#include "calc/verdict.h"

constexpr int MatchColour = 0x00FF00;    // green
constexpr int MismatchColour = 0x0000FF; // red (red is the lowest byte)

// Brings every row in line with the job's results: its text and its verdict. Match and Mismatch give
// the row its colour, a tick or a cross at the end of its entry with the verdict as tooltip, and the
// verdict as the entry's accessible description; None the theme's text colour and none of the rest.
// Rows that already show theirs are left alone.
void showResults();
// The verdict a row shows now.
[[nodiscard]] Verdict shownVerdict(int slot);
// The verdicts' words in the language now in force: after a language switch.
void refreshVerdictTexts();
// The pack's words for a verdict, or the shipped English when the pack has none; empty for None.
[[nodiscard]] std::string verdictText(Verdict verdict);
