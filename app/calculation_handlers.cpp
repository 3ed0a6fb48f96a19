// The window's side of the calculation job. The job thread never touches a widget: it publishes its
// results and hands the main loop a call to show them (an idle source), and its end comes as an event.
#include "app/calculation_handlers.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "app/failure_text.h"
#include "app/terminal_text.h"
#include "app/verification_handlers.h"
#include "calc/calculation_job.h"
#include "calc/job_results.h"
#include "dialogs/message_dialog.h"
#include "settings/language_catalogue.h"
#include "ui/chosen_file.h"
#include "ui/control_table.h"
#include "ui/controls.h"
#include "ui/event_queue.h"
#include "ui/fonts_images.h"
#include "ui/menu_bar.h"
#include "ui/result_rows.h"
#include "ui/widget_style.h"
#include "ui/work_area.h"

namespace {

// How often the main loop moves the progress bar while a job runs: ten times a second looks smooth
// and keeps the redraws (and the events a screen reader gets for each) to a few a second.
constexpr guint ProgressPeriodMs = 100;

// Menu items that a running job disables; the language items stay usable.
constexpr int JobLockedMenuItems[] = {MenuOpen, MenuQuit, MenuOpenHelp, MenuAbout, MenuOpenWeb};
// Of those, the ones the end of a job gives back: the help item is never enabled.
constexpr int JobFreedMenuItems[] = {MenuOpen, MenuQuit, MenuAbout, MenuOpenWeb};

// Controls besides the per-slot ones that could start another job or change its inputs.
constexpr int JobLockedControls[] = {ControlId::PathEntry,     ControlId::BrowseButton,
                                     ControlId::CopyAllButton, ControlId::SaveButton,
                                     ControlId::DeleteAllButton, ControlId::ExpectedEntry,
                                     ControlId::ExpectedBrowseButton};

guint ProgressSource = 0; // the progress timer while a job runs
std::string JobPath;      // the file of the job running or last run
// One idle call at a time carries the job's new results to the rows, however many came meanwhile.
std::atomic<bool> ShowPending{false};

// Never moves the bar back: the job's progress only grows, and the bar shows its highest value.
void advanceProgressBar() {
    const double done = jobProgress();
    if (done > progressValue(ControlId::ProgressBar)) setProgressValue(ControlId::ProgressBar, done);
}

gboolean onProgressTimer(gpointer) {
    advanceProgressBar();
    return G_SOURCE_CONTINUE;
}

// A question or message makes the whole window insensitive, and the theme draws an insensitive bar's
// fill as nothing: the bar would read empty while the job's progress is asked about. Once per bar.
void keepBarFilledWhenInsensitive() {
    GtkWidget* bar = controlWidget(ControlId::ProgressBar);
    if (bar == nullptr || g_object_get_data(G_OBJECT(bar), "hw-fill-kept") != nullptr) return;
    addWidgetStyle(bar, "progressbar progress:disabled { background-color: @theme_selected_bg_color; "
                        "border-color: @theme_selected_bg_color; }");
    g_object_set_data(G_OBJECT(bar), "hw-fill-kept", GINT_TO_POINTER(1));
}

void stopProgressTimer() {
    if (ProgressSource != 0) g_source_remove(ProgressSource);
    ProgressSource = 0;
}

void setJobControlsEnabled(bool on) {
    for (int id : JobLockedControls)
        enableControl(id, on);
}

// While a question about the job is open the rows stay as they were; the answer shows what came.
gboolean onResultsChanged(gpointer) {
    ShowPending = false;
    if (!jobPaused()) showVerdicts();
    return G_SOURCE_REMOVE;
}

// Job thread: hands the showing to the main loop.
void resultsChangedOnJobThread() {
    if (!ShowPending.exchange(true)) g_idle_add(onResultsChanged, nullptr);
}

// The job has ended: the rows and the bar show where it ended within this turn of the main loop, and
// the end event follows, behind everything the window already queued.
gboolean onJobEnded(gpointer) {
    if (!jobPaused()) showVerdicts();
    advanceProgressBar();
    Event finished;
    finished.kind = JobFinishedEvent;
    postEvent(finished);
    return G_SOURCE_REMOVE;
}

// Job thread: hands the end to the main loop.
void endedOnJobThread() {
    g_idle_add(onJobEnded, nullptr);
}

} // namespace

