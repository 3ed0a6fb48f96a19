// Verification: the expected checksum loaded from a file, the exact compare, and the verdict that
// each row shows in colour, in a mark and in words.
#include "calc/verification.h"

#include "app/chosen_file.h"
#include "app/controls.h"
#include "app/event_loop.h"
#include "app/requesters.h"
#include "app/shell.h"
#include "app/toolkit_lock.h"
#include "calc/calculation.h"
#include "settings/language_catalogue.h"

namespace {

// The words are the program's own addition, so a language pack made for an older version may lack
// them; a mark without words would leave a screen reader's user with nothing.
constexpr const char* ShippedMatchText = "Matches the expected checksum";
constexpr const char* ShippedMismatchText = "Does not match the expected checksum";

void applyVerdict(int slot, Verdict verdict) {
    const int entry = ControlId::resultEntry(slot);
    switch (verdict) {
    case Verdict::None:
        setTextColour(entry, -1);
        setEntryMark(entry, -1, "");
        break;
    case Verdict::Match:
        setTextColour(entry, MatchColour);
        setEntryMark(entry, MatchMark, verdictText(verdict));
        break;
    case Verdict::Mismatch:
        setTextColour(entry, MismatchColour);
        setEntryMark(entry, MismatchMark, verdictText(verdict));
        break;
    }
}

} // namespace

void loadExpectedChecksum() {
    const std::string chosen = openFileRequester(catalogueText("tReqOPENFILE"), folderPart(chosenFilePath()),
                                                 catalogueText("tReqOPENPATTERN"), 0);
    if (chosen.empty()) return;
    if (std::optional<std::string> line = readFirstLine(chosen)) setControlText(ControlId::ExpectedEntry, *line);
}

Verdict compareResult(const std::string& result, const std::string& expected) {
    return result == expected ? Verdict::Match : Verdict::Mismatch;
}

void showVerdict(int slot, Verdict verdict) {
    if (slot < 0 || slot >= SlotCount) return;
    // Under one hold of the lock: a language switch on the main thread sees colour and mark in step.
    ToolkitLock lock;
    applyVerdict(slot, verdict);
}

// The row itself holds its verdict, in its mark: nothing to keep in step beside it.
Verdict shownVerdict(int slot) {
    if (slot < 0 || slot >= SlotCount) return Verdict::None;
    switch (entryMark(ControlId::resultEntry(slot))) {
    case MatchMark:
        return Verdict::Match;
    case MismatchMark:
        return Verdict::Mismatch;
    default:
        return Verdict::None;
    }
}

void refreshVerdictTexts() {
    ToolkitLock lock;
    for (int slot = 0; slot < SlotCount; ++slot)
        if (const Verdict verdict = shownVerdict(slot); verdict != Verdict::None) applyVerdict(slot, verdict);
}

std::string verdictText(Verdict verdict) {
    if (verdict == Verdict::None) return {};
    const bool match = verdict == Verdict::Match;
    const std::string text = catalogueText(match ? "tMainMATCH" : "tMainMISMATCH");
    return text.empty() ? (match ? ShippedMatchText : ShippedMismatchText) : text;
}
