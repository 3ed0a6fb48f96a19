// Verification on the real window: the exact compare that colours each row, and expected checksums
// loaded from files through the real open requester.
#include "calc/verification.h"
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

TEST_F(CalcVerificationTest, ColoursOutliveLaterJobsWithoutAnExpectedChecksum) {
    ASSERT_TRUE(startTicking({0, 4}));
    setControlText(ControlId::ExpectedEntry, sha256);
    runJob();
    ASSERT_EQ(shownTextColour(ControlId::resultEntry(4)), MatchColour);
    ASSERT_EQ(shownTextColour(ControlId::resultEntry(0)), MismatchColour);

    // A different file and no expected checksum: new results in the old colours; a row never
    // compared keeps the theme's colour.
    const std::string other = writeRandomFile(scratch() + "other.bin", 5000, 6);
    setControlText(ControlId::PathEntry, other);
    setControlText(ControlId::ExpectedEntry, "");
    tick({0, 1, 4});
    runJob();
    EXPECT_EQ(controlText(ControlId::resultEntry(4)), oracleDigest(other, 4));
    EXPECT_EQ(shownTextColour(ControlId::resultEntry(4)), MatchColour);
    EXPECT_EQ(shownTextColour(ControlId::resultEntry(0)), MismatchColour);
    EXPECT_TRUE(uncoloured(1));
}

TEST_F(CalcVerificationTest, EmptyExpectedChecksumChangesNoColour) {
    ASSERT_TRUE(startTicking({0, 4, 10}));
    runJob();
    for (int slot = 0; slot < SlotCount; ++slot)
        EXPECT_TRUE(uncoloured(slot)) << slot;
}

}  // namespace
}  // namespace calc_test
