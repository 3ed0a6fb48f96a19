// The calculation job on the real window: phases, results against an independent implementation,
// cancelling, pausing, quitting and switching the language while it runs.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "calc_gui_helpers.h"
#include "calc_oracle.h"

namespace calc_test {
namespace {

constexpr std::size_t FewMiB = 3 * (1 << 20) + 1234;  // three full blocks and a tail: the gate runs in every slot

class CalcJobTest : public CalcTest {
protected:
    std::string file;
    void SetUp() override {
        CalcTest::SetUp();
        file = writeRandomFile(scratch() + "sample data.bin", FewMiB, 7);
    }
    static double progressFraction() {
        return gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(controlWidget(ControlId::ProgressBar)));
    }
    static bool menuEnabled(int item) { return gtk_widget_get_sensitive(menuItemWidget(item)); }
};

TEST_F(CalcJobTest, NothingTickedEndsAtOnceAndReportsZero) {
    ASSERT_TRUE(startWith(file, {}));
    setControlText(ControlId::resultEntry(3), "left from before");
    const std::vector<std::string> messages = runJob();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], endMessage("tReqFINISHED", 0));
    for (int slot = 0; slot < SlotCount; ++slot) {
        EXPECT_EQ(controlText(ControlId::resultEntry(slot)), "") << slot;
        EXPECT_FALSE(controlEnabled(ControlId::copyButton(slot))) << slot;
    }
    EXPECT_EQ(controlState(ControlId::ProgressBar), 0);
    EXPECT_EQ(progressFraction(), 0.0);
}

TEST_F(CalcJobTest, FileRemovedAfterChoosingFailsEveryTickedRow) {
    ASSERT_TRUE(startWith(file, {0, 4, 10}));
    ASSERT_EQ(controlText(ControlId::PathEntry), file);
    std::remove(file.c_str());
    const std::vector<std::string> messages = runJob();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], endMessage("tReqFINISHED", 3));
    EXPECT_EQ(ErrorCount.load(), 3);
    for (int slot = 0; slot < SlotCount; ++slot) {
        EXPECT_EQ(controlText(ControlId::resultEntry(slot)), "") << slot;
        // Copy buttons follow the ticks, not the results.
        EXPECT_EQ(controlEnabled(ControlId::copyButton(slot)), slot == 0 || slot == 4 || slot == 10) << slot;
    }
}

TEST_F(CalcJobTest, AllElevenMatchAnIndependentImplementationAndThePhasesHold) {
    std::set<int> all;
    for (int slot = 0; slot < SlotCount; ++slot) all.insert(slot);
    ASSERT_TRUE(startWith(file, all));

    // Held inside the first algorithm: the Calculating phase.
    DialogScript script({DialogAnswer::Return});
    ASSERT_TRUE(startHeldAt(0));
    EXPECT_EQ(controlText(ControlId::VerifyButton), "E:tMainCANCEL");
    EXPECT_TRUE(controlEnabled(ControlId::VerifyButton));
    EXPECT_EQ(controlState(ControlId::ProgressBar), 1);
    EXPECT_NEAR(progressFraction(), 1.0 / 11, 1e-9);
    for (int id : {ControlId::PathEntry, ControlId::BrowseButton, ControlId::CopyAllButton, ControlId::SaveButton,
                   ControlId::DeleteAllButton, ControlId::ExpectedEntry, ControlId::ExpectedBrowseButton})
        EXPECT_FALSE(controlEnabled(id)) << id;
    for (int slot = 0; slot < SlotCount; ++slot) {
        EXPECT_FALSE(controlEnabled(ControlId::algorithmCheckBox(slot))) << slot;
        EXPECT_FALSE(controlEnabled(ControlId::copyButton(slot))) << slot;
        EXPECT_TRUE(controlEnabled(ControlId::resultEntry(slot))) << slot;
    }
    for (int item = MenuOpen; item <= MenuOpenWeb; ++item) EXPECT_FALSE(menuEnabled(item)) << item;
    for (int item = MenuLanguageBase; item < menuItemIdCount(); ++item) EXPECT_TRUE(menuEnabled(item)) << item;

    JobHold::release();
    ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }, 60000));
    ASSERT_EQ(script.texts().size(), 1u);
    EXPECT_EQ(script.texts()[0], endMessage("tReqFINISHED", 0));
    for (int slot = 0; slot < SlotCount; ++slot) {
        EXPECT_EQ(controlText(ControlId::resultEntry(slot)), oracleDigest(file, slot)) << slot;
        EXPECT_TRUE(controlEnabled(ControlId::copyButton(slot))) << slot;
        EXPECT_TRUE(controlEnabled(ControlId::algorithmCheckBox(slot))) << slot;
    }
    // The Results phase.
    EXPECT_EQ(controlText(ControlId::VerifyButton), "E:tMainVERIFY");
    EXPECT_EQ(controlState(ControlId::ProgressBar), 0);
    for (int id : {ControlId::PathEntry, ControlId::BrowseButton, ControlId::CopyAllButton, ControlId::SaveButton,
                   ControlId::DeleteAllButton, ControlId::ExpectedEntry, ControlId::ExpectedBrowseButton,
                   ControlId::VerifyButton})
        EXPECT_TRUE(controlEnabled(id)) << id;
    for (int item : {MenuOpen, MenuQuit, MenuAbout, MenuOpenWeb}) EXPECT_TRUE(menuEnabled(item)) << item;
    EXPECT_FALSE(menuEnabled(MenuOpenHelp));
}

