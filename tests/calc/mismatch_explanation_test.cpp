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
        {"another checksum of the same length", std::string(64, '0'), 0, "", false, "", {}},
        {"a checksum of 40 digits", std::string(40, 'a'), 0, "", false, "", {2}},
        {"a checksum of 128 digits in a list line", std::string(128, 'b') + "  image.iso", 0, "", false, "", {6, 10}},
        {"a checksum of 8 digits with spaces", " DEADBEEF ", 0, "", false, "", {0}},
        {"no checksum at all", "not a checksum", 0, "", false, "", {}},
        {"a cut checksum", Sha256.substr(0, 63), 0, "", false, "", {}},
        {"only a byte-order mark", Bom, 0, "", false, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MismatchExplanation why = explainMismatch(Sha256, c.expected, Chosen);
        EXPECT_EQ(why.forms, c.forms);
        EXPECT_EQ(why.listedName, c.listedName);
        EXPECT_EQ(why.listsChosenFile, c.listsChosenFile);
        EXPECT_EQ(why.label, c.label);
        EXPECT_EQ(why.slotsOfItsLength, c.slotsOfItsLength);
        EXPECT_EQ(why.explains(), c.forms != 0 || !c.slotsOfItsLength.empty());
    }
}

} // namespace
