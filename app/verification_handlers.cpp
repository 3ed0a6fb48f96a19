// The expected checksum: loaded from the first line of a file the user picks.
#include "app/verification_handlers.h"

#include "calc/job_results.h"
#include "dialogs/file_requesters.h"
#include "settings/first_line.h"
#include "settings/language_catalogue.h"
#include "ui/chosen_file.h"
#include "ui/controls.h"
#include "ui/result_rows.h"

void loadExpectedChecksum() {
    const std::string chosen = openFileRequester(catalogueText("tReqOPENFILE"), folderPart(chosenFilePath()),
                                                 catalogueText("tReqOPENPATTERN"), 0);
    if (chosen.empty()) return;
    if (std::optional<std::string> line = readFirstLine(chosen)) {
        setControlText(ControlId::ExpectedEntry, *line);
        expectedChecksumChanged();
    }
}

void expectedChecksumChanged() {
    clearVerdicts();
    showResults();
}
