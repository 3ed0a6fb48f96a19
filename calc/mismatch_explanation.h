// Why a result does not match the expected text: the compare stays exact, but when the text holds the
// result in another form (capitals, spaces around it, a byte-order mark, a checksum-list line, a label),
// or is a checksum of another length, the row can say so.
#pragma once

#include <string>
#include <vector>

// The forms in which an expected text can hold a result, one bit each.
enum MismatchForm : unsigned {
    FormCase = 1u << 0,          // the letters differ only in case
    FormSpaces = 1u << 1,        // spaces, tabs or a line end surround the checksum
    FormByteOrderMark = 1u << 2, // an invisible byte-order mark comes first
    FormListLine = 1u << 3,      // a checksum-list line, "digest  name" or "ALGO (name) = digest"
    FormLabel = 1u << 4,         // a label stands before it, as in "SHA2-256: digest"
};

struct MismatchExplanation {
    // The MismatchForm bits that hold, when the expected text holds the result in another form; 0 when
    // it does not (a different checksum, or text that is none).
    unsigned forms = 0;
    std::string listedName;      // the file named by a checksum-list line
    bool listsChosenFile = false; // that name is the chosen file's
    std::string label;           // the label before the checksum
    // When the expected text is a checksum of another length than the result's: the slots whose
    // checksums have its length (64 digits: SHA2-256 and SHA3-256). Empty otherwise.
    std::vector<int> slotsOfItsLength;

    [[nodiscard]] bool explains() const { return forms != 0 || !slotsOfItsLength.empty(); }
};

// Why `result` does not equal `expected`. `chosenFile` is the path of the file the result is of; a
// checksum-list line names the chosen file when its name's last part equals the path's.
[[nodiscard]] MismatchExplanation explainMismatch(const std::string& result, const std::string& expected,
                                                  const std::string& chosenFile);
