// F1: the maker's help program, started once and watched until it ends.
#include "app/help_command.h"

#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/launcher.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"

std::atomic<pid_t> HelpProcess{0};
std::atomic<int> HelpWatcherActive{0};

namespace {

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

void stopHelpProgram() {
    const pid_t help = HelpProcess.load();
    if (help == 0 || !programRunning(help)) return;
    HelpWatcherActive.store(0);
    killProgram(help);
    HelpProcess.store(0);
}

void setHelpWatcherProbe(void (*probe)(pid_t process, bool leaving)) {
    HelpWatcherProbe.store(probe);
}
