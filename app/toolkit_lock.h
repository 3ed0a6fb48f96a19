// The toolkit's global lock: a recursive lock that GDK uses as its own and that the main loop
// releases while it waits, so other threads' control operations get through.
#pragma once

// Installs the lock as GDK's lock functions and the releasing poll function of the default main
// context. Call before gtk_init, on the main thread.
void installToolkitLock();

// Recursive: the owning thread may enter again; each enter needs one leave.
void toolkitEnter();
void toolkitLeave();
[[nodiscard]] bool toolkitLockHeld(); // by the calling thread

// Scoped use of the lock for one control operation: enter, act, flush the display, leave.
struct ToolkitLock {
    ToolkitLock();
    ~ToolkitLock();
    ToolkitLock(const ToolkitLock&) = delete;
    ToolkitLock& operator=(const ToolkitLock&) = delete;
};
