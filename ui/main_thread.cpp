// The toolkit belongs to the main thread: the check every window operation makes first.
#include "ui/main_thread.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

std::atomic<std::thread::id> MainThread{};
std::atomic<int> Refused{0};

} // namespace

void rememberMainThread() {
    MainThread = std::this_thread::get_id();
}

bool onMainThread(const char* operation) {
    const std::thread::id main = MainThread.load();
    if (main == std::thread::id() || main == std::this_thread::get_id()) return true;
    ++Refused;
    std::fprintf(stderr, "hashwarden: %s called off the main thread; refused\n", operation);
    return false;
}

int toolkitCallsRefused() {
    return Refused;
}
