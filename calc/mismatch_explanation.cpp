// Why a result does not match the expected text: the checksum is looked for in the forms people paste,
// one layer at a time, and compared again.
#include "calc/mismatch_explanation.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "calc/algorithm_slots.h"

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

std::string_view lastPart(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The checksum a text stands for, once the list line or label around it is known.
struct Candidate {
    std::string_view checksum;
    unsigned form = 0; // FormListLine or FormLabel, or 0 for the bare text
    std::string_view name;
    std::string_view label;
};

// "ALGO (name) = digest", as BSD tools and `sha256sum --tag` write it.
bool readTaggedLine(std::string_view text, Candidate& found) {
    const std::size_t open = text.find(" (");
    const std::size_t close = text.rfind(") = ");
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + 2) return false;
    const std::string_view algorithm = text.substr(0, open);
    if (algorithm.empty() || algorithm.find_first_of(Blanks) != std::string_view::npos) return false;
    const std::string_view checksum = text.substr(close + 4);
    if (!isHex(checksum)) return false;
    found = {checksum, FormListLine, text.substr(open + 2, close - open - 2), {}};
    return true;
}

// "digest  name" or "digest *name", as `sha256sum` writes it (a leading backslash marks an escaped name).
bool readListLine(std::string_view text, Candidate& found) {
    if (!text.empty() && text.front() == '\\') text.remove_prefix(1);
    const std::size_t end = text.find_first_of(Blanks);
    if (end == std::string_view::npos || !isHex(text.substr(0, end))) return false;
    std::string_view name = text.substr(end);
    name.remove_prefix(std::min(name.find_first_not_of(Blanks), name.size()));
    if (!name.empty() && name.front() == '*') name.remove_prefix(1);
    if (name.empty()) return false;
    found = {text.substr(0, end), FormListLine, name, {}};
    return true;
}

// "LABEL: digest" or "LABEL = digest": this program's own results file, and many others.
bool readLabelled(std::string_view text, Candidate& found) {
    const std::size_t mark = text.find_last_of(":=");
    if (mark == std::string_view::npos || mark == 0) return false;
    const std::string_view checksum = trimmed(text.substr(mark + 1));
    const std::string_view label = trimmed(text.substr(0, mark));
    if (!isHex(checksum) || label.empty()) return false;
    found = {checksum, FormLabel, {}, label};
    return true;
}

Candidate candidateIn(std::string_view text) {
    Candidate found{text, 0, {}, {}};
    if (readTaggedLine(text, found) || readListLine(text, found) || readLabelled(text, found)) return found;
    return {text, 0, {}, {}};
}

} // namespace

MismatchExplanation explainMismatch(const std::string& result, const std::string& expected,
                                    const std::string& chosenFile) {
    MismatchExplanation why;
    std::string_view text = expected;
    // A byte-order mark and blanks in any order at the ends: a file's first line, pasted or loaded.
    unsigned outer = 0;
    for (bool peeled = true; peeled;) {
        peeled = false;
        if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
            text.remove_prefix(ByteOrderMark.size());
            outer |= FormByteOrderMark;
            peeled = true;
        }
        if (const std::string_view inner = trimmed(text); inner.size() != text.size()) {
            text = inner;
            outer |= FormSpaces;
            peeled = true;
        }
    }
    const Candidate candidate = candidateIn(text);
    unsigned forms = outer | candidate.form;
    if (candidate.checksum != result) {
        if (lowered(candidate.checksum) != result) {
            // Another checksum altogether; its length may still tell which algorithm it is of.
            if (isHex(candidate.checksum) && candidate.checksum.size() != result.size())
                for (int slot = 0; slot < SlotCount; ++slot)
                    if (static_cast<std::size_t>(AlgorithmSlots[slot].digestDigits) == candidate.checksum.size())
                        why.slotsOfItsLength.push_back(slot);
            return why;
        }
        forms |= FormCase;
    }
    why.forms = forms;
    why.listedName = candidate.name;
    why.listsChosenFile = !candidate.name.empty() && lastPart(candidate.name) == lastPart(chosenFile);
    why.label = candidate.label;
    return why;
}