TEST_F(CalcJobTest, CancelConfirmedDuringTheThirdOfFiveKeepsItsResultAndSkipsTheRest) {
    ASSERT_TRUE(startWith(file, {0, 1, 2, 3, 4}));
    DialogScript script({DialogAnswer::Yes, DialogAnswer::Yes});
    ASSERT_TRUE(startHeldAt(2));
    EXPECT_EQ(controlState(ControlId::ProgressBar), 3);

    click(ControlId::VerifyButton);  // now the Cancel button
    ASSERT_TRUE(runEventsUntil([&] { return script.answered() == 1 && openMessageDialog().window == nullptr; }));
    EXPECT_EQ(script.texts()[0], "E:tReqCANCEL");
    EXPECT_EQ(CancelRequested.load(), 1);
    JobHold::release();

    // The job ends with the bar still at 3 of 5; only the end handler sets it back.
    ASSERT_TRUE(pumpUntil([] { return !jobThreadActive(); }, 60000));
    EXPECT_EQ(controlState(ControlId::ProgressBar), 3);
    EXPECT_NEAR(progressFraction(), 0.6, 1e-9);
    ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }));
    ASSERT_EQ(script.texts().size(), 2u);
    EXPECT_EQ(script.texts()[1], endMessage("tReqCANCELLED", 0));
    for (int slot : {0, 1, 2}) EXPECT_EQ(controlText(ControlId::resultEntry(slot)), oracleDigest(file, slot)) << slot;
    for (int slot : {3, 4}) EXPECT_EQ(controlText(ControlId::resultEntry(slot)), "") << slot;
    EXPECT_EQ(JobCancelled.load(), 0);
    EXPECT_EQ(CancelRequested.load(), 0);
    EXPECT_EQ(controlState(ControlId::ProgressBar), 0);

    // The next job is not cancelled by the last one's answer.
    EXPECT_EQ(runJob(), std::vector<std::string>{endMessage("tReqFINISHED", 0)});
    EXPECT_EQ(controlText(ControlId::resultEntry(4)), oracleDigest(file, 4));
}

TEST_F(CalcJobTest, CancelAnsweredNoGivesTheSameResultsAsNoQuestion) {
    ASSERT_TRUE(startWith(file, {0, 1, 2, 3, 4}));
    DialogScript script({DialogAnswer::No, DialogAnswer::Yes});
    ASSERT_TRUE(startHeldAt(2));
    click(ControlId::VerifyButton);
    ASSERT_TRUE(runEventsUntil([&] { return script.answered() == 1 && openMessageDialog().window == nullptr; }));
    EXPECT_EQ(CancelRequested.load(), 0);
    JobHold::release();
    ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }, 60000));
    ASSERT_EQ(script.texts().size(), 2u);
    EXPECT_EQ(script.texts()[1], endMessage("tReqFINISHED", 0));
    for (int slot = 0; slot <= 4; ++slot)
        EXPECT_EQ(controlText(ControlId::resultEntry(slot)), oracleDigest(file, slot)) << slot;
}

