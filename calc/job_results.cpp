// The results of the last job, kept under a lock: the job thread writes them, the main thread reads.
#include "calc/job_results.h"

#include <array>
#include <mutex>
#include <utility>

namespace {

std::mutex ResultsLock;
std::array<SlotResult, SlotCount> Results; // guarded by ResultsLock

bool validSlot(int slot) {
    return slot >= 0 && slot < SlotCount;
}

} // namespace

void clearResults() {
    std::lock_guard lock(ResultsLock);
    Results.fill(SlotResult{});
}

void publishResult(int slot, const std::string& digest) {
    if (!validSlot(slot)) return;
    std::lock_guard lock(ResultsLock);
    Results[slot] = SlotResult{true, digest, Verdict::None, {}};
}

void compareResults(const std::string& expected, CompareContext context) {
    std::lock_guard lock(ResultsLock);
    for (int slot = 0; slot < SlotCount; ++slot)
        context.computed[slot] = Results[slot].computed;
    for (SlotResult& result : Results) {
        result.verdict = expected.empty() || !result.computed ? Verdict::None : compareResult(result.digest, expected);
        result.why = result.verdict == Verdict::Mismatch ? explainMismatch(result.digest, expected, context)
                                                         : MismatchExplanation{};
    }
}

SlotResult slotResult(int slot) {
    if (!validSlot(slot)) return {};
    std::lock_guard lock(ResultsLock);
    return Results[slot];
}

std::string resultsText(const SlotFlags& slots) {
    std::string text;
    std::lock_guard lock(ResultsLock);
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (!slots[slot]) continue;
        text += AlgorithmSlots[slot].resultLabel;
        text += Results[slot].digest;
        text += '\n';
    }
    return text;
}
