// The toolkit belongs to the main thread: every widget is made, changed and read there, and nowhere else.
#pragma once

// Marks the calling thread as the main thread (start-up, before the toolkit starts).
void rememberMainThread();

// True on the main thread (and before any thread was marked). Off it, the call is refused: one line on
// standard error names `operation`, the refusal is counted, and false tells the caller to do nothing.
// The window's operations check this first, so a thread that reaches for a widget is caught, not
// allowed to race the main loop's drawing.
[[nodiscard]] bool onMainThread(const char* operation);

// Calls refused so far, for tests: a whole job must leave this where it was.
[[nodiscard]] int toolkitCallsRefused();
