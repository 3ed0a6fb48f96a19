// The results of the last job, slot by slot: what the rows show, and what Copy, Copy all and Save
// hand out. The job thread publishes into it, the main thread reads it; any thread may call these.
#pragma once

#include <string>

#include "calc/algorithm_slots.h"
#include "calc/mismatch_explanation.h"
#include "calc/verdict.h"

struct SlotResult {
    bool computed = false; // the job gave this slot a digest
    std::string digest;    // lowercase hexadecimal; empty when not computed
    Verdict verdict = Verdict::None;
    MismatchExplanation why; // for a mismatch: what the expected text holds instead
};

// Every slot back to no result (a new job, Clear all, another file).
void clearResults();
// The job's digest of `slot`, without a verdict until the next compareResults.
void publishResult(int slot, const std::string& digest);
// Every result compared with `expected` (the text in the field now), and for a mismatch why; an empty
// text leaves every result without a verdict. The results are those of the file `context.chosenFile`;
// which slots have one is filled in here. Compares again without reading the file.
void compareResults(const std::string& expected, CompareContext context);
[[nodiscard]] SlotResult slotResult(int slot);

// One "LABEL: digest" line with LF per flagged slot, in slot order: a slot without a result still gives
// its line, with nothing after the label. UTF-8, no byte-order mark, no CR; empty when no slot is flagged.
[[nodiscard]] std::string resultsText(const SlotFlags& slots);
