// Verification on the real window: the exact compare that colours each row, and expected checksums
// loaded from files through the real open requester.
#include "app/verification_handlers.h"
#include "calc/verdict.h"
#include "ui/result_rows.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

#include "app/help_command.h"
#include "app/shell_commands.h"
#include "app/startup.h"
#include "ui/chosen_file.h"
#include "ui/entry_action.h"
#include "ui/fonts_images.h"
#include "ui/program_identity.h"
#include "calc_gui_helpers.h"
#include "calc_oracle.h"

namespace calc_test {
namespace {

class CalcVerificationTest : public CalcTest {
protected:
    std::string file;
    std::string sha256;
    void SetUp() override {
        CalcTest::SetUp();
        file = writeRandomFile(scratch() + "image.bin", 200000, 5);
        sha256 = oracleDigest(file, 4);
    }
    bool startTicking(const std::set<int>& ticked) { return startWith(file, ticked); }
    // A row that no compare has coloured shows the theme's colour, neither green nor red.
    static bool uncoloured(int slot) {
        const int shown = shownTextColour(ControlId::resultEntry(slot));
        return shown != MatchColour && shown != MismatchColour;
    }
    // Loads the first line of a file as the expected checksum. The files are written before the
    // window opens, so the chooser never sees its folder change under it.
    void loadExpectedFrom(const std::string& name) {
        answerNextFileRequester(scratch() + name);
        click(ControlId::ExpectedBrowseButton);
        EXPECT_TRUE(runEventsUntil([&] { return lastRequesterFolder() + "/" == scratch() && !controlText(ControlId::ExpectedEntry).empty(); }));
        dispatchQueuedEvents();
    }
};

TEST_F(CalcVerificationTest, OnlyTheMatchingRowTurnsGreen) {
    ASSERT_TRUE(startTicking({0, 1, 4}));
    gtk_entry_set_text(GTK_ENTRY(controlWidget(ControlId::ExpectedEntry)), sha256.c_str());  // typed in
    EXPECT_EQ(runJob(), std::vector<std::string>{endMessage("tReqFINISHED", 0)});
    EXPECT_EQ(shownTextColour(ControlId::resultEntry(4)), MatchColour);
    EXPECT_EQ(shownTextColour(ControlId::resultEntry(0)), MismatchColour);
    EXPECT_EQ(shownTextColour(ControlId::resultEntry(1)), MismatchColour);
    EXPECT_TRUE(uncoloured(2));  // not ticked, not compared
}

TEST_F(CalcVerificationTest, NearMissesAreAllRed) {
    ASSERT_TRUE(startTicking({4}));
    std::string upper = sha256;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(upper, sha256);
    for (const std::string& typed : {upper, sha256 + " ", " " + sha256, sha256.substr(0, 63)}) {
        setTextColour(ControlId::resultEntry(4), -1);
        setControlText(ControlId::ExpectedEntry, typed);
        runJob();
        EXPECT_EQ(controlText(ControlId::resultEntry(4)), sha256);
        EXPECT_EQ(shownTextColour(ControlId::resultEntry(4)), MismatchColour) << "'" << typed << "'";
    }
}

TEST_F(CalcVerificationTest, LinesLoadedFromFilesAreComparedWhole) {
    const struct {
        const char* name;
        std::string content;
        std::string line;
    } files[] = {
        {"list.sha256", sha256 + "  image.bin\n" + sha256 + "\n", sha256 + "  image.bin"},
        {"results.txt", "CRC32: " + oracleDigest(file, 0) + "\nSHA2-256: " + sha256 + "\n", "CRC32: " + oracleDigest(file, 0)},
        {"bom.txt", "\xEF\xBB\xBF" + sha256 + "\r\n", "\xEF\xBB\xBF" + sha256},
    };
    for (const auto& source : files) writeFileText(scratch() + source.name, source.content);
    writeFileText(scratch() + "plain.txt", sha256 + "\r\n");
    ASSERT_TRUE(startTicking({0, 4}));
    for (const auto& source : files) {
        setControlText(ControlId::ExpectedEntry, "");
        loadExpectedFrom(source.name);
        EXPECT_EQ(controlText(ControlId::ExpectedEntry), source.line) << source.name;
        runJob();
        EXPECT_EQ(shownTextColour(ControlId::resultEntry(0)), MismatchColour) << source.name;
        EXPECT_EQ(shownTextColour(ControlId::resultEntry(4)), MismatchColour) << source.name;
    }
    // The bare digest on a CRLF line matches.
    loadExpectedFrom("plain.txt");
    EXPECT_EQ(controlText(ControlId::ExpectedEntry), sha256);
    runJob();
    EXPECT_EQ(shownTextColour(ControlId::resultEntry(4)), MatchColour);
}

TEST_F(CalcVerificationTest, LoadingReplacesBadBytesAndIgnoresCancel) {
    writeFileText(scratch() + "binary.bin", std::string("ab\xFF\xFE" "cd\n", 7));
    ASSERT_TRUE(startTicking({4}));
    loadExpectedFrom("binary.bin");
    EXPECT_EQ(controlText(ControlId::ExpectedEntry), "ab\xEF\xBF\xBD\xEF\xBF\xBD" "cd");
    answerNextFileRequester("");
    click(ControlId::ExpectedBrowseButton);
    dispatchQueuedEvents();
    EXPECT_EQ(controlText(ControlId::ExpectedEntry), "ab\xEF\xBF\xBD\xEF\xBF\xBD" "cd");
}

// What a row says about its verdict besides its colour: the mark at the end of its entry, the
// mark's tooltip and the entry's accessible description.
struct RowVerdict {
    int colour;  // -1: neither green nor red
    int mark;
    std::string tooltip;
    std::string description;
    bool operator==(const RowVerdict&) const = default;
};
std::ostream& operator<<(std::ostream& out, const RowVerdict& row) {
    return out << "colour " << row.colour << ", mark " << row.mark << ", tooltip '" << row.tooltip
               << "', description '" << row.description << "'";
}
RowVerdict rowVerdict(int slot) {
    const int id = ControlId::resultEntry(slot);
    const int shown = shownTextColour(id);
    gchar* tooltip = gtk_entry_get_icon_tooltip_text(GTK_ENTRY(controlWidget(id)), GTK_ENTRY_ICON_SECONDARY);
    const char* description = atk_object_get_description(gtk_widget_get_accessible(controlWidget(id)));
    RowVerdict row{shown == MatchColour || shown == MismatchColour ? shown : -1, entryMark(id),
                   tooltip != nullptr ? tooltip : "", description != nullptr ? description : ""};
    g_free(tooltip);
    // The entry shows an image exactly when it carries a mark.
    const bool showsImage =
        gtk_entry_get_icon_storage_type(GTK_ENTRY(controlWidget(id)), GTK_ENTRY_ICON_SECONDARY) != GTK_IMAGE_EMPTY;
    EXPECT_EQ(showsImage, row.mark >= 0) << slot;
    return row;
}
const RowVerdict Matching{MatchColour, MatchMark, "E:tMainMATCH", "E:tMainMATCH"};
const RowVerdict Mismatching{MismatchColour, MismatchMark, "E:tMainMISMATCH", "E:tMainMISMATCH"};
const RowVerdict Uncompared{-1, -1, "", ""};
// A mismatch against a checksum of another length names the algorithms of that length.
RowVerdict mismatchingLengthOf(const std::string& algorithms, const std::string& prefix = "E:") {
    const std::string words = prefix + "tMainMISMATCH\n" + prefix + "tMainWHYLENGTH " + algorithms;
    return {MismatchColour, MismatchMark, words, words};
}
const RowVerdict CrcAgainstA256 = mismatchingLengthOf("SHA2-256 E:tMainOR SHA3-256");
// A mismatch against another checksum of the result's length names the unticked algorithm of that length.
RowVerdict mismatchingUnticked(const std::string& algorithm) {
    const std::string words = "E:tMainMISMATCH\nE:tMainWHYNOTTICKED " + algorithm;
    return {MismatchColour, MismatchMark, words, words};
}

// Each compared row carries its verdict in colour, mark and words; a row not compared carries none.
TEST_F(CalcVerificationTest, ComparedRowsCarryAMarkAndADescriptionUncomparedRowsNone) {
    ASSERT_TRUE(startTicking({0, 4}));
    const struct {
        const char* name;
        std::string expected;
        RowVerdict crc32, sha256, untickedRow;
    } cases[] = {
        {"SHA2-256 expected", sha256, CrcAgainstA256, Matching, Uncompared},
        {"nothing expected", "", Uncompared, Uncompared, Uncompared},
        {"a wrong checksum", std::string(64, '0'), CrcAgainstA256, mismatchingUnticked("SHA3-256"), Uncompared},
        {"the CRC32 expected", oracleDigest(file, 0), Matching, mismatchingLengthOf("CRC32"), Uncompared},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setControlText(ControlId::ExpectedEntry, c.expected);
        runJob();
        EXPECT_EQ(rowVerdict(0), c.crc32);
        EXPECT_EQ(rowVerdict(4), c.sha256);
        EXPECT_EQ(rowVerdict(1), c.untickedRow);
    }
}

// The sequence and its relatives: a row goes back to the theme's colour, without mark or
// words, whenever it no longer shows the result that was compared.
TEST_F(CalcVerificationTest, AVerdictGoesWithTheResultItWasFor) {
    const std::string other = writeRandomFile(scratch() + "other.bin", 5000, 6);
    enum class Then { ChooseOtherFileVerifyWithoutExpected, StartAnotherJob, DeleteAll };
    for (const Then then : {Then::ChooseOtherFileVerifyWithoutExpected, Then::StartAnotherJob, Then::DeleteAll}) {
        SCOPED_TRACE(static_cast<int>(then));
        ASSERT_TRUE(startTicking({0, 4}));
        // File A verified with its SHA2-256 pasted.
        gtk_entry_set_text(GTK_ENTRY(controlWidget(ControlId::ExpectedEntry)), sha256.c_str());
        runJob();
        ASSERT_EQ(rowVerdict(4), Matching);
        ASSERT_EQ(rowVerdict(0), CrcAgainstA256);
        switch (then) {
        case Then::ChooseOtherFileVerifyWithoutExpected:
            // File B chosen, the expected checksum emptied, Verify: B's digest is no match of anything.
            answerNextFileRequester(other);
            click(ControlId::BrowseButton);
            ASSERT_TRUE(runEventsUntil([&] { return controlText(ControlId::PathEntry) == other; }));
            gtk_entry_set_text(GTK_ENTRY(controlWidget(ControlId::ExpectedEntry)), "");
            runJob();
            EXPECT_EQ(controlText(ControlId::resultEntry(4)), oracleDigest(other, 4));
            break;
        case Then::StartAnotherJob: {
            // Held before its first row: the rows are cleared, and so are their verdicts.
            DialogScript script({DialogAnswer::Yes});
            ASSERT_TRUE(startHeldAt(0));
            EXPECT_EQ(controlText(ControlId::resultEntry(4)), "");
            EXPECT_EQ(rowVerdict(4), Uncompared);
            EXPECT_EQ(rowVerdict(0), Uncompared);
            JobHold::release();
            ASSERT_TRUE(runEventsUntil([] { return !jobRunning(); }, 60000));
            // The same expected checksum: compared again, the verdicts are back.
            EXPECT_EQ(rowVerdict(4), Matching);
            EXPECT_EQ(rowVerdict(0), CrcAgainstA256);
            JobHold::clear();
            stop();
            continue;
        }
        case Then::DeleteAll:
            answerNextDialog(DialogAnswer::Yes);
            click(ControlId::DeleteAllButton);
            ASSERT_TRUE(runEventsUntil([] { return controlText(ControlId::resultEntry(4)).empty(); }));
            break;
        }
        EXPECT_EQ(rowVerdict(4), Uncompared);
        EXPECT_EQ(rowVerdict(0), Uncompared);
        stop();
    }
}

// Rows belong to the file shown and verdicts to the text in the field: another file, even one that
// cannot be read, clears the rows as Clear all does (the same file again clears nothing); an edit of
// the expected checksum keeps the results and compares them with the new text at once.
TEST_F(CalcVerificationTest, RowsFollowTheFileAndVerdictsFollowTheExpectedText) {
    const std::string other = writeRandomFile(scratch() + "other.bin", 5000, 6);
    const std::string pipe = scratch() + "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    writeFileText(scratch() + "expected.txt", "SHA2-256: " + sha256 + "\n");
    const auto inAnotherForm = [](const std::string& why) {
        const std::string words = "E:tMainMISMATCH\n" + why;
        return RowVerdict{MismatchColour, FormMark, words, words};
    };
    enum class Change { SameFileAgain, OtherFileChosen, OtherFileDropped, PipeDropped, ExpectedTyped, ExpectedLoaded };
    const struct {
        Change change;
        bool rowsKept;
        RowVerdict sha256, crc32;
    } cases[] = {
        {Change::SameFileAgain, true, Matching, CrcAgainstA256},
        {Change::OtherFileChosen, false, Uncompared, Uncompared},
        {Change::OtherFileDropped, false, Uncompared, Uncompared},
        {Change::PipeDropped, false, Uncompared, Uncompared},
        {Change::ExpectedTyped, true, inAnotherForm("E:tMainWHYSPACES"), CrcAgainstA256},
        {Change::ExpectedLoaded, true, inAnotherForm("E:tMainWHYLABEL SHA2-256"), CrcAgainstA256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.change));
        ASSERT_TRUE(startTicking({0, 4}));
        setControlText(ControlId::ExpectedEntry, sha256);
        runJob();
        ASSERT_EQ(rowVerdict(4), Matching);
        switch (c.change) {
        case Change::SameFileAgain:
        case Change::OtherFileChosen:
            answerNextFileRequester(c.change == Change::SameFileAgain ? file : other);
            click(ControlId::BrowseButton);
            break;
        case Change::OtherFileDropped:
        case Change::PipeDropped:
            postEvent(Event{DropEvent, MainWindowNumber, ControlId::PathEntry, 0,
                            c.change == Change::PipeDropped ? pipe : other});
            break;
        case Change::ExpectedTyped: {
            gint at = static_cast<gint>(sha256.size());
            gtk_editable_insert_text(GTK_EDITABLE(controlWidget(ControlId::ExpectedEntry)), " ", 1, &at);
            break;
        }
        case Change::ExpectedLoaded:
            answerNextFileRequester(scratch() + "expected.txt");
            click(ControlId::ExpectedBrowseButton);
            break;
        }
        dispatchQueuedEvents();
        EXPECT_EQ(controlText(ControlId::resultEntry(4)), c.rowsKept ? sha256 : "");
        EXPECT_EQ(rowVerdict(4), c.sha256);
        EXPECT_EQ(rowVerdict(0), c.crc32);
        for (int id : {ControlId::copyButton(4), ControlId::CopyAllButton, ControlId::SaveButton})
            EXPECT_EQ(controlEnabled(id), c.rowsKept) << id;
        stop();
    }
}

// The words follow the language: a switch re-words the verdicts shown, and a pack without the two
// texts (made for an older version) gets the shipped English rather than a silent mark.
TEST_F(CalcVerificationTest, VerdictWordsFollowTheLanguageAndFallBackToEnglish) {
    writeTestLanguages();
    englishTexts.erase("tMainMATCH");
    englishTexts.erase("tMainMISMATCH");
    ASSERT_TRUE(startTicking({0, 4}));
    setControlText(ControlId::ExpectedEntry, sha256);
    runJob();
    EXPECT_EQ(rowVerdict(4), (RowVerdict{MatchColour, MatchMark, "Matches the expected checksum.",
                                         "Matches the expected checksum."}));
    const std::string english = "Does not match the expected checksum.\nE:tMainWHYLENGTH SHA2-256 E:tMainOR SHA3-256";
    EXPECT_EQ(rowVerdict(0), (RowVerdict{MismatchColour, MismatchMark, english, english}));
    int otherish = -1;
    for (int item = MenuLanguageBase; item < menuItemIdCount(); ++item)
        if (menuItemText(item) == "Otherish") otherish = item;
    ASSERT_GE(otherish, MenuLanguageBase);
    gtk_menu_item_activate(GTK_MENU_ITEM(menuItemWidget(otherish)));
    ASSERT_TRUE(runEventsUntil([] { return controlText(ControlId::VerifyButton) == "O:tMainVERIFY"; }));
    EXPECT_EQ(rowVerdict(4), (RowVerdict{MatchColour, MatchMark, "O:tMainMATCH", "O:tMainMATCH"}));
    EXPECT_EQ(rowVerdict(0), mismatchingLengthOf("SHA2-256 O:tMainOR SHA3-256", "O:"));
    EXPECT_EQ(rowVerdict(1), Uncompared);
}

TEST_F(CalcVerificationTest, EmptyExpectedChecksumColoursNothing) {
    ASSERT_TRUE(startTicking({0, 4, 10}));
    runJob();
    for (int slot = 0; slot < SlotCount; ++slot)
        EXPECT_EQ(rowVerdict(slot), Uncompared) << slot;
}

}  // namespace
}  // namespace calc_test

