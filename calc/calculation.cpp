// The calculation job: Verify starts a background thread that fingerprints the chosen file with every
// ticked algorithm, fills the result rows in slot order and reports the end through the event queue.
// The checksums themselves are computed ahead on every core (calc/job_scheduler.h).
#include "calc/calculation.h"

#include <glib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/chosen_file.h"
#include "app/controls.h"
#include "app/events.h"
#include "app/toolkit_lock.h"
#include "calc/job_scheduler.h"
#include "calc/verification.h"
#include "dialogs/message_dialog.h"
#include "fingerprint/engine.h"
#include "settings/language_catalogue.h"

std::atomic<int32_t> JobRunning{0};
std::atomic<int32_t> CancelRequested{0};
std::atomic<int32_t> JobCancelled{0};
std::atomic<int32_t> ErrorCount{0};
pthread_t JobThread{};

const AlgorithmSlotInfo AlgorithmSlots[SlotCount] = {
    {"CRC32: ", PluginCrc32, 0},       {"MD5: ", PluginMd5, 0},           {"SHA1: ", PluginSha1, 0},
    {"SHA2-224: ", PluginSha2, 224},   {"SHA2-256: ", PluginSha2, 256},   {"SHA2-384: ", PluginSha2, 384},
    {"SHA2-512: ", PluginSha2, 512},   {"SHA3-224: ", PluginSha3, 224},   {"SHA3-256: ", PluginSha3, 256},
    {"SHA3-384: ", PluginSha3, 384},   {"SHA3-512: ", PluginSha3, 512},
};

namespace {

constexpr std::size_t JobStackSize = 1 << 20;
constexpr int JobNiceness = 5;
// How often the main loop moves the progress bar while a job runs: ten times a second looks smooth
// and keeps the redraws (and the events a screen reader gets for each) to a few a second.
constexpr guint ProgressPeriodMs = 100;

// Menu items that a running job disables; the language items stay usable.
constexpr int JobLockedMenuItems[] = {MenuOpen, MenuQuit, MenuOpenHelp, MenuAbout, MenuOpenWeb};
// Of those, the ones the end of a job gives back: the help item is never enabled.
constexpr int JobFreedMenuItems[] = {MenuOpen, MenuQuit, MenuAbout, MenuOpenWeb};

// Controls besides the per-slot ones that could start another job or change its inputs.
constexpr int JobLockedControls[] = {ControlId::PathEntry,     ControlId::BrowseButton,  ControlId::CopyAllButton,
                                     ControlId::SaveButton,    ControlId::DeleteAllButton, ControlId::ExpectedEntry,
                                     ControlId::ExpectedBrowseButton};

// The pause gate. The count, not a flag, because a cancel question and a quit question may overlap.
std::mutex PauseMutex;
std::condition_variable PauseChanged;
int PauseCount = 0;     // guarded by PauseMutex
int HeldThreads = 0;    // threads of the job waiting for the pause to end; guarded by PauseMutex

std::atomic<int> CurrentSlot{-1};  // the slot the job thread is at
thread_local bool OnJobThread = false;
std::atomic<bool> JobThreadActive{false};
std::atomic<JobGateProbe> GateProbe{nullptr};

// How far each slot's pass has got, and the size of the file the job reads (set before any pass
// starts). Written by the job's threads, read by the main loop's progress timer.
std::array<PassProgress, SlotCount> SlotProgress;
std::atomic<int64_t> JobFileBytes{0};
guint ProgressSource = 0; // the main loop's progress timer while a job runs; main thread only

// Never moves the bar back: the job's progress only grows, and the bar shows its highest value.
void advanceProgressBar() {
    const double done = jobProgress();
    if (done > progressValue(ControlId::ProgressBar)) setProgressValue(ControlId::ProgressBar, done);
}

gboolean onProgressTimer(gpointer) {
    advanceProgressBar();
    return G_SOURCE_CONTINUE;
}

void stopProgressTimer() {
    if (ProgressSource != 0) g_source_remove(ProgressSource);
    ProgressSource = 0;
}

void setJobControlsEnabled(bool on) {
    for (int id : JobLockedControls) enableControl(id, on);
}

void postJobFinished() {
    Event finished;
    finished.kind = JobFinishedEvent;
    postEvent(finished);
}

// A slot's pass, reporting its progress where the bar's timer looks.
PassRequest requestFor(int slot) {
    return {slot, AlgorithmSlots[slot].plugin, AlgorithmSlots[slot].bits, &SlotProgress[slot]};
}

// The end of a job whose thread could not be created: every ticked algorithm counts as failed,
// and the end event takes the window straight back to the Results phase instead of leaving it in
// the Running state with no job to end it.
void finishWithoutThread(int ticked) {
    ErrorCount = ticked;
    JobThreadActive = false;
    postJobFinished();
}

// Waits, with PauseMutex held through `lock`, until no pause is in force.
void waitWhilePaused(std::unique_lock<std::mutex>& lock) {
    if (PauseCount == 0) return;
    ++HeldThreads;
    PauseChanged.wait(lock, [] { return PauseCount == 0; });
    --HeldThreads;
}

}  // namespace

