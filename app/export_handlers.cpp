// Copying, saving and clearing the results: every command reads the job's results, never a widget.
#include "app/export_handlers.h"

#include "app/failure_text.h"
#include "app/terminal_text.h"

#include "calc/job_results.h"
#include "calc/results_file.h"
#include "files/safe_file.h"
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

constexpr const char* ShippedOverwriteText = "\u201c%s\u201d already exists.\\nDo you want to replace it?";
constexpr const char* ShippedLinkText = "\u201c%s\u201d is a link that another user placed in a shared folder.\\n"
                                        "It is not followed: choose another name.";

// A file as a message names it: by its name where it is the file chosen, by its whole path where a
// link led elsewhere (the user must see which file that is).
std::string shownName(const std::string& path, const std::string& chosen) {
    return fileNameForDisplay(path == chosen ? path.substr(path.rfind('/') + 1) : path);
}

void tellLinkRefused(const std::string& link, const std::string& chosen) {
    runMessageDialog(InfoPreset, catalogueTextWith("tReqSAVELINK", ShippedLinkText, shownName(link, chosen)),
                     DialogKind::Error);
}

// Whether the save may write the file that the name `chosen` leads to: yes when nothing is there, or
// when the user has agreed to replace that very file (`agreed`, set only by Yes); a link another user
// placed in a shared folder is refused with a message. The question names the file really replaced and
// has No as its default. A name that cannot be looked at is let through: the save says why it failed.
bool mayWrite(const std::string& chosen, std::string& agreed) {
    const std::string written = resultsFileName(chosen);
    const SaveTarget target = saveTarget(written);
    if (target.failure == RefusedLink) {
        tellLinkRefused(target.refusedLink, written);
        return false;
    }
    if (target.failure != 0 || !target.exists || target.path == agreed) return true;
    if (!askQuestionWith("tReqOVERWRITE", ShippedOverwriteText, shownName(target.path, written),
                         DefaultButton::Second))
        return false;
    agreed = target.path;
    return true;
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
    std::string agreed;
    const SaveNameCheck check = [&agreed](const std::string& chosen) { return mayWrite(chosen, agreed); };
    std::string chosen;
    // The requester's check keeps it open after a No; the name is checked once more after it closes,
    // as the name field can change after the check. No then returns to the requester with that name.
    for (;;) {
        chosen = saveFileRequester(catalogueText("tReqSAVEDATA"), proposal, catalogueText("tReqSAVEPATTERN"), 0,
                                   check);
        if (chosen.empty()) return;
        if (mayWrite(chosen, agreed)) break;
        proposal = chosen;
    }
    const std::string written = resultsFileName(chosen);
    const bool wasSensitive = mainWindowSensitive();
    setMainWindowSensitive(false);
    const int failure = saveFileSafely(written, resultsText(tickedSlots()));
    setMainWindowSensitive(wasSensitive);
    if (failure == RefusedLink) { // a link placed since the check
        tellLinkRefused(written, written);
        return;
    }
    // A save that failed must not pass for a good one: say so, and why.
    if (failure != 0) {
        reportFileProblem(written, failureText(failure));
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
