// Copying, saving and clearing the job's results.
#pragma once

#include <string>

void copyResult(int slot);
void copyAllResults();
void saveResults();
void deleteAllResults();
// The rows emptied as Clear all empties them, without its question, and the buttons that act on
// results disabled: the results belonged to another file.
void clearResultRows();

// The message of a failed save: the language's text, or the shipped English one when the language
// has none (it must never be an empty dialog).
[[nodiscard]] std::string saveFailedText();