void passJobGate() {
    if (JobGateProbe probe = GateProbe.load(); probe != nullptr && OnJobThread) probe(CurrentSlot.load());
    std::unique_lock lock(PauseMutex);
    waitWhilePaused(lock);
}

JobControlLock::JobControlLock() {
    for (;;) {
        toolkitEnter();
        std::unique_lock lock(PauseMutex);
        if (PauseCount == 0) return;
        // Let go of the toolkit before waiting: the question that paused the job needs it.
        lock.unlock();
        toolkitLeave();
        lock.lock();
        waitWhilePaused(lock);
    }
}

JobControlLock::~JobControlLock() { toolkitLeave(); }

void pauseJob() {
    // Under the toolkit lock, so a job in the middle of a control operation finishes it first.
    toolkitEnter();
    {
        std::lock_guard lock(PauseMutex);
        ++PauseCount;
    }
    toolkitLeave();
}

void resumeJob() {
    std::lock_guard lock(PauseMutex);
    if (PauseCount > 0) --PauseCount;
    if (PauseCount == 0) PauseChanged.notify_all();
}

int jobThreadsHeldAtGate() {
    std::lock_guard lock(PauseMutex);
    return HeldThreads;
}

void setJobGateProbe(JobGateProbe probe) { GateProbe = probe; }

bool jobThreadActive() { return JobThreadActive; }

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

void startCalculation() {
    for (int slot = 0; slot < SlotCount; ++slot) {
        setControlText(ControlId::resultEntry(slot), "");
        showVerdict(slot, Verdict::None);
    }
    int ticked = 0;
    for (int slot = 0; slot < SlotCount; ++slot)
        if (controlState(ControlId::algorithmCheckBox(slot)) == 1) ++ticked;
    setProgressMaximum(ControlId::ProgressBar, ticked);
    setControlText(ControlId::VerifyButton, catalogueText("tMainCANCEL"));
    for (int item : JobLockedMenuItems) enableMenuItem(item, false);
    setJobControlsEnabled(false);
    for (int slot = 0; slot < SlotCount; ++slot) {
        enableControl(ControlId::algorithmCheckBox(slot), false);
        enableControl(ControlId::copyButton(slot), false);
    }
    JobRunning = 1;
    JobCancelled = 0;
    CancelRequested = 0;
    CurrentSlot = -1;
    JobThreadActive = true;
    for (PassProgress& pass : SlotProgress) pass.reset();
    JobFileBytes = 0;
    stopProgressTimer();
    ProgressSource = g_timeout_add(ProgressPeriodMs, onProgressTimer, nullptr);

    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return finishWithoutThread(ticked);
    bool created = pthread_attr_setstacksize(&attributes, JobStackSize) == 0 &&
                   pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                   pthread_create(&JobThread, &attributes, runCalculationJob, nullptr) == 0;
    pthread_attr_destroy(&attributes);
    if (!created) finishWithoutThread(ticked);
}

