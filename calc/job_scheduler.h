// The job's scheduler: the passes of one job computed ahead on every core, handed over in slot order.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// One slot's checksum: a fileFingerprint pass of its own over the file.
struct PassRequest {
    int slot;
    int plugin;
    int bits;
};

enum class PassState { Waiting, Running, Done, Abandoned };

struct PassRecord {
    PassRequest request;
    PassState state = PassState::Waiting;
    std::string digest;
};

// Called on every thread of the job between two blocks of every pass: the calculation job holds its
// threads there while a question about it is open.
using PassHold = void (*)();

// One job's passes. The thread that starts them (the job thread) takes the digests in slot order and
// counts as one worker: while the pass it waits for runs elsewhere it computes another one.
struct PassSchedule {
    std::string path;
    std::vector<PassRecord> passes;      // in slot order
    std::vector<std::size_t> claimOrder; // indices into passes, slowest first
    const std::atomic<int32_t>* stop = nullptr;
    PassHold hold = nullptr;
    std::vector<pthread_t> workers;

    std::mutex mutex; // guards the states, digests, `reached` and `ended`
    std::condition_variable changed;
    int reached = -1; // the slot the job thread has reached
    bool ended = false;
};

// How many threads should work on `passes` passes, the job thread included: one per core this process
// may run on, never more than the passes, at least one. HASHWARDEN_JOB_WORKERS, set only by tests,
// forces the count (still capped by the passes).
[[nodiscard]] int passWorkerCount(int passes);

// Starts the passes over `path`, in slot order, on `workers` threads counting the caller: it creates
// workers - 1 threads at the caller's priority. A thread that cannot be created leaves the work to the
// others. Once *stop is not 0, every pass after the reached slot is abandoned at its next block.
// Returns the number of threads working, the caller included.
int startPasses(PassSchedule& schedule, std::string path, std::vector<PassRequest> requests, int workers,
                PassHold hold, const std::atomic<int32_t>* stop);

// Job thread: `slot` is the one it works on now; no stop abandons that slot's pass any more.
void reachPass(PassSchedule& schedule, int slot);

// Job thread: the digest of the request's slot (the empty text when fingerprinting failed). Waits for
// it, computing another waiting pass meanwhile; computes it itself if nobody has, or if it was not
// among the started passes. Reaches the slot first.
[[nodiscard]] std::string takePass(PassSchedule& schedule, const PassRequest& request);

// Job thread: abandons every pass not yet taken and waits until every worker has left. Every started
// schedule must end this way before it goes.
void endPasses(PassSchedule& schedule);

// Worker threads of any schedule that have not yet ended.
[[nodiscard]] int passWorkersAlive();
