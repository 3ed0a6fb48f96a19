// The program's event queue: a locked FIFO fed by toolkit callbacks and by any thread.
#include "ui/event_queue.h"

#include <glib.h>

#include <deque>
#include <mutex>

namespace {

std::mutex QueueLock;
std::deque<Event> Queue;
thread_local int ProgramChangeDepth = 0;

bool sameToolkitEvent(const Event& a, const Event& b) {
    return a.kind == b.kind && a.window == b.window && a.id == b.id && a.subtype == b.subtype;
}

bool takeWhere(const std::function<bool(const Event&)>& wanted, Event* event) {
    std::lock_guard guard(QueueLock);
    for (auto it = Queue.begin(); it != Queue.end(); ++it) {
        if (!wanted || wanted(*it)) {
            *event = std::move(*it);
            Queue.erase(it);
            return true;
        }
    }
    return false;
}

} // namespace

void postEvent(const Event& event) {
    const bool programEvent = event.kind >= JobFinishedEvent;
    if (!programEvent && ProgramChangeDepth > 0) return;
    {
        std::lock_guard guard(QueueLock);
        if (!programEvent && !Queue.empty() && sameToolkitEvent(Queue.back(), event)) return;
        Queue.push_back(event);
    }
    g_main_context_wakeup(nullptr);
}

Event waitForEventWhere(const std::function<bool(const Event&)>& wanted) {
    Event event;
    // A post from another thread between the look and the iteration wakes the context, so the
    // blocking iteration below returns at once: no wake-up is lost and nothing polls.
    while (!takeWhere(wanted, &event))
        g_main_context_iteration(nullptr, TRUE);
    return event;
}

Event waitForEvent() {
    return waitForEventWhere(nullptr);
}

bool iterateUntil(const std::function<bool()>& done, int timeoutMs) {
    bool expired = false;
    const guint timer = g_timeout_add(
        static_cast<guint>(timeoutMs),
        [](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &expired);
    bool finished = false;
    while (!(finished = done()) && !expired)
        g_main_context_iteration(nullptr, TRUE);
    if (!expired) g_source_remove(timer);
    return finished;
}

bool waitForEventWhereFor(const std::function<bool(const Event&)>& wanted, int timeoutMs, Event* event) {
    return iterateUntil([&] { return takeWhere(wanted, event); }, timeoutMs);
}

void discardWindowEvents(int window) {
    std::lock_guard guard(QueueLock);
    std::erase_if(Queue, [window](const Event& event) { return event.window == window; });
}

void discardMainWindowInput() {
    std::lock_guard guard(QueueLock);
    std::erase_if(Queue, [](const Event& event) {
        return event.kind < JobFinishedEvent && event.window == MainWindowNumber;
    });
}

void clearEventQueue() {
    std::lock_guard guard(QueueLock);
    Queue.clear();
}

int queuedEventCount() {
    std::lock_guard guard(QueueLock);
    return static_cast<int>(Queue.size());
}

ProgramChange::ProgramChange() {
    ++ProgramChangeDepth;
}
ProgramChange::~ProgramChange() {
    --ProgramChangeDepth;
}
