// Checksum lists as publishers ship them: the line forms, the escapes, the armour around a signed list,
// and the line chosen for a file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc/checksum_list.h"
#include "../fingerprint/test_support.h"

namespace {

const std::string A = std::string(64, 'a');
const std::string B = std::string(64, 'b');
const std::string C = std::string(128, 'c');
const std::string Upper = std::string(40, 'D');

struct Expected {
    int number;
    std::string checksum, name, algorithm;
};

TEST(ChecksumList, LinesOfEveryFormAndWhatIsSkipped) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<Expected> lines;
    } cases[] = {
        {"GNU text and binary mode", A + "  one.iso\n" + B + " *two.iso\n", {{1, A, "one.iso", ""}, {2, B, "two.iso", ""}}},
        {"one blank, a tab, a name with blanks", A + " one.iso\n" + B + "\tmy  two.iso\n",
         {{1, A, "one.iso", ""}, {2, B, "my  two.iso", ""}}},
        {"BSD with brackets and '=' in the name", "SHA256 (a (1) = b.iso) = " + A + "\nSHA3-512 (x) = " + C,
         {{1, A, "a (1) = b.iso", "SHA256"}, {2, C, "x", "SHA3-512"}}},
        {"escaped names", "\\" + A + "  dir\\\\a\\nb\\rc.iso\n\\SHA256 (x\\\\y) = " + B + "\n\\" + A + "  keep\\t",
         {{1, A, "dir\\a\nb\rc.iso", ""}, {2, B, "x\\y", "SHA256"}, {3, A, "keep\\t", ""}}},
        {"CRLF, CR and no line end at the end", A + "  one.iso\r\n" + B + "  two.iso\r" + Upper + "  three.iso",
         {{1, A, "one.iso", ""}, {2, B, "two.iso", ""}, {3, Upper, "three.iso", ""}}},
        {"comments, blank lines and other text", "# made by a tool\n\n   \n" + A + "  one.iso\nnot a line\n" +
                                                      std::string(63, 'a') + "  cut.iso\n" + A + "  \n" + A,
         {{4, A, "one.iso", ""}}},
        {"a byte-order mark before the first line", "\xEF\xBB\xBF" + A + "  one.iso\n", {{1, A, "one.iso", ""}}},
        {"a clear-signed BSD list",
         "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\nSHA256 (one.iso) = " + A + "\nSHA256 (two.iso) = " + B +
             "\n-----BEGIN PGP SIGNATURE-----\n\n" + A + "  inside.iso\n-----END PGP SIGNATURE-----\n" + B +
             "  after.iso\n",
         {{4, A, "one.iso", "SHA256"}, {5, B, "two.iso", "SHA256"}, {10, B, "after.iso", ""}}},
        {"armour header lines are no list lines", "-----BEGIN PGP SIGNED MESSAGE-----\n" + A + "  header.iso\n\n" +
                                                      B + "  body.iso\n",
         {{4, B, "body.iso", ""}}},
        {"nothing", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ChecksumListLine> lines = readChecksumList(c.bytes);
        ASSERT_EQ(lines.size(), c.lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].number, c.lines[i].number) << i;
            EXPECT_EQ(lines[i].checksum, c.lines[i].checksum) << i;
            EXPECT_EQ(lines[i].name, c.lines[i].name) << i;
            EXPECT_EQ(lines[i].algorithm, c.lines[i].algorithm) << i;
        }
    }
}

// The field takes a list's line as the first-line rule takes a first line: verbatim, without its line end.
TEST(ChecksumList, TheLineGoesInVerbatim) {
    const std::string bytes = "\xEF\xBB\xBF" + A + "  one.iso\r\nSHA256 (two\xFF.iso) = " + B + "\n";
    const std::vector<ChecksumListLine> lines = readChecksumList(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "\xEF\xBB\xBF" + A + "  one.iso");
    EXPECT_EQ(lines[1].text, "SHA256 (two\xEF\xBF\xBD.iso) = " + B);
}

TEST(ChecksumList, TheLineForAFile) {
    const std::vector<ChecksumListLine> list = readChecksumList(
        A + "  other.iso\n" + A + "  isos/image.iso\nSHA512 (image.iso) = " + C + "\n" + B + "  image.iso\n" + A +
        "  image.iso.part\n");
    const struct {
        const char* name;
        std::string path;
        std::vector<int> preferred;
        int line; // 0: none
    } cases[] = {
        {"the first line with the base name", "/home/u/Downloads/image.iso", {}, 2},
        {"two lines: the one of a ticked length", "/d/image.iso", {128}, 3},
        {"no ticked length among them: the first", "/d/image.iso", {8, 40}, 2},
        {"a name only like it", "/d/image.is", {}, 0},
        {"a longer name", "/d/image.iso.part", {}, 5},
        {"no file", "", {}, 0},
        {"a folder's path", "/d/", {}, 0},
    };
    for (const auto& c : cases) {
        const ChecksumListLine* found = lineForFile(list, c.path, c.preferred);
        EXPECT_EQ(found != nullptr ? found->number : 0, c.line) << c.name;
    }
}

// A list is read whole; a device or a pipe only up to its first line, without waiting for more.
TEST(ChecksumList, ReadingAFile) {
    const std::string list = A + "  one.iso\n" + std::string(100000, '#') + "\n" + B + "  two.iso\n";
    const testkit::TempFile file{std::vector<uint8_t>(list.begin(), list.end())};
    EXPECT_EQ(readChecksumFile(file.path()), list);
    const std::optional<std::string> zeros = readChecksumFile("/dev/zero");
    ASSERT_TRUE(zeros.has_value());
    EXPECT_LE(zeros->size(), 4096u);
    EXPECT_FALSE(readChecksumFile(std::string(file.path()) + ".missing").has_value());
}

} // namespace
