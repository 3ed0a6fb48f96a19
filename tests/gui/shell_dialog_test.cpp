// MessageDialog, the About window and the file requesters on the real display: geometry, answers,
// line breaks, texts, input queued while they were open.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "app/event_loop.h"
#include "app/shell_commands.h"
#include "app/help_command.h"
#include "calc/results_file.h"
#include "files/safe_file.h"
#include "dialogs/file_requesters.h"
#include "app/calculation_handlers.h"
#include "calc/calculation_job.h"
#include "dialogs/about_window.h"
#include "dialogs/message_dialog.h"
#include "gui_test_support.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"

namespace {

class DialogTest : public ShellTest {
  protected:
    // Shows the dialog, answers it as told, and returns its result.
    int show(DialogPreset& preset, const std::string& text, DialogAnswer answer) {
        answerNextDialog(answer);
        return runMessageDialog(preset, text);
    }
    // What is left of the queue is the two program events (JobFinishedEvent + 7, then + 8).
    void expectOnlyTheProgramEventsQueued() {
        ASSERT_EQ(queuedEventCount(), 2);
        Event first, second;
        ASSERT_TRUE(waitForEventWhereFor(nullptr, 100, &first));
        ASSERT_TRUE(waitForEventWhereFor(nullptr, 100, &second));
        EXPECT_EQ(first.kind, JobFinishedEvent + 7);
        EXPECT_EQ(second.kind, JobFinishedEvent + 8);
    }
};

TEST_F(DialogTest, QuestionPresetsPutNoAt250AndYesAt345OnTheBand) {
    writeTestLanguages();
    writeSettings("te_ST");
    ASSERT_TRUE(start());
    for (DialogPreset* preset : {&WarningQuestionPreset, &QuestionPreset}) {
        EXPECT_EQ(show(*preset, "Sure?", DialogAnswer::Yes), 1);
        const SeenDialog& seen = lastDialog();
        EXPECT_EQ(seen.width, 440);
        EXPECT_EQ(seen.height, 120);
        EXPECT_EQ(seen.secondButtonX, 250);
        EXPECT_EQ(seen.rightButtonX, 345);
        EXPECT_EQ(seen.rightButtonY, 90);
        EXPECT_EQ(seen.secondButtonY, 90);
        EXPECT_EQ(seen.rightButtonText, "T:tGenYES");
        EXPECT_EQ(seen.secondButtonText, "T:tGenNO");
        EXPECT_EQ(seen.title, "T:tGenMESSAGE");
        EXPECT_EQ(seen.textX, 74); // beside the 64-pixel icon
        EXPECT_EQ(seen.textWidth, 440 - 64 - 15);
        EXPECT_EQ(seen.separatorY, 85);
        EXPECT_EQ(seen.separatorWidth, 440);
        EXPECT_EQ(seen.separatorHeight, 35);
        EXPECT_EQ(seen.rightButtonHeight, 25);
        EXPECT_EQ(seen.rightButtonWidth, 90);
    }
    EXPECT_EQ(show(InfoPreset, "Done", DialogAnswer::Yes), 1);
    EXPECT_EQ(lastDialog().height, 160);
    EXPECT_FALSE(lastDialog().hasSecondButton);
    EXPECT_EQ(lastDialog().rightButtonX, 345);
    EXPECT_EQ(lastDialog().rightButtonY, 130);
    EXPECT_EQ(lastDialog().rightButtonText, "T:tGenOK");
    // The copy-all message uses the same preset at 120 pixels.
    InfoPreset.height = 120;
    EXPECT_EQ(show(InfoPreset, "Copied", DialogAnswer::Return), 1);
    EXPECT_EQ(lastDialog().height, 120);
    InfoPreset.height = 160;
}

TEST_F(DialogTest, HeightRuleAndSecondButtonPlaces) {
    ASSERT_TRUE(start());
    DialogPreset preset = QuestionPreset;
    preset.buttons = "No|Yes";
    const std::pair<int, int> heights[] = {{60, 74}, {73, 74}, {74, 74}, {75, 75}, {200, 200}};
    for (const auto& [asked, shown] : heights) {
        preset.height = asked;
        show(preset, "x", DialogAnswer::No);
        EXPECT_EQ(lastDialog().height, shown) << asked;
    }
    preset.height = 50;
    preset.image = -1;
    preset.secondButtonPlace = 0;
    show(preset, "x", DialogAnswer::No);
    EXPECT_EQ(lastDialog().height, 50); // no icon: the height as given
    EXPECT_EQ(lastDialog().secondButtonX, 5);
    EXPECT_EQ(lastDialog().textX, 5);
    EXPECT_EQ(lastDialog().textWidth, 430);
    preset.height = 120;
    preset.image = WarningIcon;
    show(preset, "x", DialogAnswer::No);
    EXPECT_EQ(lastDialog().secondButtonX, 74);
    preset.secondButtonPlace = 2; // any other value leaves the second button out
    show(preset, "x", DialogAnswer::Yes);
    EXPECT_FALSE(lastDialog().hasSecondButton);
    preset.secondButtonPlace = 1;
    preset.buttons = "Only";
    show(preset, "x", DialogAnswer::Yes);
    EXPECT_FALSE(lastDialog().hasSecondButton);
    EXPECT_EQ(lastDialog().rightButtonText, "Only");
    EXPECT_EQ(lastDialog().rightButtonX, 440 - 95);
    // Separators: 1 a line under the text, 2 a line across, 0 none; all 35 pixels above the bottom.
    const int kinds[][4] = {{1, 74, 440 - 64 - 15, 1}, {2, 0, 440, 1}};
    for (const auto& kind : kinds) {
        preset.separatorKind = kind[0];
        show(preset, "x", DialogAnswer::Yes);
        EXPECT_EQ(lastDialog().separatorX, kind[1]) << kind[0];
        EXPECT_EQ(lastDialog().separatorY, 120 - 35) << kind[0];
        EXPECT_EQ(lastDialog().separatorWidth, kind[2]) << kind[0];
        EXPECT_EQ(lastDialog().separatorHeight, kind[3]) << kind[0];
    }
    preset.separatorKind = 0;
    show(preset, "x", DialogAnswer::Yes);
    EXPECT_FALSE(lastDialog().hasSeparator);
    preset.buttons = "Left|Right|Ignored";
    show(preset, "x", DialogAnswer::Yes);
    EXPECT_EQ(lastDialog().secondButtonText, "Left");
    EXPECT_EQ(lastDialog().rightButtonText, "Right");
}

TEST_F(DialogTest, EveryWayOfAnsweringGivesItsResultAndReenablesTheWindow) {
    ASSERT_TRUE(start());
    const std::pair<DialogAnswer, int> answers[] = {{DialogAnswer::Yes, 1},
                                                    {DialogAnswer::No, 0},
                                                    {DialogAnswer::Return, 1},
                                                    {DialogAnswer::Escape, 0},
                                                    {DialogAnswer::CloseBox, 0}};
    for (const auto& [answer, result] : answers) {
        EXPECT_EQ(show(WarningQuestionPreset, "Question", answer), result) << static_cast<int>(answer);
        EXPECT_FALSE(lastDialog().mainWindowSensitive);
        EXPECT_TRUE(gtk_widget_is_sensitive(controlWidget(ControlId::BrowseButton)));
        EXPECT_EQ(openMessageDialog().window, nullptr);
    }
    // Return acknowledges a one-button message too.
    EXPECT_EQ(show(InfoPreset, "Note", DialogAnswer::Return), 1);
}

// A screen reader is told what each dialog is: a message is an alert, a question a dialog; the kind is
// its description and the icon is named after what it shows, in the language in force or, where the
// pack lacks the words, in the shipped English.
TEST_F(DialogTest, EachDialogTellsItsKindAndNamesItsIcon) {
    struct Row {
        DialogPreset* preset;
        bool error;
        const char* role;
        const char* kindKey;
        const char* kindEnglish;
        const char* iconKey;
        const char* iconEnglish;
    };
    const Row rows[] = {
        {&InfoPreset, false, "alert", "tGenINFORMATION", "Information", "tGenINFORMATION", "Information"},
        {&InfoPreset, true, "alert", "tGenERROR", "Error", "tGenERROR", "Error"},
        {&WarningQuestionPreset, false, "dialog", "tGenQUESTION", "Question", "tGenWARNING", "Warning"},
        {&QuestionPreset, false, "dialog", "tGenQUESTION", "Question", "tGenQUESTION", "Question"},
    };
    writeTestLanguages();
    LanguageTexts older = allKeysWithPrefix("3:");
    for (const char* key : {"tGenINFORMATION", "tGenQUESTION", "tGenWARNING", "tGenERROR"})
        older.erase(key);
    writeLanguageFile(packFolder(), "th_RD", "Thirdish", older);
    for (const bool packHasWords : {true, false}) {
        SCOPED_TRACE(packHasWords ? "Testish" : "a pack without the words");
        writeSettings(packHasWords ? "te_ST" : "th_RD");
        ASSERT_TRUE(start());
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.kindEnglish) + " with the " + row.iconEnglish + " icon");
            answerNextDialog(DialogAnswer::Return);
            if (row.error)
                runMessageDialog(*row.preset, "x", DialogKind::Error);
            else
                runMessageDialog(*row.preset, "x");
            EXPECT_EQ(lastDialog().role, row.role);
            EXPECT_EQ(lastDialog().description,
                      packHasWords ? std::string("T:") + row.kindKey : row.kindEnglish);
            EXPECT_EQ(lastDialog().iconName,
                      packHasWords ? std::string("T:") + row.iconKey : row.iconEnglish);
        }
        stop();
    }
}

