// Why a result does not match the expected text, as plain text logic: each form a pasted or loaded
// checksum comes in, their combinations, and the hint at a checksum of another length.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc/mismatch_explanation.h"

namespace {

const std::string Sha256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string Upper = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";
const std::string Bom = "\xEF\xBB\xBF";
const std::string Chosen = "/home/u/Downloads/image.iso";

TEST(MismatchExplanation, FormsOfTheResultAndChecksumsOfOtherLengths) {
    struct Case {
        const char* name;
        std::string expected;
        unsigned forms;
        std::string listedName;
        bool listsChosenFile;
        std::string label;
        std::vector<int> slotsOfItsLength;
        std::string otherFile = {};
        std::vector<int> untickedOfItsLength = {};
    };
    const Case cases[] = {
        {"capitals", Upper, FormCase, "", false, "", {}},
        {"a line end", Sha256 + "\r\n", FormSpaces, "", false, "", {}},
        {"spaces and a tab", "  " + Sha256 + "\t", FormSpaces, "", false, "", {}},
        {"a byte-order mark", Bom + Sha256, FormByteOrderMark, "", false, "", {}},
        {"a GNU line", Sha256 + "  image.iso", FormListLine, "image.iso", true, "", {}},
        {"a GNU line in binary mode", Sha256 + " *image.iso", FormListLine, "image.iso", true, "", {}},
        {"a GNU line with a path", Sha256 + "  ./isos/image.iso", FormListLine, "./isos/image.iso", true, "", {}},
        {"a GNU line of another file", Sha256 + "  other.iso", FormListLine, "other.iso", false, "", {}},
        {"a BSD line", "SHA256 (image.iso) = " + Sha256, FormListLine, "image.iso", true, "", {}},
        {"a BSD line of a name with brackets", "SHA256 (a (1).iso) = " + Sha256, FormListLine, "a (1).iso", false,
         "", {}},
        {"this program's results line", "SHA2-256: " + Sha256, FormLabel, "", false, "SHA2-256", {}},
        {"a label with an equals sign", "sha256 = " + Sha256, FormLabel, "", false, "sha256", {}},
        {"all at once", Bom + " " + Upper + "  image.iso\r\n", FormByteOrderMark | FormSpaces | FormListLine | FormCase,
         "image.iso", true, "", {}},
        {"a loaded checksum-list line in capitals", "SHA256 (image.iso) = " + Upper + "\n",
         FormSpaces | FormListLine | FormCase, "image.iso", true, "", {}},
        {"another checksum of the same length", std::string(64, '0'), 0, "", false, "", {}, "", {8}},
        {"another file's line with its own checksum", std::string(64, '1') + "  other.iso", 0, "", false, "", {},
         "other.iso", {8}},
        {"another file's BSD line of another length", "SHA1 (other.iso) = " + std::string(40, '2'), 0, "", false,
         "", {2}, "other.iso"},
        {"the chosen file's line with another checksum", std::string(64, '3') + "  image.iso", 0, "", false, "",
         {}, "", {8}},
        {"an escaped line of the chosen file", "\\" + Sha256 + "  isos/image.iso", FormListLine, "isos/image.iso",
         true, "", {}},
        {"a checksum of 40 digits", std::string(40, 'a'), 0, "", false, "", {2}},
        {"a checksum of 128 digits in a list line", std::string(128, 'b') + "  image.iso", 0, "", false, "", {6, 10}},
        {"a checksum of 8 digits with spaces", " DEADBEEF ", 0, "", false, "", {0}},
        {"no checksum at all", "not a checksum", 0, "", false, "", {}},
        {"a cut checksum", Sha256.substr(0, 63), 0, "", false, "", {}},
        {"only a byte-order mark", Bom, 0, "", false, "", {}},
    };
    CompareContext context{Chosen};
    context.computed[4] = true; // the result is SHA2-256's; SHA3-256 was not ticked
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MismatchExplanation why = explainMismatch(Sha256, c.expected, context);
        EXPECT_EQ(why.forms, c.forms);
        EXPECT_EQ(why.listedName, c.listedName);
        EXPECT_EQ(why.listsChosenFile, c.listsChosenFile);
        EXPECT_EQ(why.label, c.label);
        EXPECT_EQ(why.slotsOfItsLength, c.slotsOfItsLength);
        EXPECT_EQ(why.otherFile, c.otherFile);
        EXPECT_EQ(why.untickedOfItsLength, c.untickedOfItsLength);
        EXPECT_EQ(why.explains(), c.forms != 0 || !c.slotsOfItsLength.empty() || !c.otherFile.empty() ||
                                      !c.untickedOfItsLength.empty());
    }
}

// The field's action offers the bare checksum of every form that the explanation names, and nothing for a
// text that is a bare checksum already, holds none, or is another file's line.
TEST(MismatchExplanation, TheBareChecksumOfEachForm) {
    const struct {
        std::string text;
        std::string bare;
    } cases[] = {
        {Sha256, ""},
        {Upper, Sha256},
        {" " + Sha256 + "\n", Sha256},
        {Bom + Sha256, Sha256},
        {Sha256 + "  image.iso", Sha256},
        {"SHA256 (image.iso) = " + Upper, Sha256},
        {"SHA2-256: " + Sha256, Sha256},
        {"CRC32: DEADBEEF", "deadbeef"},
        {"not a checksum", ""},
        {Sha256.substr(0, 63), ""},
        {"label: 12345", ""},
        {"", ""},
        {Sha256 + "  other.iso", ""},
        {"SHA256 (isos/other.iso) = " + Sha256, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bareChecksumIn(c.text, Chosen), c.bare) << c.text;
}

} // namespace