namespace calc_test {
namespace {

// The field's action, chosen the three ways a user can: a click on its icon, its item in the field's
// context menu, Ctrl+K in the field.
enum class ActionBy { Icon, ContextMenu, Shortcut };

void chooseFieldAction(ActionBy by) {
    GtkWidget* entry = controlWidget(ControlId::ExpectedEntry);
    switch (by) {
    case ActionBy::Icon: {
        GdkEvent* click = gdk_event_new(GDK_BUTTON_PRESS);
        g_signal_emit_by_name(entry, "icon-press", GTK_ENTRY_ICON_SECONDARY, click);
        gdk_event_free(click);
        break;
    }
    case ActionBy::ContextMenu: {
        GtkWidget* menu = g_object_ref_sink(gtk_menu_new());
        g_signal_emit_by_name(entry, "populate-popup", menu);
        GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
        ASSERT_NE(items, nullptr);
        GtkWidget* first = GTK_WIDGET(items->data);
        g_list_free(items);
        // The item says what it does and shows its shortcut.
        EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(first)), entryActionText(ControlId::ExpectedEntry).c_str());
        guint key = 0;
        GdkModifierType modifiers{};
        gtk_accel_label_get_accel(GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(first))), &key, &modifiers);
        EXPECT_EQ(key, EntryActionKey);
        EXPECT_EQ(modifiers, GDK_CONTROL_MASK);
        gtk_menu_item_activate(GTK_MENU_ITEM(first));
        gtk_widget_destroy(menu);
        g_object_unref(menu);
        break;
    }
    case ActionBy::Shortcut: {
        gtk_widget_grab_focus(entry);
        GdkEvent* press = gdk_event_new(GDK_KEY_PRESS);
        press->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(entry)));
        press->key.keyval = GDK_KEY_k;
        press->key.state = GDK_CONTROL_MASK;
        EXPECT_TRUE(gtk_widget_event(entry, press));
        gdk_event_free(press);
        break;
    }
    }
    dispatchQueuedEvents();
}