// When a dialog closes, the control that had the keyboard focus has it again; when that control can no
// longer take it (Clear all disables itself), Verify or else Browse takes it, so the next Tab goes on
// from there instead of starting over.
TEST_F(DialogTest, TheFocusReturnsToTheControlThatHadIt) {
    writeTestLanguages();
    writeSettings("te_ST", {4});
    const std::string file = scratch() + "data.bin";
    writeFileText(file, "abc");
    ASSERT_TRUE(start({file}));
    const struct {
        const char* what;
        int focused; // -1: nothing focused
        DialogAnswer answer;
        int focusAfter;
    } rows[] = {
        {"check box, Yes", ControlId::algorithmCheckBox(3), DialogAnswer::Yes,
         ControlId::algorithmCheckBox(3)},
        {"expected entry, Escape", ControlId::ExpectedEntry, DialogAnswer::Escape, ControlId::ExpectedEntry},
        {"Browse, close box", ControlId::BrowseButton, DialogAnswer::CloseBox, ControlId::BrowseButton},
        {"result entry, Return", ControlId::resultEntry(9), DialogAnswer::Return, ControlId::resultEntry(9)},
        {"nothing focused", -1, DialogAnswer::No, ControlId::VerifyButton},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        gtk_window_set_focus(GTK_WINDOW(MainWindow), row.focused >= 0 ? controlWidget(row.focused) : nullptr);
        answerNextDialog(row.answer);
        runMessageDialog(WarningQuestionPreset, "Question");
        EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(MainWindow)), controlWidget(row.focusAfter));
    }
    // The file requesters too, answered or cancelled.
    const std::string expected = scratch() + "expected.txt";
    writeFileText(expected, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n");
    for (const int browse : {ControlId::BrowseButton, ControlId::ExpectedBrowseButton}) {
        for (const std::string& answer :
             {std::string(), browse == ControlId::BrowseButton ? file : expected}) {
            SCOPED_TRACE(std::to_string(browse) + (answer.empty() ? " cancelled" : " answered"));
            gtk_widget_grab_focus(controlWidget(browse));
            answerNextFileRequester(answer);
            postEvent(Event{ControlEvent, MainWindowNumber, browse, 0, {}});
            dispatchQueuedEvents();
            EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(MainWindow)), controlWidget(browse));
        }
    }
    // Clear all confirmed disables its own button and Verify: Browse takes the focus.
    gtk_widget_grab_focus(controlWidget(ControlId::DeleteAllButton));
    answerNextDialog(DialogAnswer::Yes);
    postEvent(Event{ControlEvent, MainWindowNumber, ControlId::DeleteAllButton, 0, {}});
    ASSERT_TRUE(runEventsUntil([] { return !controlEnabled(ControlId::VerifyButton); }));
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(MainWindow)), controlWidget(ControlId::BrowseButton));
}

