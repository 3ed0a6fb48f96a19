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
// Every result loses its verdict and keeps its digest: the expected checksum it was compared with is
// no longer the one in the field.
void clearVerdicts();
// The job's digest of `slot` with its verdict against the job's expected checksum (none when that
// was empty), and for a mismatch why; `file` is the path the digest is of.
void publishResult(int slot, const std::string& digest, const std::string& expected, const std::string& file);
[[nodiscard]] SlotResult slotResult(int slot);

// One "LABEL: digest" line with LF per flagged slot, in slot order: a slot without a result still gives
// its line, with nothing after the label. UTF-8, no byte-order mark, no CR; empty when no slot is flagged.
[[nodiscard]] std::string resultsText(const SlotFlags& slots);
