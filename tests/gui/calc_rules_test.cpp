// Rules of the results export and the expected-checksum loader that need no window.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/export_handlers.h"
#include "calc/job_results.h"
#include "calc/results_file.h"
#include "app/verification_handlers.h"
#include "settings/first_line.h"
#include "calc/verdict.h"
#include "ui/result_rows.h"

namespace {

// Each row of the save command's table of examples, plus the cases around its stop characters.
TEST(ResultsFileName, FollowsTheExtensionRule) {
    EXPECT_EQ(resultsFileName("report"), "report.txt");
    EXPECT_EQ(resultsFileName("report.TXT"), "report.TXT");
    EXPECT_EQ(resultsFileName("report."), "report..txt");
    EXPECT_EQ(resultsFileName("my results"), "my results.txt");
    EXPECT_EQ(resultsFileName("/home/u/.hidden"), "/home/u/.hidden.txt");
    EXPECT_EQ(resultsFileName("v1.0/sums"), "v1.0/sums.txt");

    EXPECT_EQ(resultsFileName(".profile"), ".profile.txt");             // the dot is the first character
    EXPECT_EQ(resultsFileName("a\\.b"), "a\\.b.txt");                   // right after a backslash
    EXPECT_EQ(resultsFileName("/tmp/sums.sha256"), "/tmp/sums.sha256");
    EXPECT_EQ(resultsFileName("sums.tar gz"), "sums.tar gz.txt");       // the scan stops at the space
    EXPECT_EQ(resultsFileName("sums.txt\""), "sums.txt\"");              // the extension ends at a quote
    EXPECT_EQ(resultsFileName("sums.\"txt\""), "sums.\"txt\".txt");    // nothing before the first quote
    EXPECT_EQ(resultsFileName("sums.\""), "sums.\".txt");
    EXPECT_EQ(resultsFileName(""), ".txt");
}

class FirstLine : public ::testing::Test {
protected:
    std::string path = ::testing::TempDir() + "calc_first_line_" + std::to_string(getpid());
    void write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(FirstLine, EndsAtAnyLineEndAndKeepsTheByteOrderMark) {
    write("abc\r\ndef\n");
    EXPECT_EQ(readFirstLine(path), "abc");
    write("abc\rdef");
    EXPECT_EQ(readFirstLine(path), "abc");
    write("d41d8cd98f00b204e9800998ecf8427e  empty.bin\n");
    EXPECT_EQ(readFirstLine(path), "d41d8cd98f00b204e9800998ecf8427e  empty.bin");
    write("\xEF\xBB\xBF" "abc\n");
    EXPECT_EQ(readFirstLine(path), "\xEF\xBB\xBF" "abc");
    write("no line end ");
    EXPECT_EQ(readFirstLine(path), "no line end ");
    write("");
    EXPECT_EQ(readFirstLine(path), "");
    write("\n\nsecond");
    EXPECT_EQ(readFirstLine(path), "");
}

TEST_F(FirstLine, ReplacesBytesThatAreNotUtf8) {
    write(std::string("ab\xFF" "c\x00" "d\xC3", 7));
    EXPECT_EQ(readFirstLine(path), "ab\xEF\xBF\xBD" "c\xEF\xBF\xBD" "d\xEF\xBF\xBD");
    write("gr\xC3\xBC\xC3\x9F" "e");  // valid UTF-8 passes unchanged
    EXPECT_EQ(readFirstLine(path), "gr\xC3\xBC\xC3\x9F" "e");
}

TEST_F(FirstLine, ReadsAtMostTheLimitOfALongLine) {
    write(std::string(3 * ExpectedLineLimit, 'a') + "\n");
    EXPECT_EQ(readFirstLine(path), std::string(ExpectedLineLimit, 'a'));
    // A multi-byte character cut by the limit becomes one replacement character.
    write(std::string(ExpectedLineLimit - 1, 'a') + "\xC3\xBC");
    EXPECT_EQ(readFirstLine(path), std::string(ExpectedLineLimit - 1, 'a') + "\xEF\xBF\xBD");
}

TEST_F(FirstLine, NothingForAFileThatCannotBeOpened) {
    EXPECT_FALSE(readFirstLine(path + ".missing").has_value());
}

TEST_F(FirstLine, NamedPipeWithoutWriterGivesAnEmptyLineAtOnce) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(readFirstLine(path), "");
}

}  // namespace
