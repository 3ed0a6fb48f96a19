// The result rows: each shows its slot's result and verdict from the job's results.
#include "ui/result_rows.h"

#include "calc/job_results.h"
#include "settings/language_catalogue.h"
#include "ui/controls.h"
#include "ui/entry_mark.h"
#include "ui/fonts_images.h"
#include "ui/main_thread.h"

namespace {

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

void showResults() {
    if (!onMainThread("showResults")) return;
    for (int slot = 0; slot < SlotCount; ++slot) {
        const SlotResult result = slotResult(slot);
        const int entry = ControlId::resultEntry(slot);
        // Only what changed is set again: a text or a mark set anew would redraw the row and repeat
        // it to a screen reader. Text and verdict change in one go, so the row never shows a new
        // result in the colour of an old compare.
        if (controlText(entry) != result.digest) setControlText(entry, result.digest);
        if (shownVerdict(slot) != result.verdict) applyVerdict(slot, result.verdict);
    }
}

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
    for (int slot = 0; slot < SlotCount; ++slot)
        if (const Verdict verdict = shownVerdict(slot); verdict != Verdict::None) applyVerdict(slot, verdict);
}

std::string verdictText(Verdict verdict) {
    // The words are the program's own addition, so a language pack made for an older version may lack
    // them; a mark without words would leave a screen reader's user with nothing.
    switch (verdict) {
    case Verdict::Match:
        return catalogueTextOr("tMainMATCH", "Matches the expected checksum");
    case Verdict::Mismatch:
        return catalogueTextOr("tMainMISMATCH", "Does not match the expected checksum");
    case Verdict::None:
        break;
    }
    return {};
}
