// The shell's commands on the real window: start arguments, drops, quit questions, help, web page, file
// requester.
#include <locale.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <mutex>
#include <thread>

#include "app/calculation_handlers.h"
#include "app/launcher.h"
#include "calc/calculation_job.h"
#include "dialogs/message_dialog.h"
#include "gui_test_support.h"
#include "settings/settings_file.h"
#include "ui/chosen_file.h"

namespace {

class CommandTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
    }
    void TearDown() override {
        setenv("PATH", savedPath_.c_str(), 1);
        ShellTest::TearDown();
    }
    // A folder of fake outside programs, put first on PATH.
    std::string fakeBin() {
        const std::string bin = scratch() + "bin/";
        std::filesystem::create_directories(bin);
        setenv("PATH", (bin + ":" + savedPath_).c_str(), 1);
        return bin;
    }
    std::string savedPath_;
};

// Drag data as the toolkit hands it over: a real GtkSelectionData holding a URI list, obtained
// from a private selection that this process owns, delivered through PathEntry's drop signal.
void dropUris(const std::vector<std::string>& uris) {
    static std::vector<std::string> offered;
    offered = uris;
    GtkClipboard* selection = gtk_clipboard_get(gdk_atom_intern_static_string("HW_TEST_DROP"));
    static GtkTargetEntry uriList = {const_cast<gchar*>("text/uri-list"), 0, 0};
    gtk_clipboard_set_with_data(
        selection, &uriList, 1,
        [](GtkClipboard*, GtkSelectionData* data, guint, gpointer) {
            std::vector<gchar*> list;
            for (std::string& uri : offered)
                list.push_back(uri.data());
            list.push_back(nullptr);
            gtk_selection_data_set_uris(data, list.data());
        },
        nullptr, nullptr);
    GtkSelectionData* data =
        gtk_clipboard_wait_for_contents(selection, gdk_atom_intern_static_string("text/uri-list"));
    ASSERT_NE(data, nullptr);
    guint ignoredSignalResult = 0;
    (void)ignoredSignalResult;
    g_signal_emit_by_name(controlWidget(ControlId::PathEntry), "drag-data-received", nullptr, 10, 10, data,
                          0u, static_cast<guint>(GDK_CURRENT_TIME));
    gtk_selection_data_free(data);
}

std::string uriOf(const std::string& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string text = uri;
    g_free(uri);
    return text;
}

TEST_F(CommandTest, StartArgumentTakesAnExistingFileOnly) {
    const std::string file = scratch() + "empty file.bin";
    writeFileText(file, ""); // size 0 counts as existing
    ASSERT_TRUE(start({file}));
    EXPECT_EQ(controlText(ControlId::PathEntry), file);
    EXPECT_TRUE(controlEnabled(ControlId::VerifyButton));
    EXPECT_TRUE(controlEnabled(ControlId::DeleteAllButton));
    stop();

    for (const std::string& argument : {scratch(), scratch() + "missing.bin", std::string()}) {
        ASSERT_TRUE(
            start(argument.empty() ? std::vector<std::string>{} : std::vector<std::string>{argument}));
        EXPECT_EQ(controlText(ControlId::PathEntry), "") << argument;
        EXPECT_FALSE(controlEnabled(ControlId::VerifyButton)) << argument;
        EXPECT_FALSE(controlEnabled(ControlId::DeleteAllButton)) << argument;
        stop();
    }
}

TEST_F(CommandTest, DropTakesTheFirstLocalFileAndIgnoresFoldersAndWebLinks) {
    const std::string first = scratch() + "first.bin";
    const std::string second = scratch() + "second.bin";
    writeFileText(first, "1");
    writeFileText(second, "2");
    ASSERT_TRUE(start());
    clearEventQueue();

    dropUris({uriOf(first), uriOf(second)});
    Event event;
    ASSERT_TRUE(
        waitForEventWhereFor([](const Event& e) { return e.kind == DropEvent; }, DefaultWaitMs, &event));
    EXPECT_EQ(event.id, ControlId::PathEntry);
    EXPECT_EQ(event.data, first + "\n" + second);
    dispatchEvent(event);
    EXPECT_EQ(controlText(ControlId::PathEntry), first);
    EXPECT_TRUE(controlEnabled(ControlId::VerifyButton));

    dropUris({uriOf(scratch())});
    dispatchQueuedEvents();
    EXPECT_EQ(controlText(ControlId::PathEntry), first);

    dropUris({"https://www.example.org/file.bin"});
    ASSERT_TRUE(
        waitForEventWhereFor([](const Event& e) { return e.kind == DropEvent; }, DefaultWaitMs, &event));
    EXPECT_EQ(event.data, ""); // non-local URIs are left out
    dispatchEvent(event);
    EXPECT_EQ(controlText(ControlId::PathEntry), first);
}

