// The program's event queue: toolkit callbacks and other threads post, the main thread waits and takes.
// The guard that keeps the program's own changes to controls from raising events lives here too.
#pragma once

#include <functional>
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
constexpr int EntryActionChosen = 4; // the entry's action (ui/entry_action.h): its icon, menu item or key

struct Event {
    int kind = 0;
    int window = -1;
    int id = -1;
    int subtype = 0;
    std::string data; // dropped file names, joined by line feeds
};

// Safe from any thread; wakes the waiting main loop. Program events (65536 and above) are always queued.
void postEvent(const Event& event);

// Blocks until the queue holds an event, running the toolkit's main loop meanwhile (main thread).
// Takes the first event and returns it.
[[nodiscard]] Event waitForEvent();
// As waitForEvent, but takes the first event for which `wanted` is true; the others stay queued
// in their order (a dialog keeps the events of other windows for the main loop this way).
[[nodiscard]] Event waitForEventWhere(const std::function<bool(const Event&)>& wanted);
// As waitForEventWhere, giving up after `timeoutMs` milliseconds; false when none came.
[[nodiscard]] bool waitForEventWhereFor(const std::function<bool(const Event&)>& wanted, int timeoutMs,
                                        Event* event);

// Runs the toolkit's main loop (blocking, no polling) until done() is true or `timeoutMs` have
// passed; returns done(). done() is looked at after each dispatched source.
bool iterateUntil(const std::function<bool()>& done, int timeoutMs);

// Removes every queued event of `window` (a closed dialog's leftovers).
void discardWindowEvents(int window);
// Removes the queued input of the main window (events the toolkit raised for it); program events
// such as the job's end keep their places. Input queued before a dialog took over was meant for
// the window as it was then and must not be acted on after the dialog.
void discardMainWindowInput();
void clearEventQueue();
[[nodiscard]] int queuedEventCount();

// While one of these lives on a thread, events the toolkit raises on that thread are dropped:
// the program is setting a text, a state or a check mark itself.
struct ProgramChange {
    ProgramChange();
    ~ProgramChange();
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;
};