class CalcChecksumListTest : public CalcTest {
protected:
    std::string file;
    std::string sha256;
    std::string sha3;
    void SetUp() override {
        CalcTest::SetUp();
        file = writeRandomFile(scratch() + "image.bin", 200000, 5);
        sha256 = oracleDigest(file, 4);
        sha3 = oracleDigest(file, 8);
    }
    // A text put into the field as typing or pasting would: the toolkit raises its change.
    static void typeExpected(const std::string& text) {
        gtk_entry_set_text(GTK_ENTRY(controlWidget(ControlId::ExpectedEntry)), text.c_str());
        dispatchQueuedEvents();
    }
    void loadList(const std::string& name) {
        answerNextFileRequester(scratch() + name);
        click(ControlId::ExpectedBrowseButton);
        EXPECT_TRUE(runEventsUntil([&] { return lastRequesterFolder() + "/" == scratch(); }));
        dispatchQueuedEvents();
    }
    static std::string field() { return controlText(ControlId::ExpectedEntry); }
    static RowVerdict mismatch(int mark, const std::string& why) {
        const std::string words = "E:tMainMISMATCH" + why;
        return {MismatchColour, mark, words, words};
    }
};

// After a job the rows follow every text put into the field, without another job: the file is gone.
TEST_F(CalcChecksumListTest, TheRowsAreComparedAgainWheneverTheTextChanges) {
    ASSERT_TRUE(startWith(file, {4, 8}));
    runJob();
    ASSERT_EQ(unlink(file.c_str()), 0);
    std::string upper = sha256;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const struct {
        const char* name;
        std::string text;
        RowVerdict sha2, sha3Row;
    } cases[] = {
        {"the checksum pasted", sha256, Matching, Mismatching},
        {"a wrong one", std::string(64, '0'), Mismatching, Mismatching},
        {"the field emptied", "", Uncompared, Uncompared},
        {"in capitals", upper, mismatch(FormMark, "\nE:tMainWHYCASE"), Mismatching},
        {"SHA3-256's", sha3, Mismatching, Matching},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        typeExpected(c.text);
        EXPECT_FALSE(jobRunning());
        EXPECT_EQ(rowVerdict(4), c.sha2);
        EXPECT_EQ(rowVerdict(8), c.sha3Row);
    }
}

