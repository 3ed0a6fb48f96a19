// The job's scheduler: worker threads compute the passes of one job ahead, slowest first, and the job
// thread takes their digests in slot order.
#include "calc/job_scheduler.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>

#include "fingerprint/engine.h"

namespace {

constexpr std::size_t WorkerStackSize = 1 << 20;

std::atomic<int> WorkersAlive{0};

// The pass this thread is computing, for the block gate (which takes no argument).
thread_local PassSchedule* GateSchedule = nullptr;
thread_local std::size_t GatePass = 0;
thread_local bool GateAbandoned = false;
constexpr std::size_t Unplanned = static_cast<std::size_t>(-1);

// Rough time per byte in tenths of a nanosecond (x86-64, page-cached file); only the order matters.
// Starting the slowest passes first lets the short ones fill the gaps at the end, so the whole job
// ends earliest.
int passCost(const PassRequest& request) {
    switch (request.plugin) {
    case PluginCrc32:
        return 4;
    case PluginSha1:
        return 14;
    case PluginMd5:
        return 29;
    case PluginSha2:
        return request.bits <= 256 ? 15 : 28;
    // One permutation per rate block, and the rate shrinks as the digest grows (FIPS 202, 6.1).
    case PluginSha3:
        return 5600 / std::max(8, 200 - request.bits / 4);
    default:
        return 0;
    }
}

// With the schedule's mutex held.
bool abandoned(const PassSchedule& schedule, const PassRecord& pass) {
    return schedule.ended ||
           (schedule.stop != nullptr && schedule.stop->load() != 0 && pass.request.slot > schedule.reached);
}

bool passGate() {
    PassSchedule& schedule = *GateSchedule;
    if (schedule.hold != nullptr) schedule.hold();
    if (GatePass == Unplanned) return true;
    std::lock_guard lock(schedule.mutex);
    PassRecord& pass = schedule.passes[GatePass];
    if (!abandoned(schedule, pass)) return true;
    pass.state = PassState::Abandoned;
    GateAbandoned = true;
    schedule.changed.notify_all();
    return false;
}

// One pass over the file through the schedule's gate; `index` is its record, or Unplanned.
std::string fingerprintPass(PassSchedule& schedule, const PassRequest& request, std::size_t index) {
    GateSchedule = &schedule;
    GatePass = index;
    GateAbandoned = false;
    setBlockGate(passGate);
    std::string digest = fileFingerprint(schedule.path.c_str(), request.plugin, request.bits);
    setBlockGate(nullptr);
    return digest;
}

// Computes pass `index`, claimed by this thread, with `lock` released meanwhile; stores the digest
// unless the pass was abandoned on the way (its result is thrown away unseen).
void runPass(PassSchedule& schedule, std::size_t index, std::unique_lock<std::mutex>& lock) {
    PassRecord& pass = schedule.passes[index];
    pass.state = PassState::Running;
    const PassRequest request = pass.request;
    lock.unlock();
    std::string digest = fingerprintPass(schedule, request, index);
    lock.lock();
    if (GateAbandoned) return;
    pass.digest = std::move(digest);
    pass.state = PassState::Done;
    schedule.changed.notify_all();
}

// With the schedule's mutex held: the next waiting pass, slowest first; passes that are no longer
// wanted are marked abandoned on the way. passes.size() when there is none.
std::size_t nextWaitingPass(PassSchedule& schedule) {
    for (std::size_t index : schedule.claimOrder) {
        PassRecord& pass = schedule.passes[index];
        if (pass.state != PassState::Waiting) continue;
        if (!abandoned(schedule, pass)) return index;
        pass.state = PassState::Abandoned;
    }
    return schedule.passes.size();
}

void* runWorker(void* argument) {
    PassSchedule& schedule = *static_cast<PassSchedule*>(argument);
    std::unique_lock lock(schedule.mutex);
    for (;;) {
        const std::size_t index = nextWaitingPass(schedule);
        if (index == schedule.passes.size()) break;
        runPass(schedule, index, lock);
    }
    --WorkersAlive;
    return nullptr;
}

std::size_t findPass(const PassSchedule& schedule, int slot) {
    for (std::size_t index = 0; index < schedule.passes.size(); ++index)
        if (schedule.passes[index].request.slot == slot) return index;
    return schedule.passes.size();
}

} // namespace

