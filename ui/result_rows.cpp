// The result rows: each shows its slot's result and verdict from the job's results.
#include "ui/result_rows.h"

#include "settings/language_catalogue.h"
#include "ui/controls.h"
#include "ui/entry_mark.h"
#include "ui/fonts_images.h"
#include "ui/main_thread.h"

namespace {

// Algorithm names as a text reads them: "SHA2-256 or SHA3-256".
std::string slotNames(const std::vector<int>& slots) {
    const std::string word = catalogueTextOr("tMainOR", "or");
    std::string names;
    for (int slot : slots) {
        if (!names.empty()) names.append(1, ' ').append(word).append(1, ' ');
        names.append(AlgorithmSlots[slot].name);
    }
    return names;
}

// The words are the program's own additions, so a language pack made for an older version may lack
// them: the shipped English stands in, and a mark never comes without words for a screen reader.
std::string mismatchReasons(const MismatchExplanation& why) {
    std::string lines;
    const auto add = [&lines](const std::string& line) { lines += "\n" + line; };
    if (why.forms & FormCase)
        add(catalogueTextOr("tMainWHYCASE", "The letters differ only in case: checksums are written here in "
                                            "lower case."));
    if (why.forms & FormSpaces)
        add(catalogueTextOr("tMainWHYSPACES", "Spaces, tabs or a line end surround the checksum."));
    if (why.forms & FormByteOrderMark)
        add(catalogueTextOr("tMainWHYBOM", "The text starts with an invisible byte-order mark."));
    if (why.forms & FormListLine) {
        add(catalogueTextOr("tMainWHYLIST", "This is a line of a checksum list, and its checksum matches this "
                                            "result; only the checksum itself belongs in the Expected checksum "
                                            "field."));
        add(why.listsChosenFile ? catalogueTextOr("tMainWHYLISTSAME", "The line names the chosen file.")
                                : catalogueTextWith("tMainWHYLISTOTHER", "The line names another file: %s",
                                                    why.listedName));
    }
    if (why.forms & FormLabel)
        add(catalogueTextWith("tMainWHYLABEL",
                              "The checksum carries a label (%s); only the checksum itself belongs in the "
                              "Expected checksum field.",
                              why.label));
    if (!why.otherFile.empty())
        add(catalogueTextWith("tMainWHYOTHERFILE",
                              "The expected text is another file's line from a checksum list: %s. This file was "
                              "compared with that file's checksum.",
                              why.otherFile));
    if (!why.slotsOfItsLength.empty())
        add(catalogueTextWith("tMainWHYLENGTH",
                              "The expected checksum has the length of %s checksums, not that of this algorithm.",
                              slotNames(why.slotsOfItsLength)));
    if (!why.untickedOfItsLength.empty())
        add(catalogueTextWith("tMainWHYNOTTICKED",
                              "%s checksums have this length too, and that algorithm is not ticked.",
                              slotNames(why.untickedOfItsLength)));
    if (why.listedLine != 0)
        add(catalogueTextWith("tMainWHYLISTED", "The loaded checksum list has a line for this file: line %s.",
                              std::to_string(why.listedLine)));
    return lines;
}

// The words a result's verdict is told in: the verdict, then for a mismatch each reason on a line of
// its own. Empty for no verdict.
std::string verdictWords(const SlotResult& result) {
    switch (result.verdict) {
    case Verdict::Match:
        return catalogueTextOr("tMainMATCH", "Matches the expected checksum.");
    case Verdict::Mismatch:
        return catalogueTextOr("tMainMISMATCH", "Does not match the expected checksum.") + mismatchReasons(result.why);
    case Verdict::None:
        break;
    }
    return {};
}

// The cross blames the file; a row compared with another file's list line, or with this file's checksum
// in another form, says so by a mark of its own.
int markOfMismatch(const MismatchExplanation& why) {
    if (!why.otherFile.empty()) return OtherFileMark;
    return why.forms != 0 ? FormMark : MismatchMark;
}

struct RowLook {
    int colour = -1;
    int mark = -1;
    std::string words;
};

RowLook lookOf(const SlotResult& result) {
    switch (result.verdict) {
    case Verdict::Match:
        return {MatchColour, MatchMark, verdictWords(result)};
    case Verdict::Mismatch:
        return {MismatchColour, markOfMismatch(result.why), verdictWords(result)};
    case Verdict::None:
        break;
    }
    return {};
}

} // namespace

void showResults() {
    if (!onMainThread("showResults")) return;
    for (int slot = 0; slot < SlotCount; ++slot) {
        const SlotResult result = slotResult(slot);
        const int entry = ControlId::resultEntry(slot);
        const RowLook look = lookOf(result);
        // Only what changed is set again: a text or a mark set anew would redraw the row and repeat
        // it to a screen reader. Text and verdict change in one go, so the row never shows a new
        // result in the colour of an old compare.
        if (controlText(entry) != result.digest) setControlText(entry, result.digest);
        if (entryMark(entry) != look.mark || entryMarkText(entry) != look.words) {
            setTextColour(entry, look.colour);
            setEntryMark(entry, look.mark, look.words);
        }
    }
}

Verdict shownVerdict(int slot) {
    if (slot < 0 || slot >= SlotCount) return Verdict::None;
    switch (entryMark(ControlId::resultEntry(slot))) {
    case MatchMark:
        return Verdict::Match;
    case MismatchMark:
    case FormMark:
    case OtherFileMark:
        return Verdict::Mismatch;
    default:
        return Verdict::None;
    }
}