// A text that lands in the field while the job runs (a paste just after Verify) is the one compared at
// the job's end: no verdict describes an earlier text.
TEST_F(CalcChecksumListTest, TheJobsEndComparesTheFieldAsItIsThen) {
    ASSERT_TRUE(startWith(file, {4}));
    typeExpected(std::string(64, '0'));
    DialogScript script({DialogAnswer::Yes});
    ASSERT_TRUE(startHeldAt(4));
    gtk_entry_set_text(GTK_ENTRY(controlWidget(ControlId::ExpectedEntry)), sha256.c_str());
    JobHold::release();
    ASSERT_TRUE(runEventsUntil([] { return !jobRunning() && !jobThreadActive(); }, 60000));
    EXPECT_EQ(rowVerdict(4), Matching);
}

// What publishers ship, loaded after the job: the chosen file's line goes in verbatim, and one action
// (by mouse or by keyboard) leaves the bare checksum and a green row, without another job.
TEST_F(CalcChecksumListTest, APublishersListLeadsToAGreenRowInOneAction) {
    const std::string others = std::string(64, '1') + "  other-1.iso\n" + std::string(64, '2') + "  other-2.iso\n" +
                               std::string(64, '3') + " *other-3.iso\n";
    const struct {
        const char* name;
        std::string content;
        std::string line;
        ActionBy by;
    } lists[] = {
        {"SHA256SUMS", others + sha256 + "  image.bin\n" + std::string(64, '5') + "  other-5.iso\n",
         sha256 + "  image.bin", ActionBy::Icon},
        {"clear-signed BSD list",
         "-----BEGIN PGP SIGNED MESSAGE-----\r\nHash: SHA256\r\n\r\nSHA256 (other.iso) = " + std::string(64, '1') +
             "\r\nSHA256 (image.bin) = " + sha256 + "\r\n-----BEGIN PGP SIGNATURE-----\r\n\r\niQIzBAEB\r\n"
             "-----END PGP SIGNATURE-----\r\n",
         "SHA256 (image.bin) = " + sha256, ActionBy::ContextMenu},
        {"image.bin.sha256", sha256 + " *image.bin\n", sha256 + " *image.bin", ActionBy::Shortcut},
    };
    for (const auto& list : lists) writeFileText(scratch() + list.name, list.content);
    for (const auto& list : lists) {
        SCOPED_TRACE(list.name);
        ASSERT_TRUE(startWith(file, {4, 8}));
        runJob();
        loadList(list.name);
        EXPECT_EQ(field(), list.line);
        EXPECT_EQ(entryActionText(ControlId::ExpectedEntry), "E:tMainUSECHECKSUM");
        EXPECT_EQ(rowVerdict(4).mark, FormMark);
        chooseFieldAction(list.by);
        EXPECT_EQ(field(), sha256);
        EXPECT_EQ(rowVerdict(4), Matching);
        EXPECT_EQ(entryActionText(ControlId::ExpectedEntry), "") << "nothing more to offer";
        EXPECT_FALSE(jobRunning());
        stop();
    }
}

