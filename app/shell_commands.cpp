// The shell's own commands: choosing or dropping a file, quitting, the web page, the language switch.
#include "app/shell_commands.h"

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "app/export_handlers.h"
#include "app/launcher.h"
#include "app/verification_handlers.h"
#include "calc/calculation_job.h"
#include "dialogs/file_requesters.h"
#include "dialogs/message_dialog.h"
#include "settings/language_catalogue.h"
#include "ui/chosen_file.h"
#include "ui/controls.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "ui/result_rows.h"

std::atomic<int> QuitRequested{0};

namespace {

// A running job's file stays as it is: the controls that choose another are disabled then, but a drop
// or a requester's answer can still arrive after they were.
bool jobHoldsTheFile() {
    return jobRunning();
}

void takeChosenFile(const std::string& path) {
    // The rows describe the file they were computed from: another file, or the same name now naming
    // other content, takes them away.
    if (!isChosenFileUnchanged(path)) clearResultRows();
    showChosenFile(path);
    showVerdicts(); // a remembered checksum list may have a line for this file
    enableControl(ControlId::DeleteAllButton, true);
    enableControl(ControlId::VerifyButton, true);
}

} // namespace

bool takeFileIfUsable(const std::string& path) {
    struct stat status {};
    if (jobHoldsTheFile() || path.empty() || stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode))
        return false;
    takeChosenFile(path);
    return true;
}

void chooseFile() {
    if (jobHoldsTheFile()) return;
    const std::string chosen = openFileRequester(catalogueText("tReqOPENFILE"), folderPart(chosenFilePath()),
                                                 catalogueText("tReqOPENPATTERN"), 0);
    if (!chosen.empty() && !jobHoldsTheFile()) takeChosenFile(chosen);
}

void takeDroppedFile(const std::string& droppedNames) {
    (void)takeFileIfUsable(droppedNames.substr(0, droppedNames.find('\n')));
}

void quitQuestion() {
    if (askQuestion("tReqSURETOEXIT")) QuitRequested.store(1);
}

void inProgressQuit() {
    pauseJob();
    if (!askQuestion("tReqINPROGRESSQUIT")) {
        resumeJob();
        showVerdicts();
        return;
    }
    cancelJob();
    resumeJob();
    std::this_thread::sleep_for(std::chrono::milliseconds(InProgressQuitDelayMs));
    QuitRequested.store(1);
}

void openWebPage() {
    (void)launchDetached(WebOpenerName, MakerWebAddress, "");
}

void switchLanguageItem(int itemId) {
    (void)switchLanguage(menuItemText(itemId));
    if (CurrentLanguageItem >= 0) setMenuCheck(CurrentLanguageItem, false);
    CurrentLanguageItem = itemId;
    setMenuCheck(itemId, true);
    setLanguageTexts(jobRunning());
    fillPresetTexts();
    showVerdicts(); // the verdicts in the new language
}
