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

// Guards HelpProcess, HelpWatcherActive and HelpLaunch together. A watcher looks at its program
// (waitpid) only while it holds the lock and its launch is still the current one, so no two threads
// ever wait for the same child, not even for a newer one that the system gave the same process id.
std::mutex HelpLock;
unsigned HelpLaunch = 0; // counts the help programs started and the quits; guarded by HelpLock
std::atomic<void (*)(pid_t, HelpWatcherStep)> HelpWatcherProbe{nullptr};

void probeHelpWatcher(pid_t process, HelpWatcherStep step) {
    if (auto probe = HelpWatcherProbe.load()) probe(process, step);
}

// Watches the help program of one launch; a newer one has a watcher of its own.
void helpWatcher(pid_t process, unsigned launch) {
    for (;;) {
        probeHelpWatcher(process, HelpWatcherStep::Looking);
        bool ended = false;
        {
            std::lock_guard guard(HelpLock);
            // A newer launch or the quit has taken the program over: it is theirs to wait for.
            if (HelpLaunch != launch || HelpProcess.load() != process || HelpWatcherActive.load() != 1) break;
            if (!programRunning(process)) { // reaps it
                HelpProcess.store(0);
                HelpWatcherActive.store(0);
                ended = true;
            }
        }
        if (ended) {
            probeHelpWatcher(process, HelpWatcherStep::SawEnd);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(HelpWatchPeriodMs));
    }
    probeHelpWatcher(process, HelpWatcherStep::Leaving);
}

} // namespace

std::string helpFilePath() {
    return ProgramFolder + "Hashwarden_" + catalogueText("tLangFileLANGID") + ".help";
}

void openHelp() {
    const std::string helpFile = helpFilePath();
    {
        std::lock_guard guard(HelpLock);
        const pid_t running = HelpProcess.load();
        // A watched program runs until its watcher has seen it end; only an unwatched one (no thread
        // was left for a watcher) is looked at here.
        if (running != 0 && (HelpWatcherActive.load() == 1 || programRunning(running))) return;
        HelpProcess.store(0);
    }
    const pid_t process = launchProgram(HelpProgramName, "\"" + helpFile + "\"", ProgramFolder);
    if (process == 0) return;
    unsigned launch = 0;
    {
        std::lock_guard guard(HelpLock);
        HelpProcess.store(process);
        HelpWatcherActive.store(1);
        launch = ++HelpLaunch;
    }
    try {
        std::thread(helpWatcher, process, launch).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the help program runs unwatched; the next F1 still sees whether it
        // runs, and the quit still ends it.
        std::lock_guard guard(HelpLock);
        HelpWatcherActive.store(0);
    }
}

void stopHelpProgram() {
    pid_t help = 0;
    {
        // The quit takes the program over: its watcher, if any, no longer looks at it.
        std::lock_guard guard(HelpLock);
        help = HelpProcess.exchange(0);
        HelpWatcherActive.store(0);
        ++HelpLaunch;
    }
    // Kills and reaps it; nothing when it has already ended and been reaped.
    if (help != 0) killProgram(help);
}

void setHelpWatcherProbe(void (*probe)(pid_t process, HelpWatcherStep step)) {
    HelpWatcherProbe.store(probe);
}