// Return in the expected-checksum entry presses Verify while Verify can be pressed: the job runs, and
// after its end message the focus is on Verify. Without a file Verify is off and Return does nothing.
TEST_F(DialogTest, ReturnInTheExpectedChecksumPressesVerify) {
    writeTestLanguages();
    writeSettings("te_ST", {4});
    const std::string file = scratch() + "data.bin";
    writeFileText(file, "abc");
    int releases = 0;
    const auto pressReturnInExpectedEntry = [&] {
        gtk_widget_grab_focus(controlWidget(ControlId::ExpectedEntry));
        const int seen = releases;
        sendKey(MainWindow, GDK_KEY_Return);
        return pumpUntil([&] { return releases > seen; }); // the whole key handled
    };
    const auto countReleases = [&] {
        g_signal_connect(MainWindow, "key-release-event",
                         G_CALLBACK(+[](GtkWidget*, GdkEventKey*, gpointer count) -> gboolean {
                             ++*static_cast<int*>(count);
                             return FALSE;
                         }),
                         &releases);
    };

    ASSERT_TRUE(start());
    countReleases();
    ASSERT_TRUE(pressReturnInExpectedEntry());
    Event press;
    EXPECT_FALSE(waitForEventWhereFor(
        [](const Event& e) { return e.kind == ControlEvent && e.id == ControlId::VerifyButton; }, 0, &press))
        << "Verify is off: no press";
    stop();

    ASSERT_TRUE(start({file}));
    countReleases();
    const int answered = dialogsAnswered();
    answerNextDialog(DialogAnswer::Return); // the end message
    ASSERT_TRUE(pressReturnInExpectedEntry());
    ASSERT_TRUE(runEventsUntil([&] { return dialogsAnswered() > answered && !jobRunning(); }));
    EXPECT_EQ(lastDialog().text.rfind("T:tReqFINISHED", 0), 0u) << lastDialog().text;
    EXPECT_EQ(
        controlText(ControlId::resultEntry(4)),
        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"); // SHA-256 of "abc", FIPS 180-4
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(MainWindow)), controlWidget(ControlId::VerifyButton));
}

