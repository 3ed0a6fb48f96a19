// Copying, saving and clearing the results: every command reads the job's results, never a widget.
#include "app/export_handlers.h"

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
    const std::string chosen =
        saveFileRequester(catalogueText("tReqSAVEDATA"), folderPart(chosenFilePath()) + DefaultResultsName,
                          catalogueText("tReqSAVEPATTERN"), 0);
    if (chosen.empty()) return;
    const bool wasSensitive = mainWindowSensitive();
    setMainWindowSensitive(false);
    const bool saved = writeWholeFile(resultsFileName(chosen), resultsText(tickedSlots()));
    setMainWindowSensitive(wasSensitive);
    // A save that silently left a short or empty file would pass for a good one: say so.
    if (!saved) runMessageDialog(InfoPreset, saveFailedText(), DialogKind::Error);
}

std::string saveFailedText() {
    return catalogueTextOr("tReqSAVEFAILED", ShippedSaveFailedText);
}

void deleteAllResults() {
    if (!askQuestion("tReqDELETEALL")) return;
    clearResults();
    showResults();
    for (int slot = 0; slot < SlotCount; ++slot)
        enableControl(ControlId::copyButton(slot), false);
    showChosenFile("");
    for (int id : {ControlId::CopyAllButton, ControlId::SaveButton, ControlId::DeleteAllButton,
                   ControlId::VerifyButton})
        enableControl(id, false);
}
