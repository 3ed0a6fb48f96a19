// The toolkit's global lock, shared by GDK, the control operations and the main loop's wait.
#include "app/toolkit_lock.h"

#include <gtk/gtk.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

std::mutex StateLock;
std::condition_variable Released;
std::thread::id Owner;
int Depth = 0;

void enterLock() {
    std::unique_lock guard(StateLock);
    const std::thread::id self = std::this_thread::get_id();
    if (Depth > 0 && Owner == self) {
        ++Depth;
        return;
    }
    Released.wait(guard, [] { return Depth == 0; });
    Owner = self;
    Depth = 1;
}

void leaveLock() {
    std::unique_lock guard(StateLock);
    if (Depth == 0 || Owner != std::this_thread::get_id()) return; // not ours: ignore rather than corrupt
    if (--Depth == 0) {
        Owner = std::thread::id();
        guard.unlock();
        Released.notify_one();
    }
}

// Releases every level the calling thread holds; returns how many, for reacquireLock.
int releaseLock() {
    std::unique_lock guard(StateLock);
    if (Depth == 0 || Owner != std::this_thread::get_id()) return 0;
    const int held = Depth;
    Depth = 0;
    Owner = std::thread::id();
    guard.unlock();
    Released.notify_one();
    return held;
}

void reacquireLock(int held) {
    if (held == 0) return;
    std::unique_lock guard(StateLock);
    Released.wait(guard, [] { return Depth == 0; });
    Owner = std::this_thread::get_id();
    Depth = held;
}

// The main context blocks only here; letting the lock go while it does is what allows the
// calculation thread to update the window while the main thread waits for events.
gint releasingPoll(GPollFD* fds, guint count, gint timeout) {
    const int held = releaseLock();
    const gint result = g_poll(fds, count, timeout);
    reacquireLock(held);
    return result;
}

} // namespace

void installToolkitLock() {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gdk_threads_set_lock_functions(enterLock, leaveLock);
    gdk_threads_init();
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_main_context_set_poll_func(g_main_context_default(), releasingPoll);
}

void toolkitEnter() {
    enterLock();
}
void toolkitLeave() {
    leaveLock();
}

bool toolkitLockHeld() {
    std::lock_guard guard(StateLock);
    return Depth > 0 && Owner == std::this_thread::get_id();
}

ToolkitLock::ToolkitLock() {
    enterLock();
}

ToolkitLock::~ToolkitLock() {
    if (GdkDisplay* display = gdk_display_get_default()) gdk_display_flush(display);
    leaveLock();
}
