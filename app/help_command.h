// F1: the maker's help program with the language's help file, and the thread that watches it end.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>

constexpr const char* HelpProgramName = "Leafscope.exe";
// Milliseconds between the HelpWatcher's looks at the help program.
constexpr int HelpWatchPeriodMs = 100;

// The help program started by F1 (0: none) and the HelpWatcher's active flag. The watcher thread and
// the main thread change them together under one lock; a watched help program is waited for by its
// watcher alone, and by the main thread only once the quit has taken it over.
extern std::atomic<pid_t> HelpProcess;
extern std::atomic<int> HelpWatcherActive;

// Starts the help program unless it runs already.
void openHelp();
// Ends a help program that still runs (the quit).
void stopHelpProgram();
// ProgramFolder + "Hashwarden_" + tLangFileLANGID + ".help".
[[nodiscard]] std::string helpFilePath();

// Tests: called by a HelpWatcher thread, outside the lock, before each look at its help program
// (Looking), once it has seen the program end and cleared the shared state (SawEnd), and as the
// thread ends (Leaving). Null: none.
enum class HelpWatcherStep { Looking, SawEnd, Leaving };
void setHelpWatcherProbe(void (*probe)(pid_t process, HelpWatcherStep step));
