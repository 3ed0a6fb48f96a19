// Helpers shared by the calculation, export and verification GUI tests: a window with an English-like
// test language, ticking rows, holding the job at a known point, scripted dialogs, clipboard reads.
#pragma once

#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/calculation_handlers.h"
#include "calc/calculation_job.h"
#include "ui/main_thread.h"
#include "dialogs/message_dialog.h"
#include "gui_test_support.h"

namespace calc_test {

// Holds the job thread the first time it passes its gate while working on `slot`, until released.
// The job waits in its gate as it reaches that slot, holding no lock; its workers go on.
class JobHold {
public:
    static void holdAt(int slot) {
        std::lock_guard lock(mutex_);
        slot_ = slot;
        reached_ = false;
        released_ = false;
        setJobGateProbe(&JobHold::probe);
    }
    static bool reached() {
        std::lock_guard lock(mutex_);
        return reached_;
    }
    static void release() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }
    static void clear() {
        release();
        setJobGateProbe(nullptr);
    }

private:
    static void probe(int slot) {
        std::unique_lock lock(mutex_);
        if (slot != slot_ || reached_) return;
        reached_ = true;
        g_main_context_wakeup(nullptr);
        changed_.wait(lock, [] { return released_; });
    }
    static inline std::mutex mutex_;
    static inline std::condition_variable changed_;
    static inline int slot_ = -1;
    static inline bool reached_ = false;
    static inline bool released_ = false;
};

// Answers the dialogs that come, in order, and keeps what each showed.
class DialogScript {
public:
    explicit DialogScript(std::vector<DialogAnswer> answers) : answers_(std::move(answers)) {
        source_ = g_timeout_add(5, &DialogScript::poll, this);
    }
    ~DialogScript() {
        g_source_remove(source_);
        if (answering_ != nullptr) g_signal_handler_disconnect(answering_, destroyHandler_);
    }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    [[nodiscard]] std::size_t answered() const { return texts_.size(); }
    [[nodiscard]] const std::vector<std::string>& texts() const { return texts_; }
    // Runs on the main thread, inside the dialog's own loop, before answer `index` is given.
    std::function<void(std::size_t index)> beforeAnswer;

private:
    // One dialog at a time: arm an answer when a dialog shows, then wait for that window to be
    // destroyed (the next dialog can open before a poll sees none open).
    static gboolean poll(gpointer data) {
        auto* self = static_cast<DialogScript*>(data);
        if (self->answering_ != nullptr) return G_SOURCE_CONTINUE;
        const MessageDialogParts parts = openMessageDialog();
        if (self->next_ >= self->answers_.size() || parts.window == nullptr || !gtk_widget_get_mapped(parts.window))
            return G_SOURCE_CONTINUE;
        if (self->beforeAnswer) self->beforeAnswer(self->next_);
        self->texts_.push_back(gtk_label_get_text(GTK_LABEL(parts.text)));
        self->answering_ = parts.window;
        self->destroyHandler_ = g_signal_connect(parts.window, "destroy", G_CALLBACK(&DialogScript::closed), self);
        answerNextDialog(self->answers_[self->next_++]);
        return G_SOURCE_CONTINUE;
    }
    static void closed(GtkWidget*, gpointer data) { static_cast<DialogScript*>(data)->answering_ = nullptr; }
    std::vector<DialogAnswer> answers_;
    std::vector<std::string> texts_;
    std::size_t next_ = 0;
    GtkWidget* answering_ = nullptr;
    gulong destroyHandler_ = 0;
    guint source_ = 0;
};

// The end message; with failures, the line that says why ends it.
[[nodiscard]] inline std::string endMessage(const char* key, int errors, const std::string& why = "") {
    return std::string("E:") + key + "\n\nE:tInfoERRORCALCULATE  " + std::to_string(errors) +
           (why.empty() ? "" : "\n" + why);
}