TEST_F(CalcJobTest, PausedJobUsesNoCpuAndGoesOnWhereItStopped) {
    // Zeros cost as much to hash as any bytes; a hole keeps the file quick to make.
    const std::string big = scratch() + "big.bin";
    {
        std::ofstream(big, std::ios::binary).close();
        ASSERT_EQ(truncate(big.c_str(), 96 << 20), 0);
    }
    ASSERT_TRUE(startWith(big, {10}));
    double pausedCpu = -1;
    int progressWhilePaused = -1;
    DialogScript script({DialogAnswer::No, DialogAnswer::Yes});
    script.beforeAnswer = [&](std::size_t index) {
        if (index != 0) return;
        // The question is open: let the job run into the pause, then watch it for a while.
        JobHold::release();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (jobThreadsHeldAtGate() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GT(jobThreadsHeldAtGate(), 0);
        const double before = threadCpuSeconds(JobThread);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        pausedCpu = threadCpuSeconds(JobThread) - before;
        progressWhilePaused = controlState(ControlId::ProgressBar);
    };
    ASSERT_TRUE(startHeldAt(10));
    click(ControlId::VerifyButton);
    ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }, 120000));
    std::printf("job thread CPU time during a 300 ms pause: %.6f s\n", pausedCpu);
    RecordProperty("paused_cpu_us", static_cast<int>(pausedCpu * 1e6));
    EXPECT_GE(pausedCpu, 0.0);
    EXPECT_LT(pausedCpu, 0.005);
    EXPECT_EQ(progressWhilePaused, 1);
    ASSERT_EQ(script.texts().size(), 2u);
    EXPECT_EQ(script.texts()[1], endMessage("tReqFINISHED", 0));
    EXPECT_EQ(controlText(ControlId::resultEntry(10)), oracleDigest(big, 10));
}

TEST_F(CalcJobTest, ClosingDuringAJobAnsweredNoLetsItFinishWithItsMessage) {
    ASSERT_TRUE(startWith(file, {1, 6}));
    DialogScript script({DialogAnswer::No, DialogAnswer::Yes});
    ASSERT_TRUE(startHeldAt(1));
    gtk_window_close(GTK_WINDOW(MainWindow));  // the close box
    ASSERT_TRUE(runEventsUntil([&] { return script.answered() == 1 && openMessageDialog().window == nullptr; }));
    EXPECT_EQ(script.texts()[0], "E:tReqINPROGRESSQUIT");
    JobHold::release();
    ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }, 60000));
    EXPECT_EQ(QuitRequested.load(), 0);
    ASSERT_EQ(script.texts().size(), 2u);
    EXPECT_EQ(script.texts()[1], endMessage("tReqFINISHED", 0));
    EXPECT_EQ(controlText(ControlId::resultEntry(1)), oracleDigest(file, 1));
    EXPECT_EQ(controlText(ControlId::resultEntry(6)), oracleDigest(file, 6));
}

TEST_F(CalcJobTest, ClosingDuringAJobAnsweredYesQuitsAfterAboutAHundredMsWithSettingsSaved) {
    ASSERT_TRUE(startWith(file, {0, 2, 10}));
    std::chrono::steady_clock::time_point answeredAt;
    DialogScript script({DialogAnswer::Yes});
    script.beforeAnswer = [&](std::size_t) { answeredAt = std::chrono::steady_clock::now(); };
    ASSERT_TRUE(startHeldAt(2));
    gtk_window_close(GTK_WINDOW(MainWindow));
    ASSERT_TRUE(runEventsUntil([] { return QuitRequested.load() == 1; }));
    const auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - answeredAt);
    std::printf("quit %lld ms after the answer\n", static_cast<long long>(delay.count()));
    EXPECT_GE(delay.count(), 100);
    EXPECT_LT(delay.count(), 2000);
    EXPECT_EQ(script.texts(), std::vector<std::string>{"E:tReqINPROGRESSQUIT"});
    EXPECT_EQ(CancelRequested.load(), 1);

    shutDownShell();
    const std::string settings = readFileText(configFolder() + "Hashwarden.prefs");
    EXPECT_NE(settings.find("CRC32 = 1"), std::string::npos) << settings;
    EXPECT_NE(settings.find("MD5 = 0"), std::string::npos) << settings;
    EXPECT_NE(settings.find("SHA1 = 1"), std::string::npos) << settings;
    EXPECT_NE(settings.find("SHA3512 = 1"), std::string::npos) << settings;

    // The job, let go after the window is gone, ends its algorithm, skips the rest and shows nothing.
    JobHold::release();
    ASSERT_TRUE(pumpUntil([] { return !jobThreadActive(); }, 60000));
    EXPECT_EQ(openMessageDialog().window, nullptr);
    EXPECT_EQ(script.answered(), 1u);
}