// The path field is disabled while a job runs, but a drop's data can still arrive: it must change
// neither the job's file nor the window's phase, and the end shows the job's own file.
TEST_F(CommandTest, ADropDuringAJobLeavesItsFileAndThePhaseAlone) {
    const std::string first = scratch() + "first.bin";
    const std::string second = scratch() + "second.bin";
    writeFileText(first, "1");
    writeFileText(second, "2");
    ASSERT_TRUE(start({first}));
    setControlState(ControlId::algorithmCheckBox(0), 1);
    pauseJob(); // the job stays running until the drop has been handled
    startCalculation();
    ASSERT_TRUE(jobRunning());

    dropUris({uriOf(second)});
    Event event;
    ASSERT_TRUE(
        waitForEventWhereFor([](const Event& e) { return e.kind == DropEvent; }, DefaultWaitMs, &event));
    dispatchEvent(event);
    EXPECT_EQ(controlText(ControlId::PathEntry), first);
    EXPECT_FALSE(controlEnabled(ControlId::PathEntry));
    EXPECT_FALSE(controlEnabled(ControlId::DeleteAllButton));
    EXPECT_FALSE(controlEnabled(ControlId::BrowseButton));

    resumeJob();
    answerNextDialog(DialogAnswer::Yes);
    ASSERT_TRUE(runEventsUntil([] { return !jobRunning() && !jobThreadActive(); }));
    EXPECT_EQ(controlText(ControlId::PathEntry), first);
    EXPECT_EQ(chosenFilePath(), first);
    const std::string digest = controlText(ControlId::resultEntry(0));
    EXPECT_EQ(digest.size(), 8u);

    // After the job the same drop is taken, and the first file's row goes with it.
    dropUris({uriOf(second)});
    ASSERT_TRUE(
        waitForEventWhereFor([](const Event& e) { return e.kind == DropEvent; }, DefaultWaitMs, &event));
    dispatchEvent(event);
    EXPECT_EQ(controlText(ControlId::PathEntry), second);
    EXPECT_EQ(controlText(ControlId::resultEntry(0)), "");
}

TEST_F(CommandTest, QuitQuestionAnsweredYesEndsTheLoopAndSavesTheSettings) {
    writeTestLanguages();
    writeSettings("te_ST", {1});
    ASSERT_TRUE(start());
    setControlState(ControlId::algorithmCheckBox(1), 0);
    setControlState(ControlId::algorithmCheckBox(3), 1);
    setControlState(ControlId::algorithmCheckBox(10), 1);
    gtk_window_close(GTK_WINDOW(MainWindow)); // the close box
    answerNextDialog(DialogAnswer::Yes);
    ASSERT_TRUE(runEventsUntil([] { return QuitRequested.load() == 1; }));
    EXPECT_EQ(lastDialog().text, "T:tReqSURETOEXIT");
    EXPECT_EQ(lastDialog().title, "T:tGenMESSAGE");
    EXPECT_FALSE(lastDialog().mainWindowSensitive);
    shutDownShell();
    EXPECT_EQ(readFileText(configFolder() + "Hashwarden.prefs"), settingsBytes("te_ST", {3, 10}));
}

