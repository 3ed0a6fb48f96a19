// Support for GUI tests: the real shell on a real window under Xvfb, driven without the blocking loop.
//
// How to use (GoogleTest):
//
//   class MyTest : public ShellTest {};            // temporary HOME and program folder per test
//   TEST_F(MyTest, Something) {
//       writeTestLanguages();                      // optional: the test pack "Testish"/"Otherish"
//       ASSERT_TRUE(start({"/some/file"}));        // start-up up to the shown window, no loop
//       postEvent(Event{MenuEvent, MainWindowNumber, MenuQuit});
//       answerNextDialog(DialogAnswer::Yes);       // answers the next MessageDialog when it shows
//       ASSERT_TRUE(runEventsUntil([] { return QuitRequested.load() == 1; }));
//   }
//
// - start(args) runs the shell's start-up steps (startShell) with argv = {"hashwarden", args...},
//   ProgramFolder = programFolder(), HOME = home(); stop() (also run by TearDown) closes every window.
// - runEventsUntil(done, ms) is the main event loop with a deadline: it takes events from the
//   program's queue and dispatches them as the program does, until done() is true (true) or the
//   time is up (false). pumpUntil(done, ms) only runs the toolkit's main loop (no dispatching).
// - answerNextDialog(answer) arms a one-shot answer for the next MessageDialog: it waits until the
//   dialog is shown and laid out, records what it showed (lastDialog()), then answers it through
//   the real widgets: a button click, a key press sent to the window, or the close box.
// - answerNextFileRequester(path, whenShown) answers the next file chooser, open or save, with `path`
//   (empty: Cancel) and records the folder it opened in (lastRequesterFolder()); whenShown() runs
//   while the chooser is open, before the answer.
// - All waiting is event-driven with a deadline; nothing sleeps for a fixed time.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/entry_mark.h"
#include "ui/menu_bar.h"
#include "app/event_loop.h"
#include "app/shell_commands.h"
#include "app/help_command.h"
#include "ui/event_queue.h"
#include "ui/control_table.h"
#include "ui/main_window.h"
#include "app/startup.h"
#include "ui/fonts_images.h"
#include "ui/program_identity.h"

constexpr int DefaultWaitMs = 10000;

bool pumpUntil(const std::function<bool()>& done, int timeoutMs = DefaultWaitMs);
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs = DefaultWaitMs);
// Dispatches whatever is queued now (and what that raises) until the queue stays empty briefly.
void dispatchQueuedEvents();

enum class DialogAnswer { Yes, No, Return, Escape, CloseBox };
struct SeenDialog {
    bool shown = false;
    std::string title;
    std::string text;
    std::string rightButtonText;
    std::string secondButtonText; // empty with one button
    bool hasSecondButton = false;
    int width = 0, height = 0; // the dialog's client area
    int rightButtonX = 0, rightButtonY = 0, rightButtonWidth = 0, rightButtonHeight = 0;
    int secondButtonX = 0, secondButtonY = 0;
    int textX = 0, textY = 0, textWidth = 0;
    bool hasSeparator = false;
    int separatorX = 0, separatorY = 0, separatorWidth = 0, separatorHeight = 0;
    bool mainWindowSensitive = true; // while the dialog was open
    // What a screen reader finds: the window's role and description, the icon's name.
    std::string role; // "alert", "dialog", ...
    std::string description;
    std::string iconName;
};
void answerNextDialog(DialogAnswer answer);
[[nodiscard]] const SeenDialog& lastDialog();
[[nodiscard]] int dialogsAnswered();

// A key press and release as the X server would deliver them to `toplevel`'s window, queued into
// the toolkit's own event stream (no keyboard focus needed).
void sendKey(GtkWidget* toplevel, unsigned int keyval, unsigned int modifiers = 0);

// Waits until `toplevel` has been laid out and drawn once more (its frame clock's after-paint).
bool waitForNextFrame(GtkWidget* toplevel, int timeoutMs = DefaultWaitMs);

// Runs `action` with the address space limited to what the process maps now plus 512 KiB, so that no
// new thread stack can be mapped, then lifts the limit again. False if the limit could not be set.
bool withNoRoomForNewThreads(const std::function<void()>& action);

// `whenShown`, if given, runs once when the requester is shown, before it is answered.
// `replace` answers the toolkit's question before a save replaces a file (No also cancels the chooser).
void answerNextFileRequester(const std::string& path, std::function<void()> whenShown = nullptr,
                             bool replace = true);
// How many times that question was asked and answered so far.
[[nodiscard]] int toolkitReplaceQuestions();
[[nodiscard]] const std::string& lastRequesterFolder();

// A language file: display name plus key → text.
using LanguageTexts = std::map<std::string, std::string>;
// Every text key of the program with the text prefix + key (e.g. "T:tMainFILE"), and " %s" after it in
// the texts that take a value.
[[nodiscard]] LanguageTexts allKeysWithPrefix(const std::string& prefix);
void writeLanguageFile(const std::string& packFolder, const std::string& code, const std::string& displayName,
                       const LanguageTexts& texts);

// The processor this test runs on, named as the window title names it ("x86-64", "arm64", "arm32"),
// from the kernel's machine name: a build that named another processor than the one it runs on fails.
[[nodiscard]] std::string runningArchitecture();

// Whole-file helpers for test data.
// The exact bytes of a settings file written by the program.
[[nodiscard]] std::string settingsBytes(const std::string& language, const std::vector<int>& tickedSlots);
[[nodiscard]] std::string readFileText(const std::string& path);
void writeFileText(const std::string& path, const std::string& text, int mode = 0644);

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // "te_ST" (display name "Testish", texts "T:" + key) and "ot_HR" ("Otherish", texts "O:" + key,
    // without tMainSAVE, so a switch keeps the previous text for it).
    void writeTestLanguages();
    // A settings file in the per-user folder naming `language` with the given ticked slots.
    void writeSettings(const std::string& language, const std::vector<int>& tickedSlots = {});
    bool start(const std::vector<std::string>& args = {});
    void stop();

    [[nodiscard]] const std::string& home() const { return home_; }
    [[nodiscard]] const std::string& programFolder() const { return program_; } // ends with "/"
    [[nodiscard]] const std::string& scratch() const { return scratch_; }       // ends with "/"
    [[nodiscard]] std::string packFolder() const { return program_ + "Hashwarden.lang"; }
    [[nodiscard]] std::string configFolder() const { return home_ + "/.Brightmoor/Hashwarden/"; }

  private:
    std::string root_, home_, program_, scratch_;
    std::string savedHome_;
    bool hadHome_ = false;
    bool started_ = false;
};