// A list without a line for the chosen file gives its first line, as any file does; compared with it,
// the row says whose line it is, under a mark of its own, and nothing is offered for the field.
// A file chosen after the list was loaded is still found in it.
TEST_F(CalcChecksumListTest, AnotherFilesLineIsExplainedAndTheListIsRemembered) {
    const std::string early = writeRandomFile(scratch() + "early.bin", 3000, 7);
    writeFileText(scratch() + "SHA256SUMS", std::string(64, '1') + "  other.iso\n" + std::string(64, '2') +
                                                "  second.iso\n\\" + sha256 + "  image.bin\n");
    ASSERT_TRUE(startWith(early, {4, 8}));
    runJob();
    loadList("SHA256SUMS");
    EXPECT_EQ(field(), std::string(64, '1') + "  other.iso");
    EXPECT_EQ(rowVerdict(4), mismatch(OtherFileMark, "\nE:tMainWHYOTHERFILE other.iso"));
    EXPECT_EQ(entryActionText(ControlId::ExpectedEntry), "");

    // The image is chosen now: the list's third line is its own.
    answerNextFileRequester(file);
    click(ControlId::BrowseButton);
    ASSERT_TRUE(runEventsUntil([&] { return chosenFilePath() == file; }));
    EXPECT_EQ(entryActionText(ControlId::ExpectedEntry), "E:tMainUSELISTED image.bin");
    runJob();
    EXPECT_EQ(rowVerdict(4),
              mismatch(OtherFileMark, "\nE:tMainWHYOTHERFILE other.iso\nE:tMainWHYLISTED 3"));
    chooseFieldAction(ActionBy::Icon);
    EXPECT_EQ(field(), sha256);
    EXPECT_EQ(rowVerdict(4), Matching);

    // An edit of the field forgets the list: its lines no longer stand behind the text.
    answerNextFileRequester(early);
    click(ControlId::BrowseButton);
    ASSERT_TRUE(runEventsUntil([&] { return chosenFilePath() == early; }));
    loadList("SHA256SUMS");
    typeExpected(field() + " ");
    answerNextFileRequester(file);
    click(ControlId::BrowseButton);
    ASSERT_TRUE(runEventsUntil([&] { return chosenFilePath() == file; }));
    EXPECT_EQ(entryActionText(ControlId::ExpectedEntry), "");
}

// A keyboard user reads a row's explanation on the focused row itself: its entry carries it as its own
// tooltip (Ctrl+F1 shows it), not only the mark under the pointer.
TEST_F(CalcChecksumListTest, TheFocusedRowCarriesItsExplanation) {
    ASSERT_TRUE(startWith(file, {4}));
    typeExpected(" " + sha256);
    runJob();
    GtkWidget* row = controlWidget(ControlId::resultEntry(4));
    gtk_widget_grab_focus(row);
    EXPECT_TRUE(gtk_widget_is_focus(row)) << "a row takes the keyboard focus";
    gchar* tooltip = gtk_widget_get_tooltip_text(row);
    ASSERT_NE(tooltip, nullptr);
    EXPECT_EQ(std::string(tooltip), "E:tMainMISMATCH\nE:tMainWHYSPACES");
    g_free(tooltip);
    typeExpected("");
    EXPECT_EQ(gtk_widget_get_tooltip_text(row), nullptr);
}

}  // namespace
}  // namespace calc_test