TEST_F(CommandTest, QuitQuestionAnsweredNoEscapeOrCloseBoxKeepsRunning) {
    ASSERT_TRUE(start());
    const std::pair<DialogAnswer, int> answers[] = {{DialogAnswer::No, MenuEvent},
                                                    {DialogAnswer::Escape, MenuEvent},
                                                    {DialogAnswer::CloseBox, CloseEvent}};
    for (const auto& [answer, kind] : answers) {
        const int before = dialogsAnswered();
        if (kind == MenuEvent)
            postEvent(Event{MenuEvent, MainWindowNumber, MenuQuit, 0, {}});
        else
            gtk_window_close(GTK_WINDOW(MainWindow));
        answerNextDialog(answer);
        ASSERT_TRUE(runEventsUntil(
            [&] { return dialogsAnswered() > before && openMessageDialog().window == nullptr; }));
        dispatchQueuedEvents();
        EXPECT_EQ(QuitRequested.load(), 0);
        EXPECT_TRUE(gtk_widget_is_sensitive(controlWidget(ControlId::BrowseButton)));
    }
    // Nothing is written while the program runs.
    EXPECT_FALSE(std::filesystem::exists(configFolder() + "Hashwarden.prefs"));
}

TEST_F(CommandTest, HelpStartsOnceWhileRunningAgainAfterItEndsAndIsKilledAtQuit) {
    LanguageTexts texts = allKeysWithPrefix("T:");
    texts["tLangFileLANGID"] = "en GB"; // a blank in the path: still one argument
    writeLanguageFile(packFolder(), "te_ST", "Testish", texts);
    writeSettings("te_ST");
    const std::string log = scratch() + "help.log";
    writeFileText(fakeBin() + "Leafscope.exe",
                  "#!/bin/sh\necho \"$# $PWD/ $1\" >> '" + log + "'\nexec sleep 600\n", 0755);
    ASSERT_TRUE(start());
    const std::string expectedLine =
        "1 " + programFolder() + " " + programFolder() + "Hashwarden_en GB.help\n";

    sendKey(MainWindow, GDK_KEY_F1);
    ASSERT_TRUE(runEventsUntil([&] { return readFileText(log) == expectedLine; }));
    const pid_t first = HelpProcess.load();
    EXPECT_GT(first, 0);
    EXPECT_EQ(HelpWatcherActive.load(), 1);
    sendKey(MainWindow, GDK_KEY_F1);
    dispatchQueuedEvents();
    EXPECT_EQ(HelpProcess.load(), first);

    // The user closes the help program; the watcher notices within its period.
    kill(first, SIGTERM);
    ASSERT_TRUE(pumpUntil([] { return HelpProcess.load() == 0; }));
    EXPECT_EQ(HelpWatcherActive.load(), 0);
    sendKey(MainWindow, GDK_KEY_F1);
    ASSERT_TRUE(runEventsUntil([&] { return readFileText(log) == expectedLine + expectedLine; }));
    const pid_t second = HelpProcess.load();
    ASSERT_GT(second, 0);
    EXPECT_NE(second, first);

    shutDownShell();
    EXPECT_EQ(HelpProcess.load(), 0);
    EXPECT_EQ(kill(second, 0), -1); // killed and reaped
    EXPECT_EQ(errno, ESRCH);
}

