// The main event loop, its dispatch table and the shell's own commands.
#pragma once

#include <string>
#include <sys/types.h>

#include "app/events.h"

// Runs until QuitRequested is 1 after an event.
void runEventLoop();
// Routes one event by window, kind and id (main thread).
void dispatchEvent(const Event& event);

// The shell's commands.
void chooseFile();
void takeDroppedFile(const std::string& droppedNames);
void quitQuestion();
void inProgressQuit();
void openHelp();
void openWebPage();
void switchLanguageItem(int itemId);

// Puts a path into PathEntry and enables DeleteAllButton and VerifyButton when it names an
// existing file that is not a folder (size 0 counts); false, with nothing changed, otherwise.
bool takeFileIfUsable(const std::string& path);
// Everything up to and including the last "/"; empty when there is none.
[[nodiscard]] std::string folderPart(const std::string& path);
// ProgramFolder + "Hashwarden_" + tLangFileLANGID + ".help".
[[nodiscard]] std::string helpFilePath();
// Tests: called by a HelpWatcher thread when it has seen its help program end, before it clears
// the shared state (leaving false), and when the thread ends (leaving true). Null: none.
void setHelpWatcherProbe(void (*probe)(pid_t process, bool leaving));
// Milliseconds between the HelpWatcher's looks at the help program.
constexpr int HelpWatchPeriodMs = 100;
// Pause between confirming the in-progress quit and leaving the loop.
constexpr int InProgressQuitDelayMs = 100;
