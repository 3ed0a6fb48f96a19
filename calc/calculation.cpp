// The calculation job: Verify starts a background thread that fingerprints the chosen file with every
// ticked algorithm in slot order, fills the result rows and reports the end through the event queue.
#include "calc/calculation.h"

#include <condition_variable>
#include <mutex>
#include <string>

#include "app/controls.h"
#include "app/events.h"
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
bool JobHeld = false;   // guarded by PauseMutex

std::atomic<int> CurrentSlot{-1};
std::atomic<JobGateProbe> GateProbe{nullptr};

void setJobControlsEnabled(bool on) {
    for (int id : JobLockedControls) enableControl(id, on);
}

// The end of a job that never ran: the thread could not be created, so every ticked algorithm
// counts as failed and the window goes straight back to the Results phase.
void finishWithoutThread(int ticked) {
    ErrorCount = ticked;
    finishCalculation();
}

}  // namespace

void passJobGate() {
    if (JobGateProbe probe = GateProbe.load()) probe(CurrentSlot.load());
    std::unique_lock lock(PauseMutex);
    if (PauseCount == 0) return;
    JobHeld = true;
    PauseChanged.notify_all();
    PauseChanged.wait(lock, [] { return PauseCount == 0; });
    JobHeld = false;
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

bool jobHeldAtGate() {
    std::lock_guard lock(PauseMutex);
    return JobHeld;
}

void setJobGateProbe(JobGateProbe probe) { GateProbe = probe; }

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

    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return finishWithoutThread(ticked);
    bool created = pthread_attr_setstacksize(&attributes, JobStackSize) == 0 &&
                   pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                   pthread_create(&JobThread, &attributes, runCalculationJob, nullptr) == 0;
    pthread_attr_destroy(&attributes);
    if (!created) finishWithoutThread(ticked);
}

void* runCalculationJob(void*) {
    // fileFingerprint waits in the gate between blocks, so a pause holds the job within one block.
    setBlockGate(passJobGate);
    ErrorCount = 0;
    std::string result;
    passJobGate();
    const std::string path = controlText(ControlId::PathEntry);
    passJobGate();
    const std::string expected = controlText(ControlId::ExpectedEntry);

    for (int slot = 0; slot < SlotCount; ++slot) {
        passJobGate();
        // Read anew before every slot: a confirmed cancel skips everything after the running one.
        if (CancelRequested != 0) continue;
        if (controlState(ControlId::algorithmCheckBox(slot)) != 1) continue;
        passJobGate();
        // Advanced before the work, so the k-th running algorithm shows k of n.
        const int progress = controlState(ControlId::ProgressBar) + 1;
        passJobGate();
        setControlState(ControlId::ProgressBar, progress);
        CurrentSlot = slot;
        result = fileFingerprint(path.c_str(), AlgorithmSlots[slot].plugin, AlgorithmSlots[slot].bits);
        if (result.empty()) {
            ++ErrorCount;
            continue;
        }
        passJobGate();
        setControlText(ControlId::resultEntry(slot), result);
        if (!expected.empty()) verifyResult(slot, result, expected);
    }

    // A paused job posts nothing: the end waits until every question about it has been answered.
    passJobGate();
    CurrentSlot = -1;
    setBlockGate(nullptr);
    Event finished;
    finished.kind = JobFinishedEvent;
    postEvent(finished);
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