void* runCalculationJob(void*) {
    // The window comes first: on a busy machine the hashing yields to the main loop, not the reverse.
    // The workers it starts inherit this priority.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), JobNiceness);
    OnJobThread = true;
    ErrorCount = 0;
    std::string result;
    std::string path;
    std::string expected;
    std::vector<PassRequest> ticked;
    {
        JobControlLock lock;
        path = chosenFilePath();  // the name's bytes; PathEntry shows its display form
        expected = controlText(ControlId::ExpectedEntry);
        // The boxes are disabled for the whole job, so the passes can start before the loop reads them.
        for (int slot = 0; slot < SlotCount; ++slot)
            if (controlState(ControlId::algorithmCheckBox(slot)) == 1)
                ticked.push_back(requestFor(slot));
    }
    // The size the passes' shares are measured against; a file that cannot be read fails every pass.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) JobFileBytes = status.st_size;
    // Every thread of the job waits in passJobGate between blocks, so a pause holds it within one
    // block; a confirmed cancel abandons the passes after the slot the job is at.
    PassSchedule passes;
    (void)startPasses(passes, path, ticked, passWorkerCount(static_cast<int>(ticked.size())), passJobGate,
                      &CancelRequested);

    for (int slot = 0; slot < SlotCount; ++slot) {
        {
            JobControlLock lock;
            // Read anew before every slot: a confirmed cancel skips everything after the running one.
            if (CancelRequested != 0) continue;
            if (controlState(ControlId::algorithmCheckBox(slot)) != 1) continue;
            // Still inside the lock, so no cancel can come between the flag read and this: the slot's
            // pass is no longer abandoned by a cancel, it runs to its end and its result is shown.
            reachPass(passes, slot);
        }
        CurrentSlot = slot;
        passJobGate();
        result = takePass(passes, requestFor(slot));
        if (result.empty()) {
            ++ErrorCount;
            continue;
        }
        {
            // The text and its verdict change together: the row never shows a new result in the
            // colour of an old compare. Without an expected checksum nothing is compared, and the
            // row shows no verdict.
            JobControlLock lock;
            setControlText(ControlId::resultEntry(slot), result);
            showVerdict(slot, expected.empty() ? Verdict::None : compareResult(result, expected));
        }
    }

    CurrentSlot = -1;
    // No worker outlives the job: the passes nobody took are abandoned at their next block.
    endPasses(passes);
    // A paused job posts nothing: the end waits until every question about it has been answered.
    JobControlLock lock;
    // The bar shows where the job ended (all the passes when none was cancelled) until the end
    // handler empties it; the timer may not have run since the last pass ended.
    advanceProgressBar();
    JobThreadActive = false;  // nothing after the post touches the window or the job's state
    postJobFinished();
    return nullptr;
}

void requestCancel() {
    pauseJob();
    if (MessageDialog(QuestionPreset, catalogueText("tReqCANCEL")) == 1) {
        CancelRequested = 1;
        JobCancelled = 1;
    }
    resumeJob();
}

void finishCalculation() {
    // A stray end event with no job behind it must not re-enable a window in another phase.
    if (JobRunning == 0) return;
    CancelRequested = 0;
    JobRunning = 0;
    stopProgressTimer();
    for (int item : JobFreedMenuItems) enableMenuItem(item, true);
    setControlText(ControlId::VerifyButton, catalogueText("tMainVERIFY"));
    setControlState(ControlId::ProgressBar, 0);
    enableControl(ControlId::PathEntry, true);
    enableControl(ControlId::BrowseButton, true);
    for (int slot = 0; slot < SlotCount; ++slot) {
        enableControl(ControlId::algorithmCheckBox(slot), true);
        // Enabled for every ticked row, with or without a result, so an empty result can be copied too.
        if (controlState(ControlId::algorithmCheckBox(slot)) == 1) enableControl(ControlId::copyButton(slot), true);
    }
    setJobControlsEnabled(true);

    // The dialog turns each backslash-n pair into a line break: two of them leave an empty line.
    std::string message = catalogueText(JobCancelled != 0 ? "tReqCANCELLED" : "tReqFINISHED");
    message += "\\n\\n";
    message += catalogueText("tInfoERRORCALCULATE");
    message += "  ";
    message += std::to_string(ErrorCount.load());
    MessageDialog(InfoPreset, message);
    JobCancelled = 0;
}
