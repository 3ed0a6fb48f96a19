// The calculation job's thread: the passes over one read of the file (calc/job_scheduler.h), taken in
// slot order and published into the job's results, with the pause gate that holds every thread of it.
#include "calc/calculation_job.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "calc/job_results.h"
#include "calc/job_scheduler.h"

namespace {

constexpr std::size_t JobStackSize = 1 << 20;
constexpr int JobNiceness = 5;

// The pause gate. A count, not a flag, because a cancel question and a quit question may overlap.
std::mutex PauseMutex;
std::condition_variable PauseChanged;
int PauseCount = 0;  // guarded by PauseMutex
int HeldThreads = 0; // threads of the job waiting for the pause to end; guarded by PauseMutex

// The job's state. Only this file writes it: the main thread at the start, the cancel and the end's
// handling, the job thread as it ends.
std::atomic<bool> Running{false};         // from startJob until acknowledgeJobEnd
std::atomic<int32_t> CancelRequested{0};  // read by every thread of the job at each block
std::atomic<bool> JobThreadActive{false};
std::mutex OutcomeLock;
JobOutcome Outcome; // the last job's, filled in by its thread as it ends; guarded by OutcomeLock

std::atomic<int> CurrentSlot{-1}; // the slot the job thread is at
thread_local bool OnJobThread = false;
std::atomic<JobGateProbe> GateProbe{nullptr};

std::mutex ListenerLock;
JobListener Listener; // guarded by ListenerLock

// How far each slot's pass has got, and the size of the file the job reads (set before any pass
// starts). Written by the job's threads, read by whoever shows the progress.
std::array<PassProgress, SlotCount> SlotProgress;
std::atomic<int64_t> JobFileBytes{0};

JobListener listener() {
    std::lock_guard lock(ListenerLock);
    return Listener;
}

void tellResultsChanged() {
    if (const JobListener heard = listener(); heard.resultsChanged != nullptr) heard.resultsChanged();
}

void tellEnded() {
    if (const JobListener heard = listener(); heard.ended != nullptr) heard.ended();
}

// Waits, with PauseMutex held through `lock`, until no pause is in force.
void waitWhilePaused(std::unique_lock<std::mutex>& lock) {
    if (PauseCount == 0) return;
    ++HeldThreads;
    PauseChanged.wait(lock, [] { return PauseCount == 0; });
    --HeldThreads;
}

// The gate held shut for one step of the job thread: no pause is in force when it opens, and none
// can begin (nor a cancel, which is only confirmed while paused) until it closes.
struct GateHeld {
    std::unique_lock<std::mutex> lock{PauseMutex};
    GateHeld() { waitWhilePaused(lock); }
};

// A slot's pass, reporting its progress where jobProgress looks.
PassRequest requestFor(int slot) {
    return {slot, AlgorithmSlots[slot].plugin, AlgorithmSlots[slot].bits, &SlotProgress[slot]};
}

void runJob(const JobInputs& inputs) {
    int failed = 0;
    std::vector<PassRequest> ticked;
    for (int slot = 0; slot < SlotCount; ++slot)
        if (inputs.ticked[slot]) ticked.push_back(requestFor(slot));
    // The size the passes' shares are measured against (a disk's from the device); a file that cannot
    // be read fails every pass.
    JobFileBytes = std::max<int64_t>(fileVersionAt(inputs.path).size, 0);
    // Every thread of the job waits in passJobGate between blocks, so a pause holds it within one
    // block; a confirmed cancel abandons every pass not yet done at its next block.
    PassSchedule passes;
    (void)startPasses(passes, inputs.path, ticked, passWorkerCount(static_cast<int>(ticked.size())),
                      passJobGate, &CancelRequested);

    // The results come in slot order; after a cancel, those of the passes already done still come.
    for (const PassRequest& request : ticked) {
        CurrentSlot = request.slot;
        passJobGate();
        const PassOutcome outcome = takePass(passes, request);
        if (outcome.abandoned) continue;
        if (outcome.digest.empty()) {
            ++failed;
            continue;
        }
        {
            GateHeld gate; // a paused job publishes nothing
            publishResult(request.slot, outcome.digest);
        }
        tellResultsChanged();
    }

    CurrentSlot = -1;
    // No worker outlives the job: the passes nobody took are abandoned at their next block.
    endPasses(passes);
    std::lock_guard lock(OutcomeLock);
    Outcome.failed = failed;
    Outcome.failure = failed != 0 ? (passes.failure != 0 ? passes.failure : ENOMEM) : 0;
    Outcome.cancelled = CancelRequested != 0;
    Outcome.fileVersion = passes.opened;
}

void* runCalculationJob(void* argument) {
    const std::unique_ptr<JobInputs> inputs(static_cast<JobInputs*>(argument));
    // The window comes first: on a busy machine the hashing yields to the main loop, not the reverse.
    // The workers it starts inherit this priority.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), JobNiceness);
    OnJobThread = true;
    runJob(*inputs);
    {
        // The end waits until every question about the job has been answered.
        GateHeld gate;
        JobThreadActive = false; // nothing after this touches the job's state
    }
    tellEnded();
    return nullptr;
}

} // namespace

