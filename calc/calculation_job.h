// The calculation job: a background thread that fingerprints one file with every ticked algorithm,
// publishes each result in slot order into the job's results (calc/job_results.h) and says when it
// has ended. It never touches the window: whoever starts it shows what it publishes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "calc/algorithm_slots.h"
#include "calc/file_version.h"

// What the main loop learns of a job that has ended, handed over once as it handles the end.
struct JobOutcome {
    int failed = 0;          // ticked algorithms that gave no result
    int failure = 0;         // why they failed: the errno of the open or read that failed,
                             // NotAFileWithAnEnd or FileChangedWhileRead (files/file_failure.h); 0 when none
    bool cancelled = false;  // a cancel was confirmed before the end was handled
    FileVersion fileVersion; // the version of the file the job opened (unknown when it opened none):
                             // the one its results describe
};

// What a job works on, taken from the window when it starts; the job keeps its own copy. The results
// are compared on the main thread, with the expected checksum as the field holds it then.
struct JobInputs {
    std::string path;     // the file name's bytes
    SlotFlags ticked{};
};

// How the job reaches whoever shows it. Both are called on the job thread, so they must only hand
// over to the thread that shows (they must not touch the toolkit themselves); none by default.
struct JobListener {
    void (*resultsChanged)() = nullptr; // a result was published
    void (*ended)() = nullptr;          // the job has ended: its last call
};
void setJobListener(JobListener listener);

// Starts the job thread (detached, 1 MiB stack); the job runs from here until acknowledgeJobEnd().
// When no thread can be made, every ticked algorithm counts as failed and the listener hears of the
// end at once, so the window does not wait for a job that never runs. Main thread only.
void startJob(JobInputs inputs);

// From startJob until the main thread has handled the job's end: while it is true the window belongs
// to the job, even after the job's threads are gone.
[[nodiscard]] bool jobRunning();

// Confirms a cancel: every algorithm not yet done is dropped within one block; those done keep their
// results. Main thread only, while the job is paused for the question.
void cancelJob();
// Whether a cancel was confirmed for the job that runs.
[[nodiscard]] bool jobCancelRequested();

// The main thread handles the job's end: the job no longer runs, and this is what it came to. Called
// with no job running, it changes nothing and gives the last job's outcome.
JobOutcome acknowledgeJobEnd();

// What the last job came to, as far as its thread has got: complete once jobThreadActive() is false.
[[nodiscard]] JobOutcome lastJobOutcome();

// Pausing is counted: every pauseJob() needs one resumeJob(). A paused job (the job thread and every
// worker) stops within one block and publishes nothing. Main thread only.
void pauseJob();
void resumeJob();
[[nodiscard]] bool jobPaused();

// True from the start of a job until its thread has done its last work on the job's state.
[[nodiscard]] bool jobThreadActive();

// How far the job has got, in the progress bar's units: the sum over the ticked algorithms of the
// share of the file each has hashed, 1 for each that has finished or failed. Grows during a job and
// reaches the number of ticked algorithms as the last one ends; the last job's value after it.
[[nodiscard]] double jobProgress();

// How many threads of the job (the job thread and its workers) wait for the pause to end.
[[nodiscard]] int jobThreadsHeldAtGate();

// Every thread of the job waits here while the job is paused: the scheduler passes it between
// blocks, and the job thread once more when it reaches a slot, before taking that slot's result.
void passJobGate();

// Observes the job thread each time it passes the gate, with the slot it is at (-1 before the
// first); the first call for a slot comes as the job reaches it, before any block of work it does
// there. Lets a test hold the job at a known point; none by default.
using JobGateProbe = void (*)(int slot);
void setJobGateProbe(JobGateProbe probe);