int passWorkerCount(int passes) {
    int count = 0;
    if (const char* forced = std::getenv("HASHWARDEN_JOB_WORKERS")) count = std::atoi(forced);
    if (count < 1) {
        cpu_set_t usable;
        count = sched_getaffinity(0, sizeof usable, &usable) == 0 ? CPU_COUNT(&usable) : 1;
    }
    return std::max(1, std::min(count, passes));
}

int startPasses(PassSchedule& schedule, std::string path, std::vector<PassRequest> requests, int workers,
                PassHold hold, const std::atomic<int32_t>* stop) {
    schedule.path = std::move(path);
    schedule.hold = hold;
    schedule.stop = stop;
    for (const PassRequest& request : requests)
        schedule.passes.push_back(PassRecord{request, PassState::Waiting, {}});
    for (std::size_t index = 0; index < schedule.passes.size(); ++index)
        schedule.claimOrder.push_back(index);
    // Equal costs: later slots first, as the job thread itself goes from the front.
    std::stable_sort(schedule.claimOrder.begin(), schedule.claimOrder.end(),
                     [&](std::size_t a, std::size_t b) {
                         const int costA = passCost(schedule.passes[a].request);
                         const int costB = passCost(schedule.passes[b].request);
                         return costA != costB ? costA > costB : a > b;
                     });

    workers = std::min(workers, static_cast<int>(schedule.passes.size()));
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return 1;
    if (pthread_attr_setstacksize(&attributes, WorkerStackSize) != 0) workers = 1;
    // Linux threads start with their creator's nice value: workers keep the job thread's priority.
    for (int started = 1; started < workers; ++started) {
        pthread_t thread;
        ++WorkersAlive;
        if (pthread_create(&thread, &attributes, runWorker, &schedule) != 0) {
            --WorkersAlive;
            break;
        }
        schedule.workers.push_back(thread);
    }
    pthread_attr_destroy(&attributes);
    return 1 + static_cast<int>(schedule.workers.size());
}

void reachPass(PassSchedule& schedule, int slot) {
    std::lock_guard lock(schedule.mutex);
    schedule.reached = slot;
}

std::string takePass(PassSchedule& schedule, const PassRequest& request) {
    std::unique_lock lock(schedule.mutex);
    schedule.reached = request.slot;
    const std::size_t index = findPass(schedule, request.slot);
    if (index == schedule.passes.size()) {
        lock.unlock();
        return fingerprintPass(schedule, request, Unplanned);
    }
    PassRecord& pass = schedule.passes[index];
    for (;;) {
        switch (pass.state) {
        case PassState::Done:
            return std::move(pass.digest);
        // Abandoned before the job got here (a stop seen just before `reached` moved): wanted after all.
        case PassState::Abandoned:
            pass.state = PassState::Waiting;
            [[fallthrough]];
        case PassState::Waiting:
            runPass(schedule, index, lock);
            break;
        case PassState::Running: {
            const std::size_t other = nextWaitingPass(schedule);
            if (other != schedule.passes.size())
                runPass(schedule, other, lock);
            else
                schedule.changed.wait(lock);
            break;
        }
        }
    }
}

void endPasses(PassSchedule& schedule) {
    {
        std::lock_guard lock(schedule.mutex);
        schedule.ended = true;
    }
    schedule.changed.notify_all();
    for (pthread_t worker : schedule.workers)
        pthread_join(worker, nullptr);
    schedule.workers.clear();
}

int passWorkersAlive() {
    return WorkersAlive;
}
