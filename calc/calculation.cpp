// The calculation job: Verify starts a background thread that fingerprints the chosen file with every
// ticked algorithm, fills the result rows in slot order and reports the end through the event queue.
// The checksums themselves are computed ahead on every core (calc/job_scheduler.h).
#include "calc/calculation.h"

#include <sys/resource.h>
#include <unistd.h>

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

void setJobControlsEnabled(bool on) {
    for (int id : JobLockedControls) enableControl(id, on);
}

void postJobFinished() {
    Event finished;
    finished.kind = JobFinishedEvent;
    postEvent(finished);
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

void startCalculation() {
    for (int slot = 0; slot < SlotCount; ++slot) setControlText(ControlId::resultEntry(slot), "");
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
                ticked.push_back({slot, AlgorithmSlots[slot].plugin, AlgorithmSlots[slot].bits});
    }
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
            // Advanced before the work, so the k-th running algorithm shows k of n.
            setControlState(ControlId::ProgressBar, controlState(ControlId::ProgressBar) + 1);
            // Still inside the lock, so no cancel can come between the flag read and this: the slot's
            // pass is no longer abandoned by a cancel, it runs to its end and its result is shown.
            reachPass(passes, slot);
        }
        CurrentSlot = slot;
        passJobGate();
        result = takePass(passes, {slot, AlgorithmSlots[slot].plugin, AlgorithmSlots[slot].bits});
        if (result.empty()) {
            ++ErrorCount;
            continue;
        }
        {
            JobControlLock lock;
            setControlText(ControlId::resultEntry(slot), result);
        }
        if (!expected.empty()) verifyResult(slot, result, expected);
    }

    CurrentSlot = -1;
    // No worker outlives the job: the passes nobody took are abandoned at their next block.
    endPasses(passes);
    // A paused job posts nothing: the end waits until every question about it has been answered.
    JobControlLock lock;
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