void connectJobToWindow() {
    setJobListener(JobListener{resultsChangedOnJobThread, endedOnJobThread});
}

void startCalculation() {
    clearResults();
    showResults();
    JobInputs inputs;
    inputs.path = chosenFilePath(); // the name's bytes; PathEntry shows its display form
    JobPath = inputs.path;
    inputs.ticked = tickedSlots();
    int ticked = 0;
    for (bool on : inputs.ticked)
        ticked += on ? 1 : 0;
    keepBarFilledWhenInsensitive();
    setProgressMaximum(ControlId::ProgressBar, ticked);
    setControlText(ControlId::VerifyButton, catalogueText("tMainCANCEL"));
    for (int item : JobLockedMenuItems)
        enableMenuItem(item, false);
    setJobControlsEnabled(false);
    for (int slot = 0; slot < SlotCount; ++slot) {
        enableControl(ControlId::algorithmCheckBox(slot), false);
        enableControl(ControlId::copyButton(slot), false);
    }
    stopProgressTimer();
    ProgressSource = g_timeout_add(ProgressPeriodMs, onProgressTimer, nullptr);
    startJob(std::move(inputs));
}

void requestCancel() {
    pauseJob();
    if (runMessageDialog(QuestionPreset, catalogueText("tReqCANCEL")) == 1) {
        cancelJob();
    }
    resumeJob();
    showVerdicts();
}

void finishCalculation() {
    // A stray end event with no job behind it must not re-enable a window in another phase.
    if (!jobRunning()) return;
    const JobOutcome outcome = acknowledgeJobEnd();
    stopProgressTimer();
    // Whatever the job published last, compared with the field as it is now, and the bar where the job
    // ended (all the passes when none was cancelled), before the window changes phase.
    showVerdicts();
    advanceProgressBar();
    for (int item : JobFreedMenuItems)
        enableMenuItem(item, true);
    setControlText(ControlId::VerifyButton, catalogueText("tMainVERIFY"));
    enableControl(ControlId::PathEntry, true);
    enableControl(ControlId::BrowseButton, true);
    const SlotFlags ticked = tickedSlots();
    const bool anyTicked = std::find(ticked.begin(), ticked.end(), true) != ticked.end();
    for (int slot = 0; slot < SlotCount; ++slot) {
        enableControl(ControlId::algorithmCheckBox(slot), true);
        // Enabled for every ticked row, with or without a result, so an empty result can be copied too.
        if (ticked[slot]) enableControl(ControlId::copyButton(slot), true);
    }
    setJobControlsEnabled(true);

    // The dialog turns each backslash-n pair into a line break: two of them leave an empty line.
    std::string message = catalogueText(outcome.cancelled ? "tReqCANCELLED" : "tReqFINISHED");
    message += "\\n\\n";
    message += catalogueText("tInfoERRORCALCULATE");
    message += "  ";
    message += std::to_string(outcome.failed);
    if (outcome.failed != 0) {
        // Why they failed, on a line of its own, and once on standard error for a terminal's user.
        const std::string reason = failureText(outcome.failure);
        message += "\\n" + reason;
        reportFileProblem(JobPath, reason);
    }
    // "Failed calculations: 0" alone would read as a file checked and found good.
    if (!anyTicked)
        message += "\\n" + catalogueTextOr("tInfoNOTHINGTICKED",
                                            "No algorithm was ticked, so nothing was calculated or compared.");
    // The rows now describe the version of the file the job read, whatever was chosen before it.
    rememberChosenFileVersion(outcome.fileVersion);
    // Failures or a cancel are no "all is well": the warning sign says so before the text is read.
    DialogPreset endPreset = InfoPreset;
    if (outcome.failed != 0 || outcome.cancelled) endPreset.image = WarningIcon;
    runMessageDialog(endPreset, message);
    // The bar shows where the job stopped until its message is answered.
    setControlState(ControlId::ProgressBar, 0);
    // The focus is back on Verify, at the window's right edge; on a screen too small for the window the
    // results' algorithm names are what must be seen.
    scrollToRowsStart();
}
