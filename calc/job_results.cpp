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

void clearVerdicts() {
    std::lock_guard lock(ResultsLock);
    for (SlotResult& result : Results) {
        result.verdict = Verdict::None;
        result.why = MismatchExplanation{};
    }
}

void publishResult(int slot, const std::string& digest, const std::string& expected, const std::string& file) {
    if (!validSlot(slot)) return;
    SlotResult result{true, digest, expected.empty() ? Verdict::None : compareResult(digest, expected), {}};
    if (result.verdict == Verdict::Mismatch) result.why = explainMismatch(digest, expected, file);
    std::lock_guard lock(ResultsLock);
    Results[slot] = std::move(result);
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
