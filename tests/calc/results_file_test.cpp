// The results file and the expected-checksum loader, without a window: the extension rule, saving that
// never destroys a file, and the first line of a file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "calc/file_failure.h"
#include "calc/results_file.h"
#include "calc/first_line.h"

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

// Saving replaces a regular file through a link to it, refuses what is no regular file, and leaves
// nothing behind when the folder is gone; the bytes and the mode of what is replaced are as described.
TEST(SaveFileSafely, ReplacesRegularFilesOnlyAndLeavesNothingBehind) {
    const std::string folder = ::testing::TempDir() + "calc_save_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string real = folder + "/real.txt", link = folder + "/link.txt", fifo = folder + "/fifo";
    std::ofstream(real) << "old";
    ASSERT_EQ(chmod(real.c_str(), 0604), 0);
    ASSERT_EQ(symlink("real.txt", link.c_str()), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        int failure;
        std::string readBack; // through the path, after the save
    } cases[] = {
        {link, 0, "new"},                           // the link stays, the file it names gets the text
        {folder, EISDIR, ""},                       // a folder is never replaced
        {fifo, NotAFileWithAnEnd, ""},              // nor a named pipe
        {folder + "/gone/x.txt", ENOENT, ""},       // a folder that vanished
        {folder + "/new.txt", 0, "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(saveFileSafely(c.path, "new"), c.failure);
        if (c.failure == 0) {
            std::ifstream in(c.path);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.readBack);
        }
    }
    struct stat status {};
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(stat(real.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    ASSERT_EQ(lstat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    // The four names of the folder, and no temporary file.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
        ++entries;
    }
    EXPECT_EQ(entries, 4);
    std::filesystem::remove_all(folder);
}

class FirstLine : public ::testing::Test {
protected:
    std::string path = ::testing::TempDir() + "calc_first_line_" + std::to_string(getpid());
    void write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    void TearDown() override { std::remove(path.c_str()); }
};

// The first line ends at any line end, keeps a byte-order mark for the compare to explain, and replaces
// bytes that are not UTF-8 (valid UTF-8 passes unchanged).
TEST_F(FirstLine, EndsAtAnyLineEndAndIsValidUtf8) {
    const struct {
        std::string bytes, line;
    } cases[] = {
        {"abc\r\ndef\n", "abc"},
        {"abc\rdef", "abc"},
        {"d41d8cd98f00b204e9800998ecf8427e  empty.bin\n", "d41d8cd98f00b204e9800998ecf8427e  empty.bin"},
        {"\xEF\xBB\xBF" "abc\n", "\xEF\xBB\xBF" "abc"},
        {"no line end ", "no line end "},
        {"", ""},
        {"\n\nsecond", ""},
        {std::string("ab\xFF" "c\x00" "d\xC3", 7), "ab\xEF\xBF\xBD" "c\xEF\xBF\xBD" "d\xEF\xBF\xBD"},
        {"gr\xC3\xBC\xC3\x9F" "e", "gr\xC3\xBC\xC3\x9F" "e"},
    };
    for (const auto& c : cases) {
        write(c.bytes);
        EXPECT_EQ(readFirstLine(path), c.line) << testing::PrintToString(c.bytes);
    }
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
