// The main event loop: takes one event at a time and routes it to its command.
#include "app/event_loop.h"

#include "app/calculation_handlers.h"
#include "app/export_handlers.h"
#include "app/help_command.h"
#include "app/shell_commands.h"
#include "app/verification_handlers.h"
#include "calc/calculation_job.h"
#include "dialogs/about_window.h"
#include "ui/controls.h"
#include "ui/menu_bar.h"

namespace {

void dispatchMenu(int id) {
    switch (id) {
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
        if (id >= MenuLanguageBase && id != CurrentLanguageItem) switchLanguageItem(id);
        break;
    }
}

void dispatchControl(int id) {
    if (const int slot = ControlId::copyButtonSlot(id); slot >= 0) {
        copyResult(slot);
        return;
    }
    switch (id) {
    case ControlId::BrowseButton:
        chooseFile();
        break;
    case ControlId::CopyAllButton:
        copyAllResults();
        break;
    case ControlId::SaveButton:
        saveResults();
        break;
    case ControlId::DeleteAllButton:
        deleteAllResults();
        break;
    case ControlId::ExpectedBrowseButton:
        loadExpectedChecksum();
        break;
    case ControlId::VerifyButton:
        if (jobRunning())
            requestCancel();
        else
            startCalculation();
        break;
    default:
        break;
    }
}

void dispatchMainWindow(const Event& event) {
    switch (event.kind) {
    case MenuEvent:
        dispatchMenu(event.id);
        break;
    case CloseEvent:
        if (jobRunning())
            inProgressQuit();
        else
            quitQuestion();
        break;
    case ControlEvent:
        if (event.id == ControlId::ExpectedEntry) {
            if (event.subtype == EntryTextChanged) expectedChecksumChanged();
            if (event.subtype == EntryActionChosen) useOfferedChecksum();
        } else {
            dispatchControl(event.id);
        }
        break;
    case DropEvent:
        if (event.id == ControlId::PathEntry) takeDroppedFile(event.data);
        break;
    default:
        break;
    }
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
        if ((event.kind == ControlEvent && event.id == AboutOkButtonId) || event.kind == CloseEvent) closeAbout();
    }
}

void runEventLoop() {
    QuitRequested.store(0);
    while (true) {
        dispatchEvent(waitForEvent());
        if (QuitRequested.load() == 1) break;
    }
}