// What a dialog's keyboard user meets once it has opened: the focused control, and every stop that
// Tab goes through in a round.
struct FocusSeen {
    GtkWidget* focused = nullptr;
    std::vector<GtkWidget*> tabStops;
    MessageDialogParts parts;
};

// Looks at the dialog's focus as soon as it is shown, then answers it as told.
void lookThenAnswer(FocusSeen& seen, DialogAnswer answer) {
    struct Probe {
        FocusSeen* seen;
        DialogAnswer answer;
    };
    g_timeout_add(5, [](gpointer data) -> gboolean {
        auto* probe = static_cast<Probe*>(data);
        const MessageDialogParts parts = openMessageDialog();
        if (parts.window == nullptr || !gtk_widget_get_mapped(parts.window)) return G_SOURCE_CONTINUE;
        GtkWindow* window = GTK_WINDOW(parts.window);
        probe->seen->parts = parts;
        probe->seen->focused = gtk_window_get_focus(window);
        for (int i = 0; i < 4; ++i) {
            if (!gtk_widget_child_focus(parts.window, GTK_DIR_TAB_FORWARD)) // off the end: round again
                gtk_widget_child_focus(parts.window, GTK_DIR_TAB_FORWARD);
            probe->seen->tabStops.push_back(gtk_window_get_focus(window));
        }
        gtk_widget_grab_focus(probe->seen->focused);
        answerNextDialog(probe->answer);
        delete probe;
        return G_SOURCE_REMOVE;
    }, new Probe{&seen, answer});
}