TEST_F(CalcJobTest, LanguageSwitchDuringAJobRecaptionsCancelAndItStillCancels) {
    writeTestLanguages();
    ASSERT_TRUE(startWith(file, {4, 5}));
    int otherish = -1;
    for (int item = MenuLanguageBase; item < menuItemIdCount(); ++item)
        if (menuItemText(item) == "Otherish") otherish = item;
    ASSERT_GE(otherish, MenuLanguageBase);

    DialogScript script({DialogAnswer::Yes, DialogAnswer::Yes});
    ASSERT_TRUE(startHeldAt(4));
    gtk_menu_item_activate(GTK_MENU_ITEM(menuItemWidget(otherish)));
    ASSERT_TRUE(runEventsUntil([] { return controlText(ControlId::VerifyButton) == "O:tMainCANCEL"; }));
    EXPECT_EQ(JobRunning.load(), 1);

    click(ControlId::VerifyButton);
    ASSERT_TRUE(runEventsUntil([&] { return script.answered() == 1 && openMessageDialog().window == nullptr; }));
    EXPECT_EQ(script.texts()[0], "O:tReqCANCEL");
    JobHold::release();
    ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }, 60000));
    ASSERT_EQ(script.texts().size(), 2u);
    EXPECT_EQ(script.texts()[1], "O:tReqCANCELLED\n\nO:tInfoERRORCALCULATE  0");
    EXPECT_EQ(controlText(ControlId::resultEntry(4)), oracleDigest(file, 4));
    EXPECT_EQ(controlText(ControlId::resultEntry(5)), "");
    EXPECT_EQ(controlText(ControlId::VerifyButton), "O:tMainVERIFY");
}

TEST_F(CalcJobTest, EndEventQueuedBehindACancelClickIsNotLostToTheQuestion) {
    ASSERT_TRUE(startWith(file, {3}));
    ASSERT_TRUE(startHeldAt(3));
    // The Cancel click arrives, then the job ends before the click is handled.
    click(ControlId::VerifyButton);
    JobHold::release();
    ASSERT_TRUE(pumpUntil([] { return !jobThreadActive(); }, 60000));
    ASSERT_GE(queuedEventCount(), 2);
    EXPECT_EQ(JobRunning.load(), 1);

    DialogScript script({DialogAnswer::No, DialogAnswer::Yes});
    ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }));
    ASSERT_EQ(script.texts().size(), 2u);
    EXPECT_EQ(script.texts()[0], "E:tReqCANCEL");
    EXPECT_EQ(script.texts()[1], endMessage("tReqFINISHED", 0));
    EXPECT_EQ(controlText(ControlId::VerifyButton), "E:tMainVERIFY");
    EXPECT_EQ(controlText(ControlId::resultEntry(3)), oracleDigest(file, 3));
}

// Without a job thread the window must not stay in the Running state: the job ends at once with
// every ticked algorithm counted as failed. The thread's stack cannot be mapped under a tight
// address-space limit.
TEST_F(CalcJobTest, ThreadThatCannotBeCreatedEndsTheJobAtOnceAsAllFailed) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit cannot be combined with the sanitizer's shadow memory";
#endif
    ASSERT_TRUE(startWith(file, {0, 5, 9}));
    long pages = 0;
    {
        std::ifstream statm("/proc/self/statm");
        statm >> pages;
    }
    ASSERT_GT(pages, 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (512 << 10);
    DialogScript script({DialogAnswer::Yes});
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    startCalculation();
    ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
    if (jobThreadActive()) {
        // The C library reuses the stacks of ended threads: only a process without an earlier job
        // (as CTest runs each test) has to map a new one.
        ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }, 60000));
        GTEST_SKIP() << "a cached thread stack let the job start anyway";
    }
    EXPECT_EQ(JobRunning.load(), 1);
    ASSERT_TRUE(runEventsUntil([] { return JobRunning.load() == 0; }));
    EXPECT_EQ(script.texts(), std::vector<std::string>{endMessage("tReqFINISHED", 3)});
    EXPECT_EQ(controlText(ControlId::VerifyButton), "E:tMainVERIFY");
    EXPECT_TRUE(controlEnabled(ControlId::copyButton(5)));
    EXPECT_TRUE(controlEnabled(ControlId::BrowseButton));

    // And the next job, with memory to spare, runs normally.
    EXPECT_EQ(runJob(), std::vector<std::string>{endMessage("tReqFINISHED", 0)});
    EXPECT_EQ(controlText(ControlId::resultEntry(9)), oracleDigest(file, 9));
}

}  // namespace
}  // namespace calc_test
