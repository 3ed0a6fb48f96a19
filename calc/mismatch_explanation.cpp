// Why a result does not match the expected text: the checksum is looked for in the forms people paste,
// one layer at a time, and compared again.
#include "calc/mismatch_explanation.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "calc/checksum_list.h"

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view Blanks = " \t\r\n\v\f";

bool isHex(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The checksum a text stands for, once the layers around it are known.
struct Candidate {
    std::string checksum;
    unsigned forms = 0; // the outer layers, and FormListLine or FormLabel
    std::string name;   // a list line's name, unescaped
    std::string label;
};

// "LABEL: digest" or "LABEL = digest": this program's own results file, and many others.
bool readLabelled(std::string_view text, Candidate& found) {
    const std::size_t mark = text.find_last_of(":=");
    if (mark == std::string_view::npos || mark == 0) return false;
    const std::string_view checksum = trimmed(text.substr(mark + 1));
    const std::string_view label = trimmed(text.substr(0, mark));
    if (!isHex(checksum) || label.empty()) return false;
    found.checksum = checksum;
    found.forms |= FormLabel;
    found.label = label;
    return true;
}

Candidate candidateIn(std::string_view text) {
    Candidate found;
    // A byte-order mark and blanks in any order at the ends: a file's first line, pasted or loaded.
    for (bool peeled = true; peeled;) {
        peeled = false;
        if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
            text.remove_prefix(ByteOrderMark.size());
            found.forms |= FormByteOrderMark;
            peeled = true;
        }
        if (const std::string_view inner = trimmed(text); inner.size() != text.size()) {
            text = inner;
            found.forms |= FormSpaces;
            peeled = true;
        }
    }
    if (const std::optional<ChecksumListLine> line = parseChecksumLine(text)) {
        found.checksum = line->checksum;
        found.forms |= FormListLine;
        found.name = line->name;
        return found;
    }
    if (!readLabelled(text, found)) found.checksum = text;
    return found;
}

std::vector<int> slotsWithDigits(std::size_t digits, const SlotFlags* without = nullptr) {
    std::vector<int> slots;
    for (int slot = 0; slot < SlotCount; ++slot)
        if (static_cast<std::size_t>(AlgorithmSlots[slot].digestDigits) == digits && (without == nullptr || !(*without)[slot]))
            slots.push_back(slot);
    return slots;
}

} // namespace

MismatchExplanation explainMismatch(const std::string& result, const std::string& expected,
                                    const CompareContext& context) {
    MismatchExplanation why;
    why.listedLine = context.listedLine;
    const Candidate candidate = candidateIn(expected);
    const bool namesChosenFile =
        !candidate.name.empty() && baseName(candidate.name) == baseName(context.chosenFile);
    if (lowered(candidate.checksum) != result) {
        // Another checksum altogether. A list line of another file says whose it is; its length may
        // still tell which algorithm it is of.
        if ((candidate.forms & FormListLine) && !namesChosenFile) why.otherFile = candidate.name;
        if (isHex(candidate.checksum)) {
            if (candidate.checksum.size() != result.size())
                why.slotsOfItsLength = slotsWithDigits(candidate.checksum.size());
            else
                why.untickedOfItsLength = slotsWithDigits(candidate.checksum.size(), &context.computed);
        }
        return why;
    }
    why.forms = candidate.forms | (candidate.checksum != result ? FormCase : 0u);
    why.listedName = candidate.name;
    why.listsChosenFile = namesChosenFile;
    why.label = candidate.label;
    return why;
}

std::string bareChecksumIn(std::string_view text, std::string_view chosenFile) {
    const Candidate candidate = candidateIn(text);
    if (!isChecksumOfAnAlgorithm(candidate.checksum)) return {};
    if ((candidate.forms & FormListLine) && !chosenFile.empty() && baseName(candidate.name) != baseName(chosenFile))
        return {};
    std::string bare = lowered(candidate.checksum);
    return bare == text ? std::string() : bare;
}
