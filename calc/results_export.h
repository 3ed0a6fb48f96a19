// Copying, saving and clearing the results that the calculation job left in the result entries.
#pragma once

#include <string>

[[nodiscard]] std::string resultsText();  // one "LABEL: digest\n" line per ticked slot
void copyResult(int slot);
void copyAllResults();
void saveResults();
// The message of a failed save: the language's text, or the shipped English one when the
// language has none (it must never be an empty dialog).
[[nodiscard]] std::string saveFailedText();
void deleteAllResults();

// The extension rule of the save command: scanning back from the end, the name has an extension
// only when the scan stops at a "." that is neither the first character nor right after "/" or a
// backslash, and some text follows it (up to the end or a double quote).
[[nodiscard]] bool hasExtension(const std::string& name);
// The name under which a results file is written: ".txt" appended when it has no extension.
[[nodiscard]] std::string resultsFileName(const std::string& chosen);
