// The main event loop: takes one event at a time and dispatches it; the shell's commands.
#include "app/event_loop.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/chosen_file.h"
#include "app/controls.h"
#include "app/event_queue.h"
#include "app/launcher.h"
#include "app/main_window.h"
#include "app/requesters.h"
#include "app/shell.h"
#include "calc/calculation.h"
#include "calc/results_export.h"
#include "calc/verification.h"
#include "dialogs/about_window.h"
#include "dialogs/message_dialog.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"

namespace {

void dispatchMainWindow(const Event& event) {
    switch (event.kind) {
    case MenuEvent:
        switch (event.id) {
        case MenuOpen:
            chooseFile();
            break;
        case MenuQuit:
            quitQuestion();
            break;
        case MenuOpenHelp:
            openHelp();
            break;
        case MenuAbout:
            openAbout();
            break;
        case MenuOpenWeb:
            openWebPage();
            break;
        default:
            if (event.id >= MenuLanguageBase && event.id != CurrentLanguageItem) switchLanguageItem(event.id);
            break;
        }
        break;
    case CloseEvent:
        if (JobRunning.load() == 1)
            inProgressQuit();
        else
            quitQuestion();
        break;
    case ControlEvent: {
        const int id = event.id;
        if (id == ControlId::BrowseButton) {
            chooseFile();
        } else if (id >= ControlId::copyButton(0) && id <= ControlId::copyButton(SlotCount - 1) &&
                   (id - ControlId::copyButton(0)) % 3 == 0) {
            copyResult((id - ControlId::copyButton(0)) / 3);
        } else if (id == ControlId::CopyAllButton) {
            copyAllResults();
        } else if (id == ControlId::SaveButton) {
            saveResults();
        } else if (id == ControlId::DeleteAllButton) {
            deleteAllResults();
        } else if (id == ControlId::ExpectedBrowseButton) {
            loadExpectedChecksum();
        } else if (id == ControlId::VerifyButton) {
            if (JobRunning.load() == 1)
                requestCancel();
            else
                startCalculation();
        }
        break;
    }
    case DropEvent:
        if (event.id == ControlId::PathEntry) takeDroppedFile(event.data);
        break;
    default:
        break;
    }
}

// The help program and the watcher's flag change together: a watcher that sees its program end
// must not clear the flag of a newer help program started by F1 in the same moment.
std::mutex HelpLock;
std::atomic<void (*)(pid_t, bool)> HelpWatcherProbe{nullptr};

void probeHelpWatcher(pid_t process, bool leaving) {
    if (auto probe = HelpWatcherProbe.load()) probe(process, leaving);
}

// Watches one help program; a newer one has a watcher of its own.
void helpWatcher(pid_t process) {
    while (HelpWatcherActive.load() == 1 && HelpProcess.load() == process) {
        if (!programRunning(process)) {
            probeHelpWatcher(process, false);
            std::lock_guard guard(HelpLock);
            if (HelpProcess.load() == process) {
                HelpProcess.store(0);
                HelpWatcherActive.store(0);
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(HelpWatchPeriodMs));
    }
    probeHelpWatcher(process, true);
}

} // namespace

void dispatchEvent(const Event& event) {
    // The job's end belongs to the main window whichever window number it carries.
    if (event.kind == JobFinishedEvent) {
        finishCalculation();
        return;
    }
    if (event.window == MainWindowNumber) {
        // The About window keeps the main window from all input, the close box and F1 included:
        // neither passes through the window's insensitive controls.
        if (aboutWindow() != nullptr) return;
        dispatchMainWindow(event);
    } else if (event.window == AboutWindowNumber) {
        if ((event.kind == ControlEvent && event.id == AboutOkButtonId) || event.kind == CloseEvent)
            closeAbout();
    }
}

void runEventLoop() {
    QuitRequested.store(0);
    while (true) {
        dispatchEvent(waitForEvent());
        if (QuitRequested.load() == 1) break;
    }
}

std::string folderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool takeFileIfUsable(const std::string& path) {
    struct stat status {};
    if (path.empty() || stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
    showChosenFile(path);
    enableControl(ControlId::DeleteAllButton, true);
    enableControl(ControlId::VerifyButton, true);
    return true;
}

void chooseFile() {
    const std::string chosen = openFileRequester(catalogueText("tReqOPENFILE"), folderPart(chosenFilePath()),
                                                 catalogueText("tReqOPENPATTERN"), 0);
    if (chosen.empty()) return;
    showChosenFile(chosen);
    enableControl(ControlId::DeleteAllButton, true);
    enableControl(ControlId::VerifyButton, true);
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
        return;
    }
    CancelRequested.store(1);
    JobCancelled.store(1);
    resumeJob();
    std::this_thread::sleep_for(std::chrono::milliseconds(InProgressQuitDelayMs));
    QuitRequested.store(1);
}

std::string helpFilePath() {
    return ProgramFolder + "Hashwarden_" + catalogueText("tLangFileLANGID") + ".help";
}

void openHelp() {
    const std::string helpFile = helpFilePath();
    if (HelpProcess.load() != 0 && programRunning(HelpProcess.load())) return;
    const pid_t process = launchProgram(HelpProgramName, "\"" + helpFile + "\"", ProgramFolder);
    if (process == 0) return;
    {
        std::lock_guard guard(HelpLock);
        HelpProcess.store(process);
        HelpWatcherActive.store(1);
    }
    try {
        std::thread(helpWatcher, process).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the help program runs unwatched; the next F1 still sees whether it
        // runs, and the quit still ends it.
        HelpWatcherActive.store(0);
    }
}

void setHelpWatcherProbe(void (*probe)(pid_t process, bool leaving)) {
    HelpWatcherProbe.store(probe);
}

void openWebPage() {
    (void)launchDetached(WebOpenerName, MakerWebAddress, "");
}

void switchLanguageItem(int itemId) {
    (void)switchLanguage(menuItemText(itemId));
    if (CurrentLanguageItem >= 0) setMenuCheck(CurrentLanguageItem, false);
    CurrentLanguageItem = itemId;
    setMenuCheck(itemId, true);
    setLanguageTexts();
    fillPresetTexts();
    refreshVerdictTexts();
}