// Holds the first HelpWatcher that sees its help program end, once it has cleared the shared state,
// until released; counts watcher threads that have ended.
struct HelpWatcherHold {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline pid_t held = 0;
    static inline bool released = false;
    static inline std::vector<pid_t> ended;
    static void probe(pid_t process, HelpWatcherStep step) {
        std::unique_lock lock(mutex);
        if (step == HelpWatcherStep::Leaving) {
            ended.push_back(process);
        } else if (step == HelpWatcherStep::SawEnd && held == 0) {
            held = process;
            g_main_context_wakeup(nullptr);
            changed.wait(lock, [] { return released; });
        }
        g_main_context_wakeup(nullptr);
    }
    static bool heldAt(pid_t process) {
        std::lock_guard lock(mutex);
        return held == process;
    }
    static bool hasEnded(pid_t process) {
        std::lock_guard lock(mutex);
        return std::find(ended.begin(), ended.end(), process) != ended.end();
    }
    static void release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

// The old help program ends just as F1 starts a new one: its watcher, looking a moment later, must
// leave the new program's state alone, and the new program keeps a watcher of its own.
TEST_F(CommandTest, AnEndingHelpProgramLeavesTheNewOnesWatcherAlone) {
    writeFileText(fakeBin() + "Leafscope.exe", "#!/bin/sh\nexec sleep 600\n", 0755);
    ASSERT_TRUE(start());
    setHelpWatcherProbe(&HelpWatcherHold::probe);
    openHelp();
    const pid_t first = HelpProcess.load();
    ASSERT_GT(first, 0);

    kill(first, SIGTERM);
    ASSERT_TRUE(pumpUntil([&] { return HelpWatcherHold::heldAt(first); }));
    openHelp(); // F1 while the old watcher is between its look and its clearing
    const pid_t second = HelpProcess.load();
    ASSERT_GT(second, 0);
    ASSERT_NE(second, first);
    HelpWatcherHold::release();
    ASSERT_TRUE(pumpUntil([&] { return HelpWatcherHold::hasEnded(first); }));
    EXPECT_EQ(HelpProcess.load(), second);
    EXPECT_EQ(HelpWatcherActive.load(), 1);

    kill(second, SIGTERM);
    ASSERT_TRUE(pumpUntil([&] { return HelpWatcherHold::hasEnded(second); }));
    EXPECT_EQ(HelpProcess.load(), 0);
    EXPECT_EQ(HelpWatcherActive.load(), 0);
    setHelpWatcherProbe(nullptr);
}

// Holds a HelpWatcher before its second look at its help program, until released; records what each
// watcher went through.
struct HelpWatcherLookHold {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline int looks = 0;
    static inline bool holding = false;
    static inline bool released = false;
    static inline std::vector<std::pair<pid_t, HelpWatcherStep>> steps;
    static void probe(pid_t process, HelpWatcherStep step) {
        std::unique_lock lock(mutex);
        steps.emplace_back(process, step);
        if (step == HelpWatcherStep::Looking && ++looks == 2) {
            holding = true;
            g_main_context_wakeup(nullptr);
            changed.wait(lock, [] { return released; });
        }
        g_main_context_wakeup(nullptr);
    }
    static bool isHolding() {
        std::lock_guard lock(mutex);
        return holding;
    }
    static void release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    static bool saw(pid_t process, HelpWatcherStep step) {
        std::lock_guard lock(mutex);
        return std::find(steps.begin(), steps.end(), std::make_pair(process, step)) != steps.end();
    }
};

// Whether `process` has ended and waits, unreaped, for whoever may reap it.
bool unreapedZombie(pid_t process) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(process), &info, WEXITED | WNOWAIT | WNOHANG) == 0 &&
           info.si_pid == process;
}

// A watched help program is waited for by its watcher alone: F1 after the program ended but before
// its watcher looked again starts nothing and reaps nothing; the watcher then sees the end, and F1
// starts the program again. The quit takes a watched program over: its watcher looks no more.
TEST_F(CommandTest, OnlyTheWatcherWaitsForAWatchedHelpProgramUntilTheQuitTakesItOver) {
    writeFileText(fakeBin() + "Leafscope.exe", "#!/bin/sh\nexec sleep 600\n", 0755);
    ASSERT_TRUE(start());
    HelpWatcherLookHold::looks = 0;
    HelpWatcherLookHold::holding = false;
    HelpWatcherLookHold::released = false;
    HelpWatcherLookHold::steps.clear();
    setHelpWatcherProbe(&HelpWatcherLookHold::probe);
    openHelp();
    const pid_t first = HelpProcess.load();
    ASSERT_GT(first, 0);
    ASSERT_TRUE(pumpUntil([] { return HelpWatcherLookHold::isHolding(); }));

    kill(first, SIGKILL);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(first), &info, WEXITED | WNOWAIT), 0); // ended, not reaped
    openHelp();
    EXPECT_EQ(HelpProcess.load(), first);
    EXPECT_TRUE(unreapedZombie(first)) << "F1 reaped the watcher's program";
    HelpWatcherLookHold::release();
    ASSERT_TRUE(pumpUntil([&] { return HelpWatcherLookHold::saw(first, HelpWatcherStep::Leaving); }));
    EXPECT_TRUE(HelpWatcherLookHold::saw(first, HelpWatcherStep::SawEnd));
    EXPECT_FALSE(unreapedZombie(first));
    EXPECT_EQ(HelpProcess.load(), 0);

    // A second help program, taken over by the quit while its watcher waits between two looks.
    HelpWatcherLookHold::looks = 0;
    HelpWatcherLookHold::holding = false;
    HelpWatcherLookHold::released = false;
    openHelp();
    const pid_t second = HelpProcess.load();
    ASSERT_GT(second, 0);
    ASSERT_TRUE(pumpUntil([] { return HelpWatcherLookHold::isHolding(); }));
    stopHelpProgram();
    EXPECT_EQ(HelpProcess.load(), 0);
    EXPECT_EQ(kill(second, 0), -1); // killed and reaped by the quit
    EXPECT_EQ(errno, ESRCH);
    HelpWatcherLookHold::release();
    ASSERT_TRUE(pumpUntil([&] { return HelpWatcherLookHold::saw(second, HelpWatcherStep::Leaving); }));
    EXPECT_FALSE(HelpWatcherLookHold::saw(second, HelpWatcherStep::SawEnd));
    setHelpWatcherProbe(nullptr);
}