void setJobListener(JobListener listener) {
    std::lock_guard lock(ListenerLock);
    Listener = listener;
}

void startJob(JobInputs inputs) {
    CancelRequested = 0;
    CurrentSlot = -1;
    JobThreadActive = true;
    for (PassProgress& pass : SlotProgress)
        pass.reset();
    JobFileBytes = 0;
    {
        std::lock_guard lock(OutcomeLock);
        Outcome = {};
    }
    Running = true;
    const int ticked = static_cast<int>(std::count(inputs.ticked.begin(), inputs.ticked.end(), true));
    auto owned = std::make_unique<JobInputs>(std::move(inputs));

    pthread_t thread{};
    pthread_attr_t attributes;
    bool created = pthread_attr_init(&attributes) == 0;
    if (created) {
        created = pthread_attr_setstacksize(&attributes, JobStackSize) == 0 &&
                  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                  pthread_create(&thread, &attributes, runCalculationJob, owned.get()) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (created) {
        (void)owned.release(); // the thread owns its inputs now
        return;
    }
    // The end of a job whose thread could not be created: every ticked algorithm counts as failed.
    {
        std::lock_guard lock(OutcomeLock);
        Outcome.failed = ticked;
        Outcome.failure = ticked != 0 ? EAGAIN : 0;
    }
    JobThreadActive = false;
    tellEnded();
}

void passJobGate() {
    if (JobGateProbe probe = GateProbe.load(); probe != nullptr && OnJobThread) probe(CurrentSlot.load());
    std::unique_lock lock(PauseMutex);
    waitWhilePaused(lock);
}

void pauseJob() {
    std::lock_guard lock(PauseMutex);
    ++PauseCount;
}

void resumeJob() {
    std::lock_guard lock(PauseMutex);
    if (PauseCount > 0) --PauseCount;
    if (PauseCount == 0) PauseChanged.notify_all();
}

bool jobPaused() {
    std::lock_guard lock(PauseMutex);
    return PauseCount > 0;
}

int jobThreadsHeldAtGate() {
    std::lock_guard lock(PauseMutex);
    return HeldThreads;
}

void setJobGateProbe(JobGateProbe probe) {
    GateProbe = probe;
}

bool jobRunning() {
    return Running;
}

void cancelJob() {
    CancelRequested = 1;
}

bool jobCancelRequested() {
    return CancelRequested != 0;
}

JobOutcome acknowledgeJobEnd() {
    std::lock_guard lock(OutcomeLock);
    if (!Running) return Outcome;
    // A cancel confirmed after the job's threads were done still makes it a cancelled job: the
    // question was answered about it.
    Outcome.cancelled = Outcome.cancelled || CancelRequested != 0;
    CancelRequested = 0;
    Running = false;
    return Outcome;
}

JobOutcome lastJobOutcome() {
    std::lock_guard lock(OutcomeLock);
    return Outcome;
}

bool jobThreadActive() {
    return JobThreadActive;
}

double jobProgress() {
    // The last share of a pass is its end: a pass that has fed the whole file but not finished
    // shows just under a whole unit, so the bar reaches the number of passes only as the last ends.
    const int64_t size = std::max<int64_t>(JobFileBytes.load(), 0);
    const double whole = static_cast<double>(size) + 1.0;
    double done = 0;
    for (const PassProgress& pass : SlotProgress) {
        if (pass.ended) {
            done += 1.0;
            continue;
        }
        // A file that grew under the job counts no further than its size at the start.
        done += static_cast<double>(std::min(pass.bytesFed.load(), size)) / whole;
    }
    return done;
}