// Tab stops only at the dialog's buttons, each named by its text: the text's scroller is no stop. A
// question whose Yes destroys something starts on No, and Return answers No; the others start on the
// right-hand button, which Return presses.
TEST_F(DialogTest, TabStopsOnlyAtTheButtonsAndReturnPressesTheDefault) {
    ASSERT_TRUE(start());
    const struct {
        const char* name;
        DialogPreset* preset;
        DefaultButton defaultButton;
        DialogAnswer answer;
        int result;
    } rows[] = {
        {"message", &InfoPreset, DefaultButton::Right, DialogAnswer::Return, 1},
        {"question", &WarningQuestionPreset, DefaultButton::Right, DialogAnswer::Return, 1},
        {"destructive question, Return", &WarningQuestionPreset, DefaultButton::Second, DialogAnswer::Return, 0},
        {"destructive question, Yes", &WarningQuestionPreset, DefaultButton::Second, DialogAnswer::Yes, 1},
        {"one-button preset asked for a second default", &InfoPreset, DefaultButton::Second, DialogAnswer::Return, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FocusSeen seen;
        lookThenAnswer(seen, row.answer);
        EXPECT_EQ(runMessageDialog(*row.preset, "Replace?", presetKind(*row.preset), row.defaultButton), row.result);
        const bool second = row.defaultButton == DefaultButton::Second && seen.parts.secondButton != nullptr;
        EXPECT_EQ(seen.focused, second ? seen.parts.secondButton : seen.parts.rightButton);
        for (GtkWidget* stop : seen.tabStops) {
            EXPECT_TRUE(stop == seen.parts.rightButton || (stop != nullptr && stop == seen.parts.secondButton))
                << (stop != nullptr ? G_OBJECT_TYPE_NAME(stop) : "nothing");
        }
    }
}

TEST_F(DialogTest, BackslashNInEitherCaseBreaksTheLine) {
    EXPECT_EQ(expandLineBreaks("one\\ntwo\\Nthree"), "one\ntwo\nthree");
    EXPECT_EQ(expandLineBreaks("done\\n\\nErrors:  2"), "done\n\nErrors:  2");
    EXPECT_EQ(expandLineBreaks("path C:\\temp\\x\\"), "path C:\\temp\\x\\");
    ASSERT_TRUE(start());
    show(InfoPreset, "first\\Nsecond", DialogAnswer::Yes);
    EXPECT_EQ(lastDialog().text, "first\nsecond");
}

TEST_F(DialogTest, AnEmptyCatalogueGivesEmptyTitleAndButtonsAndTheBareText) {
    ASSERT_TRUE(start());
    EXPECT_EQ(show(WarningQuestionPreset, "bare text", DialogAnswer::No), 0);
    EXPECT_EQ(lastDialog().title, "");
    EXPECT_EQ(lastDialog().rightButtonText, "");
    EXPECT_EQ(lastDialog().secondButtonText, "");
    EXPECT_EQ(lastDialog().text, "bare text");
    answerNextDialog(DialogAnswer::Yes);
    EXPECT_TRUE(askQuestion("tReqSURETOEXIT"));
    EXPECT_EQ(lastDialog().text, "");
}

// The dialog's loop leaves program events (the job's end) queued in order for the main loop; input
// of the main window queued before the dialog is not acted on after it.
TEST_F(DialogTest, ProgramEventsWaitForTheMainLoopInOrderAndEarlierInputIsDropped) {
    ASSERT_TRUE(start());
    clearEventQueue();
    postEvent(Event{ControlEvent, MainWindowNumber, ControlId::VerifyButton, 0, {}});
    postEvent(Event{JobFinishedEvent + 7, -1, -1, 0, {}}); // like the job's end event, already queued
    postEvent(Event{CloseEvent, MainWindowNumber, -1, 0, {}});
    postEvent(Event{JobFinishedEvent + 8, -1, -1, 0, {}});
    EXPECT_EQ(show(QuestionPreset, "Cancel?", DialogAnswer::Escape), 0);
    expectOnlyTheProgramEventsQueued();
}

// The same for the file requesters, open and save, answered or cancelled: main-window input queued
// while the requester was open is not acted on after it; program events keep their order.
TEST_F(DialogTest, FileRequestersDropTheMainWindowInputQueuedWhileTheyWereOpen) {
    ASSERT_TRUE(start());
    const std::string file = scratch() + "chosen.txt";
    writeFileText(file, "chosen\n");
    const std::vector<std::pair<const char*, std::function<std::string()>>> requesters = {
        {"open", [] { return openFileRequester("Open", "", "", 0); }},
        {"save", [&] { return saveFileRequester("Save", file, "", 0, [](const std::string&) { return true; }); }},
    };
    const auto queueInputAndProgramEvents = [&] {
        postEvent(Event{ControlEvent, MainWindowNumber, ControlId::VerifyButton, 0, {}});
        postEvent(Event{JobFinishedEvent + 7, -1, -1, 0, {}});
        postEvent(Event{MenuEvent, MainWindowNumber, MenuQuit, 0, {}});
        postEvent(Event{DropEvent, MainWindowNumber, ControlId::PathEntry, 0, file});
        postEvent(Event{CloseEvent, MainWindowNumber, -1, 0, {}});
        postEvent(Event{JobFinishedEvent + 8, -1, -1, 0, {}});
    };
    for (const auto& [name, requester] : requesters) {
        for (const std::string& answer : {file, std::string()}) {
            SCOPED_TRACE(std::string(name) + (answer.empty() ? ", cancelled" : ", answered"));
            clearEventQueue();
            answerNextFileRequester(answer, queueInputAndProgramEvents);
            EXPECT_EQ(requester(), answer);
            expectOnlyTheProgramEventsQueued();
        }
    }
}

class AboutTest : public ShellTest {};

TEST_F(AboutTest, ShowsLogoNameVersionTextAndCreditsOverTheDisabledWindow) {
    LanguageTexts texts = allKeysWithPrefix("T:");
    texts["tAboutCODE"] = "About text with \\n kept";
    writeLanguageFile(packFolder(), "te_ST", "Testish", texts);
    writeSettings("te_ST");
    ASSERT_TRUE(start());
    postEvent(Event{MenuEvent, MainWindowNumber, MenuAbout, 0, {}});
    ASSERT_TRUE(
        runEventsUntil([] { return aboutWindow() != nullptr && gtk_widget_get_mapped(aboutWindow()); }));
    pumpUntil([] { return gtk_widget_get_allocated_width(controlWidget(AboutOkButtonId)) > 1; });
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(aboutWindow())), "T:tAboutTITLE");
    const std::string body = controlText(AboutBodyTextId);
    EXPECT_EQ(body, aboutBodyText());
    EXPECT_EQ(body.rfind("v1.0.0.0 (" + runningArchitecture() + ")\n\nAbout text with \\n kept\n", 0), 0u)
        << body;
    EXPECT_NE(body.find("\nBrightmoor\n\nhttps://"), std::string::npos) << body;
    EXPECT_EQ(body.back(), '\n');
    EXPECT_EQ(controlText(AboutTitleTextId), "Hashwarden");
    EXPECT_EQ(controlText(AboutOkButtonId), "T:tGenOK");
    const int places[][5] = {
        {45, 5, 5, 128, 128}, {46, 150, 10, 445, 45}, {47, 150, 55, 445, 160}, {48, 495, 220, 100, 25}};
    for (const auto& place : places) {
        // The widget placed in the window: the control itself, or the scroller holding the body.
        GtkWidget* placed = controlWidget(place[0]);
        while (!GTK_IS_FIXED(gtk_widget_get_parent(placed)))
            placed = gtk_widget_get_parent(placed);
        GtkAllocation allocation;
        gtk_widget_get_allocation(placed, &allocation);
        EXPECT_EQ(allocation.x, place[1]) << place[0];
        EXPECT_EQ(allocation.y, place[2]) << place[0];
        EXPECT_EQ(allocation.width, place[3]) << place[0];
        EXPECT_EQ(allocation.height, place[4]) << place[0];
    }
    GtkWidget* client = gtk_bin_get_child(GTK_BIN(aboutWindow()));
    EXPECT_EQ(gtk_widget_get_allocated_width(client), 600);
    EXPECT_EQ(gtk_widget_get_allocated_height(client), 250);
    EXPECT_FALSE(gtk_widget_is_sensitive(controlWidget(ControlId::BrowseButton)));
    // A screen reader finds a dialog named after its title, with a named logo.
    AtkObject* window = gtk_widget_get_accessible(aboutWindow());
    EXPECT_EQ(atk_object_get_role(window), ATK_ROLE_DIALOG);
    EXPECT_STREQ(atk_object_get_name(window), "T:tAboutTITLE");
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(controlWidget(AboutLogoId))), "Hashwarden");
}