// No thread to spare for the watcher (its stack cannot be mapped under a tight address-space
// limit): the help program still runs, unwatched, and the program goes on.
TEST_F(CommandTest, AWatcherThatCannotStartLeavesTheHelpRunningUnwatched) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit cannot be combined with the sanitizer's shadow memory";
#endif
    writeFileText(fakeBin() + "Leafscope.exe", "#!/bin/sh\nexec sleep 600\n", 0755);
    ASSERT_TRUE(start());
    // Threads that ended earlier leave their stacks cached for reuse, which would need no new
    // memory: hold more threads than the cache keeps stacks, so the watcher must map a new one.
    std::latch done(1);
    std::vector<std::thread> holders;
    for (int n = 0; n < 8; ++n)
        holders.emplace_back([&done] { done.wait(); });
    ASSERT_TRUE(withNoRoomForNewThreads([] { openHelp(); }));
    done.count_down();
    for (std::thread& holder : holders)
        holder.join();
    const pid_t help = HelpProcess.load();
    ASSERT_GT(help, 0);
    if (HelpWatcherActive.load() == 1) GTEST_SKIP() << "a cached thread stack let the watcher start anyway";
    EXPECT_TRUE(programRunning(help));
    openHelp(); // still running: not started twice
    EXPECT_EQ(HelpProcess.load(), help);
    shutDownShell();
    EXPECT_EQ(kill(help, 0), -1); // the quit still ends it
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(CommandTest, HelpWithoutTheProgramDoesNothing) {
    fakeBin();
    setenv("PATH", (scratch() + "bin").c_str(), 1);
    ASSERT_TRUE(start());
    openHelp();
    EXPECT_EQ(HelpProcess.load(), 0);
    EXPECT_EQ(HelpWatcherActive.load(), 0);
}

TEST_F(CommandTest, WebPageGoesToTheOpenerDetachedWithoutAZombie) {
    const std::string log = scratch() + "web.log";
    writeFileText(fakeBin() + "xdg-open",
                  "#!/bin/sh\necho \"$#|$1\" > '" + log + ".part'\nmv '" + log + ".part' '" + log + "'\n",
                  0755);
    ASSERT_TRUE(start());
    postEvent(Event{MenuEvent, MainWindowNumber, MenuOpenWeb, 0, {}});
    ASSERT_TRUE(runEventsUntil([&] { return std::filesystem::exists(log); }));
    EXPECT_EQ(readFileText(log), std::string("1|") + MakerWebAddress + "\n");
    // The opener is not our child: nothing is left to reap.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(CommandTest, ChooseFileUsesTheRequesterAndItsFolder) {
    const std::string file = scratch() + "chosen.bin";
    const std::string other = scratch() + "sub/other.bin";
    std::filesystem::create_directories(scratch() + "sub");
    writeFileText(file, "x");
    writeFileText(other, "y");
    ASSERT_TRUE(start());
    answerNextFileRequester(""); // cancelled: nothing changes
    chooseFile();
    EXPECT_EQ(controlText(ControlId::PathEntry), "");
    EXPECT_FALSE(controlEnabled(ControlId::VerifyButton));

    answerNextFileRequester(file);
    postEvent(Event{ControlEvent, MainWindowNumber, ControlId::BrowseButton, 0, {}});
    ASSERT_TRUE(runEventsUntil([&] { return controlText(ControlId::PathEntry) == file; }));
    EXPECT_TRUE(controlEnabled(ControlId::VerifyButton));
    EXPECT_TRUE(controlEnabled(ControlId::DeleteAllButton));
    EXPECT_FALSE(controlEnabled(ControlId::SaveButton));

    // Next time the requester opens in the chosen file's folder.
    answerNextFileRequester(other);
    postEvent(Event{MenuEvent, MainWindowNumber, MenuOpen, 0, {}});
    ASSERT_TRUE(runEventsUntil([&] { return controlText(ControlId::PathEntry) == other; }));
    EXPECT_EQ(lastRequesterFolder() + "/", scratch());
}

