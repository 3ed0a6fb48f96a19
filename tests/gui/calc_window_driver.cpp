// The whole program (runProgram), driven from inside its own loop with all eleven ticked:
//   calc_window_driver quit FILE   Verify, then the close box while the job's workers are mid-pass,
//                                  answered Yes; prints the CLOCK_MONOTONIC nanoseconds of the answer.
//   calc_window_driver time FILE   Verify; prints the seconds from the click to the end message shown
//                                  and how late a 10 ms timer of the main loop ran at worst meanwhile
//                                  (as the latency test measures it); then quits through the close box.
//   calc_window_driver cancel FILE Verify; once a tenth of the way (or 64 MiB) is hashed, Cancel, answered
//                                  Yes; prints the seconds from the answer to the end message shown and
//                                  how far the job had got; then quits through the close box.
#include <gtk/gtk.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "ui/controls.h"
#include "ui/entry_mark.h"
#include "ui/menu_bar.h"
#include "ui/control_table.h"
#include "ui/main_window.h"
#include "app/startup.h"
#include "app/calculation_handlers.h"
#include "calc/calculation_job.h"
#include "calc/job_scheduler.h"
#include "dialogs/message_dialog.h"

namespace {

enum class Step { Start, WaitForWorkers, AnswerQuit, WaitForProgress, AnswerCancel, WaitForEnd, AnswerEnd, Quit };
enum class Mode { Quit, Time, Cancel };
Step CurrentStep = Step::Start;
Mode RunMode = Mode::Quit;
double ClickedAt = 0;
double AnsweredAt = 0;
double CancelAfter = 0; // the job's progress (in passes) at which Cancel is pressed

// How late a 10 ms timer of the main loop runs while the job works.
constexpr gint64 LatencyPeriodUs = 10000;
gint64 LatencyDue = 0;
gint64 WorstLatencyUs = 0;
guint LatencySource = 0;

gboolean latencyTick(gpointer) {
    const gint64 now = g_get_monotonic_time();
    WorstLatencyUs = std::max(WorstLatencyUs, now - LatencyDue);
    LatencyDue = now + LatencyPeriodUs;
    return G_SOURCE_CONTINUE;
}

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

GtkWidget* shownDialogButton() {
    const MessageDialogParts parts = openMessageDialog();
    if (parts.window == nullptr || !gtk_widget_get_mapped(parts.window)) return nullptr;
    return parts.rightButton;
}

gboolean drive(gpointer) {
    switch (CurrentStep) {
    case Step::Start:
        if (MainWindow == nullptr || !gtk_widget_get_mapped(MainWindow)) break;
        for (int slot = 0; slot < SlotCount; ++slot)
            setControlState(ControlId::algorithmCheckBox(slot), 1);
        ClickedAt = monotonicSeconds();
        gtk_button_clicked(GTK_BUTTON(controlWidget(ControlId::VerifyButton)));
        LatencyDue = g_get_monotonic_time() + LatencyPeriodUs;
        LatencySource = g_timeout_add(LatencyPeriodUs / 1000, latencyTick, nullptr);
        CurrentStep = RunMode == Mode::Time ? Step::WaitForEnd
                      : RunMode == Mode::Cancel ? Step::WaitForProgress
                                                : Step::WaitForWorkers;
        break;
    case Step::WaitForProgress:
        if (jobProgress() < CancelAfter) break;
        gtk_button_clicked(GTK_BUTTON(controlWidget(ControlId::VerifyButton)));
        CurrentStep = Step::AnswerCancel;
        break;
    case Step::AnswerCancel:
        if (GtkWidget* yes = shownDialogButton()) {
            AnsweredAt = monotonicSeconds();
            gtk_button_clicked(GTK_BUTTON(yes));
            CurrentStep = Step::WaitForEnd;
        }
        break;
    case Step::WaitForWorkers:
        if (passWorkersAlive() == 0) break;
        gtk_window_close(GTK_WINDOW(MainWindow));
        CurrentStep = Step::AnswerQuit;
        break;
    case Step::AnswerQuit:
        if (GtkWidget* yes = shownDialogButton()) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            gtk_button_clicked(GTK_BUTTON(yes));
            return G_SOURCE_REMOVE;
        }
        break;
    case Step::WaitForEnd:
        if (GtkWidget* ok = shownDialogButton()) {
            g_source_remove(LatencySource);
            if (RunMode == Mode::Cancel)
                std::printf("cancel %.4f progress %.4f\n", monotonicSeconds() - AnsweredAt, jobProgress());
            else
                std::printf("window %.3f latency %.1f\n", monotonicSeconds() - ClickedAt, WorstLatencyUs / 1e3);
            std::fflush(stdout);
            gtk_button_clicked(GTK_BUTTON(ok));
            CurrentStep = Step::AnswerEnd;
        }
        break;
    case Step::AnswerEnd:
        if (shownDialogButton() != nullptr || jobRunning()) break;
        gtk_window_close(GTK_WINDOW(MainWindow));
        CurrentStep = Step::Quit;
        break;
    case Step::Quit:
        if (GtkWidget* yes = shownDialogButton()) {
            gtk_button_clicked(GTK_BUTTON(yes));
            return G_SOURCE_REMOVE;
        }
        break;
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "quit" && mode != "time" && mode != "cancel") {
        std::fprintf(stderr, "usage: calc_window_driver quit|time|cancel FILE\n");
        return 2;
    }
    RunMode = mode == "time" ? Mode::Time : mode == "cancel" ? Mode::Cancel : Mode::Quit;
    // A tenth of one algorithm's share of the file, at most 64 MiB of it: the passes are well under way.
    struct stat status {};
    const double size = stat(argv[2], &status) == 0 ? static_cast<double>(status.st_size) : 1.0;
    CancelAfter = std::min(0.1, 64.0 * (1 << 20) / std::max(size, 1.0));
    g_timeout_add(2, drive, nullptr);
    char* programArgs[] = {argv[0], argv[2], nullptr};
    return runProgram(2, programArgs);
}
