// The main event loop and its dispatch table: every command is reached from here, on the main thread.
#pragma once

#include "ui/event_queue.h"

// Runs until QuitRequested is 1 after an event.
void runEventLoop();
// Routes one event by window, kind and id.
void dispatchEvent(const Event& event);
