// Why a result does not match the expected text: the compare stays exact, but when the text holds the
// result in another form (capitals, spaces around it, a byte-order mark, a checksum-list line, a label),
// is another file's line of a list, or is a checksum of another algorithm, the row can say so.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "calc/algorithm_slots.h"

// The forms in which an expected text can hold a result, one bit each.
enum MismatchForm : unsigned {
    FormCase = 1u << 0,          // the letters differ only in case
    FormSpaces = 1u << 1,        // spaces, tabs or a line end surround the checksum
    FormByteOrderMark = 1u << 2, // an invisible byte-order mark comes first
    FormListLine = 1u << 3,      // a checksum-list line, "digest  name" or "ALGO (name) = digest"
    FormLabel = 1u << 4,         // a label stands before it, as in "SHA2-256: digest"
};

// What is known around a compare besides the two texts.
struct CompareContext {
    std::string chosenFile; // the path of the file the results are of
    SlotFlags computed{};   // the slots that have a result; the others count as not ticked
    int listedLine = 0;     // the loaded list's line for the chosen file, when the field holds another text
};

struct MismatchExplanation {
    // The MismatchForm bits that hold, when the expected text holds the result in another form; 0 when
    // it does not (a different checksum, or text that is none).
    unsigned forms = 0;
    std::string listedName;      // the file named by a checksum-list line
    bool listsChosenFile = false; // that name is the chosen file's
    std::string label;           // the label before the checksum
    // A list line whose checksum is not this result and whose name is not the chosen file's: the file
    // was compared with another file's checksum. Its name; empty otherwise.
    std::string otherFile;
    // When the expected text is a checksum of another length than the result's: the slots whose
    // checksums have its length (64 digits: SHA2-256 and SHA3-256). Empty otherwise.
    std::vector<int> slotsOfItsLength;
    // When it has the result's length but is not the result: the other slots of that length without a
    // result, whose checksum it may be.
    std::vector<int> untickedOfItsLength;
    int listedLine = 0; // the loaded list has a line for the chosen file, this one

    [[nodiscard]] bool explains() const {
        return forms != 0 || !otherFile.empty() || !slotsOfItsLength.empty() || !untickedOfItsLength.empty() ||
               listedLine != 0;
    }
};

// Why `result` does not equal `expected`. A checksum-list line names the chosen file when its name's
// last part equals the chosen path's.
[[nodiscard]] MismatchExplanation explainMismatch(const std::string& result, const std::string& expected,
                                                  const CompareContext& context);

// The bare checksum that `text` holds in another form (capitals, blanks or a byte-order mark around it, a
// checksum-list line, a label), in lower case: what the field would hold for an exact compare. Empty
// when the text is a bare lowercase checksum already, holds none of an algorithm's length, or is a
// checksum-list line of another file than `chosenFile` (its checksum is not this file's to take; with no
// file chosen, any line's is).
[[nodiscard]] std::string bareChecksumIn(std::string_view text, std::string_view chosenFile);
