// The calculation job: fingerprints the chosen file with every ticked algorithm on a background thread.
#pragma once

#include <atomic>
#include <cstdint>

// Shared between the main thread and the job thread.
extern std::atomic<int32_t> JobRunning;
extern std::atomic<int32_t> CancelRequested;
extern std::atomic<int32_t> JobCancelled;
extern std::atomic<int32_t> ErrorCount;

struct AlgorithmSlotInfo {
    const char* resultLabel;  // "SHA2-256: "
    int plugin;
    int bits;
};
extern const AlgorithmSlotInfo AlgorithmSlots[11];

void startCalculation();     // VerifyButton while no job runs
void requestCancel();        // VerifyButton while a job runs
void finishCalculation();    // JobFinishedEvent

// Pausing is counted: every pauseJob() needs one resumeJob(). A paused job stops within one block,
// posts nothing and neither holds nor takes the toolkit lock. Main thread only.
void pauseJob();
void resumeJob();
