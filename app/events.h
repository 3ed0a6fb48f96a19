// The program's event queue: toolkit callbacks and other threads post, the main loop takes.
#pragma once

#include <string>

constexpr int MenuEvent = 1;
constexpr int CloseEvent = 2;
constexpr int ControlEvent = 3;
constexpr int DropEvent = 11;
constexpr int JobFinishedEvent = 65536;

constexpr int MainWindowNumber = 0;
constexpr int AboutWindowNumber = 1;
constexpr int DialogWindowNumber = 2; // the open MessageDialog

// Subtypes of an entry's ControlEvent.
constexpr int EntryTextChanged = 1;
constexpr int EntryFocusGained = 2;
constexpr int EntryFocusLost = 3;

struct Event {
    int kind = 0;
    int window = -1;
    int id = -1;
    int subtype = 0;
    std::string data; // dropped file names, joined by line feeds
};

// Safe from any thread; wakes the waiting main loop. Program events (65536 and above) are always queued.
void postEvent(const Event& event);
