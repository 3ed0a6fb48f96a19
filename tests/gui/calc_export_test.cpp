// Copying, saving and clearing results on the real window: the CLIPBOARD read back by another X
// client, results files written through the real save requester, and the delete-all question.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <filesystem>

#include "app/export_handlers.h"
#include "calc/job_results.h"
#include "calc/results_file.h"
#include "files/safe_file.h"
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
    // The labels that saved files and copied text carry, written out here: a changed label must fail.
    static constexpr const char* Labels[] = {"CRC32: ",    "MD5: ",      "SHA1: ",     "SHA2-224: ",
                                             "SHA2-256: ", "SHA2-384: ", "SHA2-512: ", "SHA3-224: ",
                                             "SHA3-256: ", "SHA3-384: ", "SHA3-512: "};
    std::string line(int slot, bool computed = true) {
        return std::string(Labels[slot]) + (computed ? oracleDigest(file, slot) : "") + "\n";
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

// Replacing a file is asked about first, by the program, under the name the save writes, while the
// requester is still open (the toolkit asks nothing: its question named links, not files, and defaulted
// to Replace). Only Yes replaces the file, which keeps its mode; No and Return keep the requester open
// (cancelled here) and write nothing.
TEST_F(CalcExportTest, SavingOverAFileAsksFirstAboutTheNameItWrites) {
    computeThreeRows();
    const std::string results = line(0) + line(2) + line(8);
    const std::string old = "old contents\n";
    const struct {
        const char* name;
        const char* chosen;
        const char* written;
        const char* existing; // the file there before
        bool asks;
        DialogAnswer answer;
    } cases[] = {
        {"the chosen file exists, Yes", "sums.txt", "sums.txt", "sums.txt", true, DialogAnswer::Yes},
        {"the chosen file exists, No", "sums.txt", "sums.txt", "sums.txt", true, DialogAnswer::No},
        {"the chosen file exists, Return", "sums.txt", "sums.txt", "sums.txt", true, DialogAnswer::Return},
        {"its .txt exists, Yes", "notes", "notes.txt", "notes.txt", true, DialogAnswer::Yes},
        {"its .txt exists, No", "notes", "notes.txt", "notes.txt", true, DialogAnswer::No},
        {"only the name without .txt exists", "plain", "plain.txt", "plain", false, DialogAnswer::Yes},
        {"nothing exists", "fresh", "fresh.txt", nullptr, false, DialogAnswer::Yes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool replaced = c.answer == DialogAnswer::Yes;
        for (const char* name : {c.written, c.existing})
            if (name != nullptr) unlink((scratch() + name).c_str());
        if (c.existing != nullptr) writeFileText(scratch() + c.existing, old, 0640);
        const int toolkitBefore = toolkitReplaceQuestions();
        answerNextFileRequester(scratch() + c.chosen);
        DialogScript script(c.asks ? std::vector<DialogAnswer>{c.answer} : std::vector<DialogAnswer>{});
        // The requester stays open after No: it is cancelled then.
        script.beforeAnswer = [&](std::size_t) {
            if (!replaced) answerNextFileRequester("");
        };
        click(ControlId::SaveButton);
        dispatchQueuedEvents();
        EXPECT_EQ(toolkitReplaceQuestions(), toolkitBefore);
        EXPECT_EQ(script.texts(), c.asks ? std::vector<std::string>{std::string("E:tReqOVERWRITE ") + c.written}
                                         : std::vector<std::string>{});
        EXPECT_EQ(readFileText(scratch() + c.written), c.existing == nullptr || replaced ? results : old);
        if (c.existing != nullptr && std::string(c.existing) != c.written) {
            EXPECT_EQ(readFileText(scratch() + c.existing), old);
        }
        struct stat status {};
        ASSERT_EQ(stat((scratch() + c.written).c_str(), &status), 0);
        if (c.existing != nullptr && std::string(c.existing) == c.written) {
            EXPECT_EQ(status.st_mode & 07777, 0640u); // the old file's mode, replaced or not
        }
        EXPECT_EQ(openMessageDialog().window, nullptr);
    }
    // Nothing but the files themselves: no temporary file is left beside them.
    for (const auto& entry : std::filesystem::directory_iterator(scratch()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

// The name field can still change after the requester's check, as its completion does when the folder
// loads late: the check saw a new file, the save gets an existing one, and the program asks about it.
TEST_F(CalcExportTest, ANameChangedAfterTheRequestersCheckIsAskedAbout) {
    computeThreeRows();
    const std::string old = "old contents\n";
    writeFileText(scratch() + "sums.txt", old);
    answerNextFileRequester(scratch() + "fresh.txt", [] {
        GList* windows = gtk_window_list_toplevels();
        for (GList* item = windows; item != nullptr; item = item->next)
            if (GTK_IS_FILE_CHOOSER_DIALOG(item->data))
                g_signal_connect(item->data, "response", G_CALLBACK(+[](GtkFileChooser* chooser, int, gpointer) {
                                     gtk_file_chooser_set_current_name(chooser, "sums.txt");
                                 }), nullptr);
        g_list_free(windows);
    });
    DialogScript script({DialogAnswer::No});
    script.beforeAnswer = [](std::size_t) { answerNextFileRequester(""); }; // No returns to the requester
    click(ControlId::SaveButton);
    dispatchQueuedEvents();
    EXPECT_EQ(script.texts(), std::vector<std::string>{"E:tReqOVERWRITE sums.txt"});
    EXPECT_EQ(readFileText(scratch() + "sums.txt"), old);
    EXPECT_FALSE(std::filesystem::exists(scratch() + "fresh.txt"));
}

// No is never taken for Yes: after No to "sums.txt" the user takes another name, which the completion
// turns back into "sums.txt" after the check; the refused file is asked about again, and No keeps it.
TEST_F(CalcExportTest, NoThenANameThatTurnsIntoTheRefusedFileStillAsks) {
    computeThreeRows();
    const std::string old = "old contents\n";
    writeFileText(scratch() + "sums.txt", old);
    answerNextFileRequester(scratch() + "sums.txt");
    DialogScript script({DialogAnswer::No, DialogAnswer::No});
    script.beforeAnswer = [](std::size_t index) {
        if (index == 1) {
            answerNextFileRequester(""); // the second No returns to a new requester: cancel it
            return;
        }
        // Once the first No has closed the question, type "fresh.txt" in the requester still open,
        // which its completion turns into "sums.txt" after the check, and take it.
        g_timeout_add(5, [](gpointer) -> gboolean {
            if (openMessageDialog().window != nullptr) return G_SOURCE_CONTINUE;
            GList* windows = gtk_window_list_toplevels();
            GtkWidget* chooser = nullptr;
            for (GList* item = windows; item != nullptr; item = item->next)
                if (GTK_IS_FILE_CHOOSER_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data)))
                    chooser = GTK_WIDGET(item->data);
            g_list_free(windows);
            if (chooser == nullptr) return G_SOURCE_CONTINUE;
            gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "fresh.txt");
            g_signal_connect(chooser, "response", G_CALLBACK(+[](GtkFileChooser* c, int, gpointer) {
                                 gtk_file_chooser_set_current_name(c, "sums.txt");
                             }), nullptr);
            gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
            return G_SOURCE_REMOVE;
        }, nullptr);
    };
    click(ControlId::SaveButton);
    dispatchQueuedEvents();
    EXPECT_EQ(script.texts(), (std::vector<std::string>{"E:tReqOVERWRITE sums.txt", "E:tReqOVERWRITE sums.txt"}));
    EXPECT_EQ(readFileText(scratch() + "sums.txt"), old);
    EXPECT_FALSE(std::filesystem::exists(scratch() + "fresh.txt"));
}

// A link another user placed in a shared folder is refused with a message naming it, and the requester
// stays open for another name; a link the rule follows is asked about under the file it names, which Yes
// replaces. Needs root to give a link to another user.
TEST_F(CalcExportTest, APlantedLinkIsRefusedAndAFollowedOneNamesItsFile) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give links to other users";
    englishTexts["tReqSAVELINK"] = "E:tReqSAVELINK %s";
    computeThreeRows();
    const std::string shared = scratch() + "shared", home = scratch() + "home";
    std::filesystem::create_directories(shared);
    std::filesystem::create_directories(home);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const std::string profile = home + "/.profile", old = "old contents\n";
    const struct {
        const char* name;
        uid_t owner;
        bool followed;
        std::string seen;
    } cases[] = {
        {"planted", 65534, false, "E:tReqSAVELINK checksums.txt"},
        {"own", 0, true, "E:tReqOVERWRITE " + profile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFileText(profile, old);
        const std::string link = shared + "/checksums.txt";
        unlink(link.c_str());
        ASSERT_EQ(symlink(profile.c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), c.owner, c.owner), 0);
        answerNextFileRequester(link);
        DialogScript script({DialogAnswer::Yes});
        script.beforeAnswer = [&](std::size_t) {
            if (!c.followed) answerNextFileRequester(""); // the requester stays open for another name
        };
        click(ControlId::SaveButton);
        dispatchQueuedEvents();
        EXPECT_EQ(script.texts(), std::vector<std::string>{c.seen});
        EXPECT_EQ(readFileText(profile), c.followed ? line(0) + line(2) + line(8) : old);
        struct stat status {};
        ASSERT_EQ(lstat(link.c_str(), &status), 0);
        EXPECT_TRUE(S_ISLNK(status.st_mode));
    }
}

// A disk of its own for a test: a small tmpfs mounted over a folder, which needs root (CI runs as root).
struct SmallDisk {
    std::string folder;
    bool mounted = false;
    explicit SmallDisk(std::string where) : folder(std::move(where)) {
        std::filesystem::create_directories(folder);
        mounted = mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk() {
        if (mounted) umount2(folder.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool makeReadOnly() { return mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    // Writes until the disk is full.
    void fill() {
        std::FILE* filler = std::fopen((folder + "/filler").c_str(), "wb");
        const std::string block(4096, 'f');
        while (filler != nullptr && std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
               std::fflush(filler) == 0) {
        }
        if (filler != nullptr) std::fclose(filler);
    }
    [[nodiscard]] std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// A save that cannot be written says so and why, in an error message, and leaves the old file as it
// was, byte for byte, with nothing left beside it: on a full disk and in a read-only folder. A language
// without the message gets the shipped English.
TEST_F(CalcExportTest, ASaveThatCannotBeWrittenKeepsTheOldFileAndSaysWhy) {
    computeThreeRows();
    const std::string english =
        "The results could not be saved.\nCheck that the folder is writable and the disk is not full.";
    const std::string old = "21 bytes of old text\n";
    const struct {
        const char* name;
        bool readOnly;
        int error;
        bool languageHasText;
    } cases[] = {{"full", false, ENOSPC, true}, {"read-only", true, EROFS, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.languageHasText) {
            LanguageTexts texts = allKeysWithPrefix("E:");
            texts.erase("tReqSAVEFAILED");
            writeLanguageFile(packFolder(), "en_GB", "Englishish", texts);
            clearCatalogue();
            ASSERT_TRUE(loadCatalogue(languagePackPath(), "en_GB"));
        }
        SmallDisk disk(scratch() + c.name);
        if (!disk.mounted) GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
        const std::string target = disk.folder + "/sums.txt";
        writeFileText(target, old);
        if (c.readOnly) {
            ASSERT_TRUE(disk.makeReadOnly());
        } else {
            disk.fill();
        }
        const std::vector<std::string> before = disk.entries();
        answerNextFileRequester(target);
        DialogScript script({DialogAnswer::Yes, DialogAnswer::Yes}); // replace it; the error message
        click(ControlId::SaveButton);
        dispatchQueuedEvents();
        ASSERT_EQ(script.texts().size(), 2u);
        EXPECT_EQ(script.texts()[0], "E:tReqOVERWRITE sums.txt");
        EXPECT_EQ(lastDialog().text,
                  (c.languageHasText ? std::string("E:tReqSAVEFAILED") : english) + "\n" + std::strerror(c.error));
        EXPECT_EQ(lastDialog().role, "alert"); // a screen reader hears an error, not a note
        EXPECT_EQ(lastDialog().description, "E:tGenERROR");
        EXPECT_EQ(lastDialog().iconName, "E:tGenERROR");
        EXPECT_EQ(readFileText(target), old);
        EXPECT_EQ(disk.entries(), before);
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
