// The expected checksum: loaded from a checksum file, compared with the results whenever either
// changes, and offered in its bare form. The checksum list it was loaded from is kept here while the
// field still holds the line taken from it.
#include "app/verification_handlers.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "calc/checksum_list.h"
#include "calc/first_line.h"
#include "calc/job_results.h"
#include "dialogs/file_requesters.h"
#include "settings/language_catalogue.h"
#include "ui/chosen_file.h"
#include "ui/controls.h"
#include "ui/entry_action.h"
#include "ui/fonts_images.h"
#include "ui/result_rows.h"

namespace {

// A checksum list loaded into the field, remembered while the field holds the text taken from it: a
// file chosen afterwards is still looked up in it.
struct RememberedList {
    std::vector<ChecksumListLine> lines;
    std::string loadedText;
};
std::optional<RememberedList> Remembered;

// The digest lengths of the ticked algorithms: of several lines for one file, the one they can match.
std::vector<int> tickedDigits() {
    std::vector<int> digits;
    const SlotFlags ticked = tickedSlots();
    for (int slot = 0; slot < SlotCount; ++slot)
        if (ticked[slot]) digits.push_back(AlgorithmSlots[slot].digestDigits);
    return digits;
}

// The remembered list's line for the chosen file, while the field still holds the list's text.
const ChecksumListLine* listedLineForChosenFile(const std::string& fieldText) {
    if (!Remembered || fieldText != Remembered->loadedText) return nullptr;
    return lineForFile(Remembered->lines, chosenFilePath(), tickedDigits());
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// What the field's action would put into it, and the words it is offered with; nothing to offer when
// the checksum is empty.
struct Offer {
    std::string checksum;
    std::string words;
};

Offer offerFor(const std::string& fieldText) {
    // The chosen file's own line of the remembered list comes first: the field may hold another's.
    if (const ChecksumListLine* listed = listedLineForChosenFile(fieldText);
        listed != nullptr && listed->text != fieldText)
        return {lowered(listed->checksum),
                catalogueTextWith("tMainUSELISTED", "Use the checksum listed for %s",
                                  std::string(baseName(listed->name)))};
    std::string bare = bareChecksumIn(fieldText, chosenFilePath());
    if (bare.empty()) return {};
    return {std::move(bare), catalogueTextOr("tMainUSECHECKSUM", "Use only the checksum")};
}

} // namespace

void loadExpectedChecksum() {
    const std::string chosen = openFileRequester(catalogueText("tReqOPENFILE"), folderPart(chosenFilePath()),
                                                 catalogueText("tReqOPENPATTERN"), 0);
    if (chosen.empty()) return;
    const std::optional<std::string> bytes = readChecksumFile(chosen);
    if (!bytes) return;
    // A list's line for the chosen file, verbatim; any other file gives its first line.
    std::vector<ChecksumListLine> list = readChecksumList(*bytes);
    const ChecksumListLine* line = lineForFile(list, chosenFilePath(), tickedDigits());
    const std::string text = line != nullptr ? line->text : firstLineText(*bytes);
    setControlText(ControlId::ExpectedEntry, text);
    Remembered.reset();
    if (!list.empty()) Remembered = RememberedList{std::move(list), text};
    expectedChecksumChanged();
}

void expectedChecksumChanged() {
    if (Remembered && controlText(ControlId::ExpectedEntry) != Remembered->loadedText) Remembered.reset();
    showVerdicts();
}

void useOfferedChecksum() {
    const Offer offer = offerFor(controlText(ControlId::ExpectedEntry));
    if (offer.checksum.empty()) return;
    setControlText(ControlId::ExpectedEntry, offer.checksum);
    expectedChecksumChanged();
}

void showVerdicts() {
    const std::string expected = controlText(ControlId::ExpectedEntry);
    CompareContext context;
    context.chosenFile = chosenFilePath();
    if (const ChecksumListLine* listed = listedLineForChosenFile(expected);
        listed != nullptr && listed->text != expected)
        context.listedLine = listed->number;
    compareResults(expected, context);
    showResults();
    const Offer offer = offerFor(expected);
    setEntryAction(ControlId::ExpectedEntry, offer.checksum.empty() ? -1 : UseChecksumIcon, offer.words);
}
