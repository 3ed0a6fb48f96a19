// The eleven result rows show the job's results (calc/job_results.h): each row's text, and its verdict
// in colour, in a mark and in words.
#pragma once

#include "calc/job_results.h"

constexpr int MatchColour = 0x00FF00;    // green
constexpr int MismatchColour = 0x0000FF; // red (red is the lowest byte)

// Brings every row in line with the job's results and the language in force: its text and its verdict.
// A match gives the row its colour and a tick at the end of its entry; a mismatch its colour and a
// cross, or an exclamation mark when the expected text holds the result in another form. The mark's
// tooltip and the entry's accessible description say the verdict and why. No verdict: the theme's
// text colour, no mark, no words. Rows that already show theirs are left alone.
void showResults();
// The verdict a row shows now.
[[nodiscard]] Verdict shownVerdict(int slot);
