// Copying, saving and clearing results on the real window: the CLIPBOARD read back by another X
// client, results files written through the real save requester, and the delete-all question.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/export_handlers.h"
#include "calc/job_results.h"
#include "calc/results_file.h"
#include "app/verification_handlers.h"
#include "calc/verdict.h"
#include "ui/result_rows.h"
#include "calc_gui_helpers.h"
#include "calc_oracle.h"
#include "settings/language_catalogue.h"

namespace calc_test {
namespace {

class CalcExportTest : public CalcTest {
  protected:
    std::string file;
    void SetUp() override {
        CalcTest::SetUp();
        file = writeRandomFile(scratch() + "data.iso", (1 << 20) + 99, 11);
    }
    // Start, tick, compute: the Results phase with three computed rows.
    void computeThreeRows() {
        ASSERT_TRUE(startWith(file, {0, 2, 8}));
        ASSERT_EQ(runJob().size(), 1u);
    }
    std::string line(int slot, bool computed = true) {
        return std::string(AlgorithmSlots[slot].resultLabel) + (computed ? oracleDigest(file, slot) : "") +
               "\n";
    }
};

TEST_F(CalcExportTest, CopyOnePutsTheRowsTextOnTheClipboard) {
    computeThreeRows();
    click(ControlId::copyButton(2));
    dispatchQueuedEvents();
    EXPECT_EQ(readClipboardWithXclip(), oracleDigest(file, 2));
    EXPECT_EQ(openMessageDialog().window, nullptr); // no message for a single row

    // A row unticked after the job keeps its enabled button and still copies its result.
    tick({0, 8});
    click(ControlId::copyButton(2));
    dispatchQueuedEvents();
    EXPECT_EQ(readClipboardWithXclip(), oracleDigest(file, 2));
}

TEST_F(CalcExportTest, CopyAllIsResultsTextFromMemoryThenTheShortMessage) {
    computeThreeRows();
    // A link planted at the old fixed temporary name must not be followed.
    const std::string planted = "/tmp/hwtemp";
    const std::string victim = scratch() + "victim";
    const bool planting = symlink(victim.c_str(), planted.c_str()) == 0;

    // Ticked after the job: an empty line; unticked after the job: left out.
    tick({2, 5, 8});
    DialogScript script({DialogAnswer::Yes});
    click(ControlId::CopyAllButton);
    ASSERT_TRUE(
        runEventsUntil([&] { return script.answered() == 1 && openMessageDialog().window == nullptr; }));
    EXPECT_EQ(script.texts(), std::vector<std::string>{"E:tReqCLIPBOARD"});
    EXPECT_EQ(lastDialog().height, 120);
    EXPECT_EQ(InfoPreset.height, 160);
    const std::string expected = line(2) + line(5, false) + line(8);
    EXPECT_EQ(resultsText(tickedSlots()), expected);
    EXPECT_EQ(readClipboardWithXclip(), expected);
    if (planting) {
        EXPECT_FALSE(std::filesystem::exists(victim));
        unlink(planted.c_str());
    }

    // The next information message is the usual height again.
    EXPECT_EQ(runJob().size(), 1u);
    EXPECT_EQ(lastDialog().height, 160);
}

TEST_F(CalcExportTest, CopyAllWithNothingTickedEmptiesTheClipboardAndStillTellsSo) {
    computeThreeRows();
    tick({});
    DialogScript script({DialogAnswer::Return});
    click(ControlId::CopyAllButton);
    ASSERT_TRUE(
        runEventsUntil([&] { return script.answered() == 1 && openMessageDialog().window == nullptr; }));
    EXPECT_EQ(script.texts(), std::vector<std::string>{"E:tReqCLIPBOARD"});
    EXPECT_EQ(readClipboardWithXclip(), "");
}

// Each row of the extension table, through the real save requester, which proposes "Checksum" in
// the folder of the checked file.
TEST_F(CalcExportTest, SaveWritesResultsTextUnderTheExtensionRule) {
    computeThreeRows();
    std::filesystem::create_directories(scratch() + "u");
    std::filesystem::create_directories(scratch() + "v1.0");
    const std::string text = line(0) + line(2) + line(8);
    const std::pair<std::string, std::string> rows[] = {
        {"report", "report.txt"},         {"report.TXT", "report.TXT"},   {"report.", "report..txt"},
        {"my results", "my results.txt"}, {"u/.hidden", "u/.hidden.txt"}, {"v1.0/sums", "v1.0/sums.txt"},
    };
    for (const auto& [chosen, written] : rows) {
        std::string proposed;
        const guint watcher = g_timeout_add(
            2,
            [](gpointer data) -> gboolean {
                GList* windows = gtk_window_list_toplevels();
                for (GList* item = windows; item != nullptr; item = item->next)
                    if (GTK_IS_FILE_CHOOSER_DIALOG(item->data) &&
                        gtk_widget_get_mapped(GTK_WIDGET(item->data))) {
                        gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(item->data));
                        if (name != nullptr && static_cast<std::string*>(data)->empty())
                            *static_cast<std::string*>(data) = name;
                        g_free(name);
                    }
                g_list_free(windows);
                return G_SOURCE_CONTINUE;
            },
            &proposed);
        answerNextFileRequester(scratch() + chosen);
        click(ControlId::SaveButton);
        const std::string target = scratch() + written;
        const bool saved = runEventsUntil([&] { return std::filesystem::exists(target); });
        g_source_remove(watcher);
        ASSERT_TRUE(saved) << chosen;
        dispatchQueuedEvents();
        EXPECT_EQ(readFileText(target), text) << chosen;
        EXPECT_EQ(proposed, "Checksum") << chosen;
        EXPECT_EQ(lastRequesterFolder() + "/", scratch()) << chosen;
        EXPECT_TRUE(gtk_widget_is_sensitive(gtk_bin_get_child(GTK_BIN(MainWindow)))) << chosen;
    }
    EXPECT_FALSE(std::filesystem::exists(scratch() + "report"));
    EXPECT_EQ(openMessageDialog().window, nullptr);
}

TEST_F(CalcExportTest, SavingTwiceReplacesTheFileWithoutAQuestionAndCancelWritesNothing) {
    computeThreeRows();
    const int dialogsBefore = dialogsAnswered();
    const std::string target = scratch() + "twice.txt";
    writeFileText(target, std::string(10000, 'x'));
    answerNextFileRequester(target);
    click(ControlId::SaveButton);
    ASSERT_TRUE(runEventsUntil([&] { return readFileText(target) == line(0) + line(2) + line(8); }));

    tick({8});
    answerNextFileRequester(target);
    click(ControlId::SaveButton);
    ASSERT_TRUE(runEventsUntil([&] { return readFileText(target) == line(8); }));
    EXPECT_EQ(openMessageDialog().window, nullptr);
    EXPECT_EQ(dialogsAnswered(), dialogsBefore); // no question before replacing

    tick({});
    answerNextFileRequester(scratch() + "empty");
    click(ControlId::SaveButton);
    ASSERT_TRUE(runEventsUntil([&] { return std::filesystem::exists(scratch() + "empty.txt"); }));
    EXPECT_EQ(std::filesystem::file_size(scratch() + "empty.txt"), 0u);

    answerNextFileRequester(""); // Cancel
    click(ControlId::SaveButton);
    dispatchQueuedEvents();
    EXPECT_FALSE(std::filesystem::exists(scratch() + "Checksum.txt"));
    EXPECT_FALSE(std::filesystem::exists(scratch() + "Checksum"));
}

TEST_F(CalcExportTest, ASaveThatCannotBeWrittenSaysSo) {
    computeThreeRows();
    // The language's own text; a language without the key: the shipped English text, never nothing.
    const std::string english =
        "The results could not be saved.\nCheck that the folder is writable and the disk is not full.";
    for (const bool languageHasText : {true, false}) {
        SCOPED_TRACE(languageHasText);
        if (!languageHasText) {
            LanguageTexts texts = allKeysWithPrefix("E:");
            texts.erase("tReqSAVEFAILED");
            writeLanguageFile(packFolder(), "en_GB", "Englishish", texts);
            clearCatalogue();
            ASSERT_TRUE(loadCatalogue(languagePackPath(), "en_GB"));
            ASSERT_EQ(catalogueText("tReqSAVEFAILED"), "");
        }
        // A full disk: the file opens, the bytes do not fit.
        const std::string full = scratch() + "full.txt";
        unlink(full.c_str());
        ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
        answerNextFileRequester(full);
        answerNextDialog(DialogAnswer::Yes);
        const int dialogsBefore = dialogsAnswered();
        click(ControlId::SaveButton);
        ASSERT_TRUE(runEventsUntil([&] { return dialogsAnswered() == dialogsBefore + 1; }));
        EXPECT_EQ(lastDialog().text, languageHasText ? "E:tReqSAVEFAILED" : english);
        EXPECT_EQ(lastDialog().role, "alert"); // a screen reader hears an error, not a note
        EXPECT_EQ(lastDialog().description, "E:tGenERROR");
        EXPECT_TRUE(controlEnabled(ControlId::SaveButton));
        EXPECT_TRUE(gtk_widget_is_sensitive(gtk_bin_get_child(GTK_BIN(MainWindow))));
    }
}

TEST_F(CalcExportTest, DeleteAllAsksFirstThenClearsResultsAndPathOnly) {
    ASSERT_TRUE(startWith(file, {0, 2, 8}));
    setControlText(ControlId::ExpectedEntry, "kept");
    ASSERT_EQ(runJob().size(), 1u);

    DialogScript no({DialogAnswer::No});
    click(ControlId::DeleteAllButton);
    ASSERT_TRUE(runEventsUntil([&] { return no.answered() == 1 && openMessageDialog().window == nullptr; }));
    dispatchQueuedEvents();
    EXPECT_EQ(no.texts(), std::vector<std::string>{"E:tReqDELETEALL"});
    EXPECT_EQ(controlText(ControlId::PathEntry), file);
    EXPECT_EQ(controlText(ControlId::resultEntry(2)), oracleDigest(file, 2));
    EXPECT_TRUE(controlEnabled(ControlId::VerifyButton));
    EXPECT_EQ(shownVerdict(0), Verdict::Mismatch);

    DialogScript yes({DialogAnswer::Yes});
    click(ControlId::DeleteAllButton);
    ASSERT_TRUE(runEventsUntil([&] { return yes.answered() == 1 && openMessageDialog().window == nullptr; }));
    dispatchQueuedEvents();
    EXPECT_EQ(lastDialog().rightButtonText, "E:tGenYES");
    EXPECT_EQ(controlText(ControlId::PathEntry), "");
    for (int slot = 0; slot < SlotCount; ++slot) {
        EXPECT_EQ(controlText(ControlId::resultEntry(slot)), "") << slot;
        EXPECT_FALSE(controlEnabled(ControlId::copyButton(slot))) << slot;
        EXPECT_TRUE(controlEnabled(ControlId::algorithmCheckBox(slot))) << slot;
    }
    for (int id : {ControlId::CopyAllButton, ControlId::SaveButton, ControlId::DeleteAllButton,
                   ControlId::VerifyButton})
        EXPECT_FALSE(controlEnabled(id)) << id;
    EXPECT_EQ(controlState(ControlId::algorithmCheckBox(8)), 1);
    EXPECT_EQ(controlText(ControlId::ExpectedEntry), "kept");
    // The verdict went with the result it was for.
    EXPECT_NE(shownTextColour(ControlId::resultEntry(0)), MismatchColour);
    EXPECT_EQ(shownVerdict(0), Verdict::None);
}

} // namespace
} // namespace calc_test