// The packed text colour that the entry shows now, as the theme resolves it.
[[nodiscard]] inline int shownTextColour(int id) {
    GdkRGBA colour;
    gtk_style_context_get_color(gtk_widget_get_style_context(controlWidget(id)), GTK_STATE_FLAG_NORMAL, &colour);
    auto channel = [](double value) { return static_cast<int>(value * 255.0 + 0.5); };
    return channel(colour.red) + 256 * channel(colour.green) + 65536 * channel(colour.blue);
}

// Every value the progress bar is given while this lives, in the bar's units and as the fraction it
// shows, in order, from whichever thread sets it. waitForValue lets another thread wait until the
// bar shows at least a value.
class ProgressRecorder {
public:
    struct Shown {
        double value;
        double fraction;
    };
    ProgressRecorder() {
        handler_ = g_signal_connect(bar(), "notify::fraction", G_CALLBACK(&ProgressRecorder::changed), this);
    }
    ~ProgressRecorder() { g_signal_handler_disconnect(bar(), handler_); }
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;

    [[nodiscard]] std::vector<Shown> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    // False when the bar did not get there within the limit (a test failure, not a pace).
    bool waitForValue(double value) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return !shown_.empty() && shown_.back().value >= value; });
    }

private:
    static GtkWidget* bar() { return controlWidget(ControlId::ProgressBar); }
    static void changed(GObject*, GParamSpec*, gpointer data) {
        auto* self = static_cast<ProgressRecorder*>(data);
        const Shown now{progressValue(ControlId::ProgressBar), gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar()))};
        {
            std::lock_guard lock(self->mutex_);
            self->shown_.push_back(now);
        }
        self->changed_.notify_all();
    }
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Shown> shown_;
    gulong handler_ = 0;
};

// Reads the CLIPBOARD selection through another X client while this process serves it.
[[nodiscard]] inline std::string readClipboardWithXclip() {
    std::string text;
    std::atomic<bool> finished{false};
    std::thread reader([&] {
        if (std::FILE* pipe = popen("xclip -selection clipboard -o 2>/dev/null", "r")) {
            char buffer[4096];
            for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
            pclose(pipe);
        }
        finished = true;
        g_main_context_wakeup(nullptr);
    });
    const bool served = pumpUntil([&] { return finished.load(); });
    reader.join();
    EXPECT_TRUE(served);
    return text;
}

[[nodiscard]] inline std::string writeRandomFile(const std::string& path, std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    writeFileText(path, bytes);
    return path;
}

// Turns a dialog or file chooser that nobody answers into a test failure instead of a hang: after
// a limit it is closed (the question answered No, the chooser cancelled).
class UnansweredWindowWatchdog {
public:
    static constexpr int LimitSeconds = 20;
    UnansweredWindowWatchdog() { source_ = g_timeout_add_seconds(1, &UnansweredWindowWatchdog::look, this); }
    ~UnansweredWindowWatchdog() {
        g_source_remove(source_);
        if (window_ != nullptr) g_object_remove_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
    }
    UnansweredWindowWatchdog(const UnansweredWindowWatchdog&) = delete;
    UnansweredWindowWatchdog& operator=(const UnansweredWindowWatchdog&) = delete;

private:
    static gboolean look(gpointer data) {
        auto* self = static_cast<UnansweredWindowWatchdog*>(data);
        GtkWidget* chooser = nullptr;
        GList* windows = gtk_window_list_toplevels();
        for (GList* item = windows; item != nullptr; item = item->next)
            if (GTK_IS_FILE_CHOOSER_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data)))
                chooser = GTK_WIDGET(item->data);
        g_list_free(windows);
        GtkWidget* dialog = openMessageDialog().window;
        // Seconds count for one and the same window: a test that opens and answers windows all the
        // time (the soak) has one open at almost every look, and none of them stays.
        GtkWidget* open = chooser != nullptr ? chooser : dialog;
        if (open == nullptr || open != self->window_) {
            if (self->window_ != nullptr)
                g_object_remove_weak_pointer(G_OBJECT(self->window_), reinterpret_cast<gpointer*>(&self->window_));
            self->window_ = open;
            if (open != nullptr) g_object_add_weak_pointer(G_OBJECT(open), reinterpret_cast<gpointer*>(&self->window_));
            self->seconds_ = 0;
        }
        if (open != nullptr) ++self->seconds_;
        if (self->seconds_ < LimitSeconds) return G_SOURCE_CONTINUE;
        self->seconds_ = 0;
        if (chooser != nullptr) {
            gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(chooser));
            gchar* selected = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
            ADD_FAILURE() << "a file chooser stayed unanswered (in " << (folder != nullptr ? folder : "no folder")
                          << ", holding " << (selected != nullptr ? selected : "nothing") << "); cancelled";
            g_free(folder);
            g_free(selected);
            gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_CANCEL);
        } else {
            ADD_FAILURE() << "a message dialog stayed unanswered; closed";
            gtk_window_close(GTK_WINDOW(dialog));
        }
        return G_SOURCE_CONTINUE;
    }
    guint source_ = 0;
    int seconds_ = 0;
    GtkWidget* window_ = nullptr;  // the window being timed; cleared when it is destroyed
};

