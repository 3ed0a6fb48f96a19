// Copying, saving and clearing the results that the calculation job left in the result entries.
#pragma once

#include <string>

[[nodiscard]] std::string resultsText();  // one "LABEL: digest\n" line per ticked slot
void copyResult(int slot);
void copyAllResults();
void saveResults();
void deleteAllResults();