// Escape, Return and the keypad's Enter close the About window as OK does, and the main window's
// focus is back where it was.
TEST_F(AboutTest, EscapeAndReturnCloseItAndTheFocusComesBack) {
    writeTestLanguages();
    writeSettings("te_ST");
    ASSERT_TRUE(start());
    GtkWidget* box = controlWidget(ControlId::algorithmCheckBox(7));
    for (const unsigned int key : {GDK_KEY_Escape, GDK_KEY_Return, GDK_KEY_KP_Enter}) {
        SCOPED_TRACE(gdk_keyval_name(key));
        gtk_widget_grab_focus(box);
        postEvent(Event{MenuEvent, MainWindowNumber, MenuAbout, 0, {}});
        ASSERT_TRUE(
            runEventsUntil([] { return aboutWindow() != nullptr && gtk_widget_get_mapped(aboutWindow()); }));
        sendKey(aboutWindow(), key);
        ASSERT_TRUE(runEventsUntil([] { return aboutWindow() == nullptr; }));
        EXPECT_TRUE(mainWindowSensitive());
        EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(MainWindow)), box);
    }
}

// While the About window is open the main window takes no input: its close box, F1, its menu items
// and shortcuts do nothing, and a message shown meanwhile leaves it disabled as it found it.
TEST_F(AboutTest, WhileOpenTheMainWindowTakesNoInputAndAMessageLeavesItDisabled) {
    writeTestLanguages();
    writeSettings("te_ST");
    const std::string bin = scratch() + "bin/";
    std::filesystem::create_directories(bin);
    writeFileText(bin + "Leafscope.exe", "#!/bin/sh\nexec sleep 600\n", 0755);
    const std::string savedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (bin + ":" + savedPath).c_str(), 1);
    ASSERT_TRUE(start());
    int otherish = -1;
    for (int id = MenuLanguageBase; id < menuItemIdCount(); ++id)
        if (menuItemText(id) == "Otherish") otherish = id;
    ASSERT_GE(otherish, 0);
    openAbout();
    ASSERT_TRUE(pumpUntil([] { return gtk_widget_get_mapped(aboutWindow()); }));
    answerNextDialog(DialogAnswer::Escape); // a question that should not come gets No, and is counted
    const int answered = dialogsAnswered();

    const std::vector<std::pair<const char*, std::function<void()>>> inputs = {
        {"close box",
         [] {
             postEvent(Event{CloseEvent, MainWindowNumber, -1, 0, {}});
         }},
        {"F1", [] { sendKey(MainWindow, GDK_KEY_F1); }},
        {"About",
         [] {
             postEvent(Event{MenuEvent, MainWindowNumber, MenuAbout, 0, {}});
         }},
        {"Quit",
         [] {
             postEvent(Event{MenuEvent, MainWindowNumber, MenuQuit, 0, {}});
         }},
        {"language",
         [&] {
             postEvent(Event{MenuEvent, MainWindowNumber, otherish, 0, {}});
         }},
        {"Browse",
         [] {
             postEvent(Event{ControlEvent, MainWindowNumber, ControlId::BrowseButton, 0, {}});
         }},
    };
    GtkWidget* about = aboutWindow();
    for (const auto& [name, input] : inputs) {
        SCOPED_TRACE(name);
        input();
        dispatchQueuedEvents();
        EXPECT_EQ(dialogsAnswered(), answered);
        EXPECT_EQ(aboutWindow(), about);
        EXPECT_FALSE(mainWindowSensitive());
        EXPECT_EQ(HelpProcess.load(), 0);
        EXPECT_EQ(CurrentLanguage, "te_ST");
        EXPECT_EQ(QuitRequested.load(), 0);
        if (HasFailure()) break; // a window or requester that came would wait for an answer
    }
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(runMessageDialog(InfoPreset, "Over About"), 0); // takes the answer armed above
    EXPECT_FALSE(mainWindowSensitive());
    closeAbout();
    EXPECT_TRUE(mainWindowSensitive());
    setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(AboutTest, OkAndTheCloseBoxBothCloseItAndItReopensInTheNewLanguage) {
    writeTestLanguages();
    writeSettings("te_ST");
    ASSERT_TRUE(start());
    for (bool useCloseBox : {false, true}) {
        openAbout();
        ASSERT_NE(aboutWindow(), nullptr);
        pumpUntil([] { return gtk_widget_get_mapped(aboutWindow()); });
        if (useCloseBox)
            gtk_window_close(GTK_WINDOW(aboutWindow()));
        else
            gtk_button_clicked(GTK_BUTTON(controlWidget(AboutOkButtonId)));
        ASSERT_TRUE(runEventsUntil([] { return aboutWindow() == nullptr; })) << useCloseBox;
        EXPECT_TRUE(gtk_widget_is_sensitive(controlWidget(ControlId::BrowseButton)));
        EXPECT_EQ(controlWidget(AboutOkButtonId), nullptr);
    }
    int otherish = -1;
    for (int id = MenuLanguageBase; id < menuItemIdCount(); ++id)
        if (menuItemText(id) == "Otherish") otherish = id;
    switchLanguageItem(otherish);
    openAbout();
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(aboutWindow())), "O:tAboutTITLE");
    EXPECT_NE(controlText(AboutBodyTextId).find("O:tAboutCODE"), std::string::npos);
    closeAbout();
}

} // namespace
