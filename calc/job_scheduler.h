// The job's scheduler: the file read once for every pass of one job (calc/ring_reader.h), the passes
// (calc/pass_grouping.h) hashed side by side by a pool of workers on every core and handed over in
// slot order.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "calc/pass_schedule.h"
#include "fingerprint/read_ahead.h"

// How many threads should work on `passes` passes, the job thread included: one per core this process
// may run on, never more than the passes, at least one. HASHWARDEN_JOB_WORKERS, set only by tests,
// forces the count (still capped by the passes).
[[nodiscard]] int passWorkerCount(int passes);

// Opens `path` once and starts the passes over it on `workers` threads counting the caller: it creates
// workers - 1 threads at the caller's priority, and a reader thread that fills the ring. A thread that
// cannot be created leaves its work to the others (without a reader, the workers read). Once *stop is
// not 0, every pass not yet done is abandoned at its next block; the done ones keep their digests.
// Returns the number of threads working, the caller included.
int startPasses(PassSchedule& schedule, std::string path, std::vector<PassRequest> requests, int workers,
                PassHold hold, const std::atomic<int32_t>* stop);

// What became of one slot's pass.
struct PassOutcome {
    std::string digest;     // the empty text when fingerprinting failed or the pass was abandoned
    bool abandoned = false; // a stop dropped it before it was done
};

// Job thread: what became of the request's slot. Waits until its pass is done or abandoned, feeding the
// passes meanwhile. A slot that was not among the started requests has no pass and fails.
[[nodiscard]] PassOutcome takePass(PassSchedule& schedule, const PassRequest& request);

// Job thread: abandons every pass not yet done, waits until every thread of the schedule has left and
// closes the file. Every started schedule must end this way before it goes.
void endPasses(PassSchedule& schedule);

// Worker threads of any schedule that have not yet ended (the readers are not counted).
[[nodiscard]] int passWorkersAlive();

// How the scheduler makes its threads: pthread_create, unless a test puts in place one that fails,
// to see the work done without them. nullptr puts pthread_create back.
using PassThreadCreator = filereader::ThreadCreate;
void setPassThreadCreator(PassThreadCreator create);
