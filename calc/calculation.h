// The calculation job: fingerprints the chosen file with every ticked algorithm on a background thread.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

// Shared between the main thread and the job thread.
extern std::atomic<int32_t> JobRunning;
extern std::atomic<int32_t> CancelRequested;
extern std::atomic<int32_t> JobCancelled;
extern std::atomic<int32_t> ErrorCount;

// The running job's thread; valid only while JobRunning is 1 and the job has not ended.
extern pthread_t JobThread;

struct AlgorithmSlotInfo {
    const char* resultLabel;  // "SHA2-256: "
    int plugin;
    int bits;
};
extern const AlgorithmSlotInfo AlgorithmSlots[11];

void startCalculation();     // VerifyButton while no job runs
void requestCancel();        // VerifyButton while a job runs
void finishCalculation();    // JobFinishedEvent

// The body of the job thread; ignores its argument and returns nothing anyone reads.
void* runCalculationJob(void*);

// Pausing is counted: every pauseJob() needs one resumeJob(). A paused job (the job thread and every
// worker) stops within one block, posts nothing and neither holds nor takes the toolkit lock. Main
// thread only.
// At shutdown a pauseJob() without a resume parks a job that is still running for good, so it
// cannot touch a window that is being destroyed.
void pauseJob();
void resumeJob();

// True from the start of a job until its thread posts the end event, its last work.
[[nodiscard]] bool jobThreadActive();

// How far the job has got, in the progress bar's units: the sum over the ticked algorithms of the
// share of the file each has hashed, 1 for each that has finished or failed. Grows during a job and
// reaches the number of ticked algorithms as the last one ends; the last job's value after it.
[[nodiscard]] double jobProgress();

// How many threads of the job (the job thread and its workers) wait for the pause to end.
[[nodiscard]] int jobThreadsHeldAtGate();

// Every thread of the job waits here while the job is paused: fileFingerprint passes it between
// blocks, and the job thread once more when it reaches a slot, before taking that slot's result.
void passJobGate();

// Job thread only: the toolkit lock for one control operation, taken only while no pause is in
// force. A pause begins on the main thread under the same lock, so a job holding it cannot be
// paused mid-operation, and a paused job waits without holding or taking it.
struct JobControlLock {
    JobControlLock();
    ~JobControlLock();
    JobControlLock(const JobControlLock&) = delete;
    JobControlLock& operator=(const JobControlLock&) = delete;
};

// Observes the job thread each time it passes the gate, with the slot it is at (-1 before the
// first); the first call for a slot comes as the job reaches it, before any block of work it does
// there. Lets a test hold the job at a known point; none by default.
using JobGateProbe = void (*)(int slot);
void setJobGateProbe(JobGateProbe probe);
