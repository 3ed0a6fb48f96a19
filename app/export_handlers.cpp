// Copying, saving and clearing the results: every command reads the job's results, never a widget.
#include "app/export_handlers.h"

#include <sys/stat.h>

#include <cstdio>

#include "app/failure_text.h"

#include "calc/job_results.h"
#include "calc/results_file.h"
#include "dialogs/file_requesters.h"
#include "dialogs/message_dialog.h"
#include "settings/language_catalogue.h"
#include "ui/chosen_file.h"
#include "ui/controls.h"
#include "ui/main_window.h"
#include "ui/result_rows.h"

namespace {

constexpr int CopyAllMessageHeight = 120;
constexpr const char* DefaultResultsName = "Checksum";
// The message is the program's own addition, so a language pack made for an older version
// may lack it; an empty dialog would hide that the results were not saved.
constexpr const char* ShippedSaveFailedText =
    "The results could not be saved.\\nCheck that the folder is writable and the disk is not full.";

// Whether the save may write `written` for the user's choice: yes when nothing is there, or when the
// toolkit asked about this very file; otherwise the program asks.
bool mayWrite(const SaveChoice& choice, const std::string& written) {
    struct stat status {};
    if ((choice.replaceAgreed && written == choice.path) || lstat(written.c_str(), &status) != 0) return true;
    return askQuestionWith("tReqOVERWRITE", "\u201c%s\u201d already exists. Do you want to replace it?",
                           fileNameForDisplay(written.substr(written.rfind('/') + 1)));
}

} // namespace

void copyResult(int slot) {
    if (slot < 0 || slot >= SlotCount) return;
    setClipboardText(slotResult(slot).digest);
}

void copyAllResults() {
    // Straight from memory: a fixed file name in the shared temporary folder could be a link
    // planted by another user, and two running copies would overwrite each other's text.
    setClipboardText(resultsText(tickedSlots()));
    const int height = InfoPreset.height;
    InfoPreset.height = CopyAllMessageHeight;
    runMessageDialog(InfoPreset, catalogueText("tReqCLIPBOARD"));
    InfoPreset.height = height;
}

void saveResults() {
    std::string proposal = folderPart(chosenFilePath()) + DefaultResultsName;
    std::string written;
    // No to replacing a file returns to the requester, with the name the user had chosen.
    for (;;) {
        const SaveChoice choice = saveFileRequester(catalogueText("tReqSAVEDATA"), proposal,
                                                    catalogueText("tReqSAVEPATTERN"), 0, resultsFileName);
        if (choice.path.empty()) return;
        written = resultsFileName(choice.path);
        if (mayWrite(choice, written)) break;
        proposal = choice.path;
    }
    const bool wasSensitive = mainWindowSensitive();
    setMainWindowSensitive(false);
    const int failure = saveFileSafely(written, resultsText(tickedSlots()));
    setMainWindowSensitive(wasSensitive);
    // A save that failed must not pass for a good one: say so, and why.
    if (failure != 0) {
        std::fprintf(stderr, "hashwarden: %s: %s\n", written.c_str(), failureText(failure).c_str());
        runMessageDialog(InfoPreset, saveFailedText() + "\\n" + failureText(failure), DialogKind::Error);
    }
}

std::string saveFailedText() {
    return catalogueTextOr("tReqSAVEFAILED", ShippedSaveFailedText);
}

void clearResultRows() {
    clearResults();
    showResults();
    for (int slot = 0; slot < SlotCount; ++slot)
        enableControl(ControlId::copyButton(slot), false);
    enableControl(ControlId::CopyAllButton, false);
    enableControl(ControlId::SaveButton, false);
}

void deleteAllResults() {
    if (!askQuestion("tReqDELETEALL")) return;
    clearResultRows();
    showChosenFile("");
    enableControl(ControlId::DeleteAllButton, false);
    enableControl(ControlId::VerifyButton, false);
}
