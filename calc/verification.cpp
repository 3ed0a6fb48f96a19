// Verification: the expected checksum loaded from a file, and the exact compare that colours each result.
#include "calc/verification.h"

#include "app/chosen_file.h"
#include "app/controls.h"
#include "app/event_loop.h"
#include "app/requesters.h"
#include "calc/calculation.h"
#include "settings/language_catalogue.h"

void loadExpectedChecksum() {
    const std::string chosen = openFileRequester(catalogueText("tReqOPENFILE"), folderPart(chosenFilePath()),
                                                 catalogueText("tReqOPENPATTERN"), 0);
    if (chosen.empty()) return;
    if (std::optional<std::string> line = readFirstLine(chosen)) setControlText(ControlId::ExpectedEntry, *line);
}

void verifyResult(int slot, const std::string& result, const std::string& expected) {
    // Whole text, case-sensitive, nothing trimmed: a checksum matches only as the job writes it.
    const bool match = result == expected;
    JobControlLock lock;
    setTextColour(ControlId::resultEntry(slot), match ? MatchColour : MismatchColour);
}
