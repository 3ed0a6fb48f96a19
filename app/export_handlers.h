// Copying, saving and clearing the job's results.
#pragma once

#include <string>

void copyResult(int slot);
void copyAllResults();
void saveResults();
void deleteAllResults();

// The message of a failed save: the language's text, or the shipped English one when the language
// has none (it must never be an empty dialog).
[[nodiscard]] std::string saveFailedText();