// A file URI with a host names a file on that machine: only no host, "localhost" or this machine's
// own name make a local file.
TEST_F(CommandTest, DroppedFilesOfAnotherHostAreLeftOut) {
    const std::string file = scratch() + "here.bin";
    writeFileText(file, "1");
    ASSERT_TRUE(start());
    struct Case {
        std::vector<std::string> uris;
        std::string names;
    };
    const std::vector<Case> cases = {
        {{"file://otherhost" + file}, ""},
        {{"file://localhost" + file}, file},
        {{"file://" + file}, file},
        {{"file://otherhost" + file, "file://LOCALHOST" + file}, file},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uris.front());
        clearEventQueue();
        dropUris(c.uris);
        Event event;
        ASSERT_TRUE(
            waitForEventWhereFor([](const Event& e) { return e.kind == DropEvent; }, DefaultWaitMs, &event));
        EXPECT_EQ(event.data, c.names);
    }
}

// Start-up sets numbers to the "C" locale, and the toolkit's initialisation must not undo it. The
// toolkit starts once per process, so the start runs in a fresh copy of this test program.
TEST_F(CommandTest, NumbersKeepTheDecimalPointInACommaLocale) {
    constexpr const char* CommaLocale = "de_DE.UTF-8";
    if (locale_t probe = newlocale(LC_ALL_MASK, CommaLocale, nullptr)) {
        freelocale(probe);
    } else {
        GTEST_SKIP() << CommaLocale << " is not installed";
    }
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old != nullptr ? old : "";
    setenv("LC_ALL", CommaLocale, 1);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (!start()) std::_Exit(3);
            const bool point = std::string(std::localeconv()->decimal_point) == ".";
            char formatted[16];
            std::snprintf(formatted, sizeof formatted, "%.1f", 2.5);
            const bool restSet = std::string(std::setlocale(LC_MESSAGES, nullptr)) == CommaLocale;
            TearDown(); // the copy ends here: its scratch folders go with it
            std::_Exit(point && std::string(formatted) == "2.5" && restSet ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    if (old != nullptr)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(LauncherTest, ParametersSplitAtBlanksWithQuotedParts) {
    EXPECT_EQ(splitParameters("a  b\tc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitParameters("\"/path with blanks/x.help\""),
              (std::vector<std::string>{"/path with blanks/x.help"}));
    EXPECT_EQ(splitParameters("one \"two three\" four"),
              (std::vector<std::string>{"one", "two three", "four"}));
    EXPECT_EQ(splitParameters("   "), std::vector<std::string>{});
}

TEST(LauncherTest, ProgramsAreFoundOnlyAsNonEmptyExecutableFiles) {
    char pattern[] = "/tmp/hw-launcher-XXXXXX";
    const std::string folder = std::string(mkdtemp(pattern)) + "/";
    writeFileText(folder + "empty", "", 0755);
    writeFileText(folder + "plain", "#!/bin/sh\n", 0644);
    writeFileText(folder + "tool", "#!/bin/sh\n", 0755);
    std::filesystem::create_directories(folder + "dir");
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    setenv("PATH", ("/nonexistent:" + folder).c_str(), 1);
    EXPECT_EQ(findProgram("tool"), folder + "tool");
    EXPECT_EQ(findProgram("empty"), "");
    EXPECT_EQ(findProgram("plain"), "");
    EXPECT_EQ(findProgram("dir"), "");
    EXPECT_EQ(findProgram(folder + "tool"), folder + "tool");
    EXPECT_EQ(findProgram("sub/tool"), ""); // a relative path must start with "./"
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(launchProgram("no-such-program-here", "", ""), 0);
    EXPECT_FALSE(launchDetached("no-such-program-here", "", ""));
    std::filesystem::remove_all(folder);
}

} // namespace
