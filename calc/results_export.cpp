// Copying, saving and clearing the results: everything reads the result entries as the job left them.
#include "calc/results_export.h"

#include <cstdio>

#include "app/chosen_file.h"
#include "app/controls.h"
#include "app/event_loop.h"
#include "app/main_window.h"
#include "calc/calculation.h"
#include "calc/save_requester.h"
#include "calc/verification.h"
#include "dialogs/message_dialog.h"
#include "settings/language_catalogue.h"

namespace {

constexpr int CopyAllMessageHeight = 120;
constexpr int InfoMessageHeight = 160;
constexpr const char* DefaultResultsName = "Checksum";
constexpr const char* DefaultExtension = ".txt";
// The message is the program's own addition, so a language pack made for an older version
// may lack it; an empty dialog would hide that the results were not saved.
constexpr const char* ShippedSaveFailedText =
    "The results could not be saved.\\nCheck that the folder is writable and the disk is not full.";

// True only when every byte reached the file: a full disk often shows only at the flush or close.
bool writeWholeFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fflush(file) == 0 && ok;
    return std::fclose(file) == 0 && ok;
}

} // namespace

std::string resultsText() {
    std::string text;
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (controlState(ControlId::algorithmCheckBox(slot)) != 1) continue;
        text += AlgorithmSlots[slot].resultLabel;
        text += controlText(ControlId::resultEntry(slot));
        text += '\n';
    }
    return text;
}

void copyResult(int slot) {
    if (slot < 0 || slot >= SlotCount) return;
    setClipboardText(controlText(ControlId::resultEntry(slot)));
}

void copyAllResults() {
    // Straight from memory: a fixed file name in the shared temporary folder could be a link
    // planted by another user, and two running copies would overwrite each other's text.
    setClipboardText(resultsText());
    InfoPreset.height = CopyAllMessageHeight;
    MessageDialog(InfoPreset, catalogueText("tReqCLIPBOARD"));
    InfoPreset.height = InfoMessageHeight;
}

bool hasExtension(const std::string& name) {
    std::size_t stop = name.find_last_of(" ./");
    if (stop == std::string::npos || name[stop] != '.') return false;
    if (stop == 0) return false;
    if (name[stop - 1] == '/' || name[stop - 1] == '\\') return false;
    std::size_t end = name.find('"', stop + 1);
    if (end == std::string::npos) end = name.size();
    return end > stop + 1;
}

std::string resultsFileName(const std::string& chosen) {
    return hasExtension(chosen) ? chosen : chosen + DefaultExtension;
}

void saveResults() {
    const std::string chosen =
        saveFileRequester(catalogueText("tReqSAVEDATA"), folderPart(chosenFilePath()) + DefaultResultsName,
                          catalogueText("tReqSAVEPATTERN"), 0);
    if (chosen.empty()) return;
    const bool wasSensitive = mainWindowSensitive();
    setMainWindowSensitive(false);
    const bool saved = writeWholeFile(resultsFileName(chosen), resultsText());
    setMainWindowSensitive(wasSensitive);
    // A save that silently left a short or empty file would pass for a good one: say so.
    if (!saved) MessageDialog(InfoPreset, saveFailedText(), DialogKind::Error);
}

std::string saveFailedText() {
    const std::string text = catalogueText("tReqSAVEFAILED");
    return text.empty() ? ShippedSaveFailedText : text;
}

void deleteAllResults() {
    if (!askQuestion("tReqDELETEALL")) return;
    for (int slot = 0; slot < SlotCount; ++slot) {
        setControlText(ControlId::resultEntry(slot), "");
        showVerdict(slot, Verdict::None);
        enableControl(ControlId::copyButton(slot), false);
    }
    showChosenFile("");
    for (int id : {ControlId::CopyAllButton, ControlId::SaveButton, ControlId::DeleteAllButton,
                   ControlId::VerifyButton})
        enableControl(id, false);
}
