// The shell's own commands: choosing or dropping a file, quitting, the web page, the language switch.
#pragma once

#include <atomic>
#include <string>

constexpr const char* MakerWebAddress = "https://www.brightmoor.example/hashwarden/";
constexpr const char* WebOpenerName = "xdg-open";
// Pause between confirming the in-progress quit and leaving the loop.
constexpr int InProgressQuitDelayMs = 100;

// The event loop ends after the event during which this became 1.
extern std::atomic<int> QuitRequested;

void chooseFile();
void takeDroppedFile(const std::string& droppedNames);
void quitQuestion();
void inProgressQuit();
void openWebPage();
void switchLanguageItem(int itemId);

// Puts a path into PathEntry and enables DeleteAllButton and VerifyButton when it names an
// existing file that is not a folder (size 0 counts) and no job runs; false, with nothing changed,
// otherwise.
bool takeFileIfUsable(const std::string& path);