// A window in an English-like test language ("E:" + key), with `file` chosen and `ticked` rows ticked.
class CalcTest : public ShellTest {
protected:
    void TearDown() override {
        watchdog_.reset();
        JobHold::clear();
        // A job still running (a failed test, or one left by the quit) ends before the next test's window.
        EXPECT_TRUE(pumpUntil([] { return !jobThreadActive(); }, 60000));
        // Whatever the test did, no thread of the job reached for a widget.
        EXPECT_EQ(toolkitCallsRefused(), refusedBefore_) << "a toolkit call was made off the main thread";
        // A job ended by quitting never had its end handled; the next start-up begins from zero.
        (void)acknowledgeJobEnd();
        ShellTest::TearDown();
    }

    // The texts of the window's language; a test may take keys out before startWith.
    LanguageTexts englishTexts = allKeysWithPrefix("E:");

    bool startWith(const std::string& file, const std::set<int>& ticked) {
        writeLanguageFile(packFolder(), "en_GB", "Englishish", englishTexts);
        if (!start(file.empty() ? std::vector<std::string>{} : std::vector<std::string>{file})) return false;
        // Colours are read back from the widgets: no theme transition may be half-way.
        g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
        watchdog_ = std::make_unique<UnansweredWindowWatchdog>();
        refusedBefore_ = toolkitCallsRefused();
        tick(ticked);
        return true;
    }
    static void tick(const std::set<int>& ticked) {
        for (int slot = 0; slot < SlotCount; ++slot)
            setControlState(ControlId::algorithmCheckBox(slot), ticked.count(slot) != 0 ? 1 : 0);
    }
    static void click(int id) { gtk_button_clicked(GTK_BUTTON(controlWidget(id))); }

    // Verify with the job held at `slot` (see JobHold); true once it waits there.
    static bool startHeldAt(int slot) {
        JobHold::holdAt(slot);
        click(ControlId::VerifyButton);
        return runEventsUntil([] { return jobRunning(); }) && pumpUntil([] { return JobHold::reached(); });
    }

    // Verify, then run events until the job has ended and its message has been answered.
    std::vector<std::string> runJob(std::vector<DialogAnswer> answers = {DialogAnswer::Yes}) {
        DialogScript script(std::move(answers));
        click(ControlId::VerifyButton);
        EXPECT_TRUE(runEventsUntil([] { return jobRunning(); }));
        EXPECT_TRUE(runEventsUntil([&] { return !jobRunning() && !jobThreadActive(); }, 60000));
        return script.texts();
    }

private:
    std::unique_ptr<UnansweredWindowWatchdog> watchdog_;
    int refusedBefore_ = 0;
};

}  // namespace calc_test
