// F1: the maker's help program with the language's help file, and the thread that watches it end.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>

constexpr const char* HelpProgramName = "Leafscope.exe";
// Milliseconds between the HelpWatcher's looks at the help program.
constexpr int HelpWatchPeriodMs = 100;

// The help program started by F1 (0: none) and the HelpWatcher's active flag; the watcher thread
// and the main thread both read and clear them.
extern std::atomic<pid_t> HelpProcess;
extern std::atomic<int> HelpWatcherActive;

// Starts the help program unless it runs already.
void openHelp();
// Ends a help program that still runs (the quit).
void stopHelpProgram();
// ProgramFolder + "Hashwarden_" + tLangFileLANGID + ".help".
[[nodiscard]] std::string helpFilePath();

// Tests: called by a HelpWatcher thread when it has seen its help program end, before it clears
// the shared state (leaving false), and when the thread ends (leaving true). Null: none.
void setHelpWatcherProbe(void (*probe)(pid_t process, bool leaving));
