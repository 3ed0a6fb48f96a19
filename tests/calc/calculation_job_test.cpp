// The calculation job without a window: what it publishes, in which order, with which verdicts, and that
// a paused job publishes nothing; the results text built from what it published.
#include <gtest/gtest.h>
#include <sched.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "../fingerprint/test_support.h"
#include "calc/calculation_job.h"
#include "calc/job_results.h"

namespace {

using testkit::Slots;
using testkit::TempFile;

// What the listener heard, on the job thread: the slots with a result at each call, and the end.
struct Heard {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::set<int>> published;
    bool ended = false;
    int callsAfterEnd = 0;
};
Heard* Listening = nullptr;

std::set<int> computedSlots() {
    std::set<int> slots;
    for (int slot = 0; slot < SlotCount; ++slot)
        if (slotResult(slot).computed) slots.insert(slot);
    return slots;
}

void onResults() {
    std::lock_guard lock(Listening->mutex);
    if (Listening->ended) ++Listening->callsAfterEnd;
    Listening->published.push_back(computedSlots());
}

void onEnded() {
    std::lock_guard lock(Listening->mutex);
    Listening->ended = true;
    Listening->changed.notify_all();
}

class CalculationJob : public ::testing::Test {
  protected:
    void SetUp() override {
        testkit::registerPluginsOnce();
        Listening = &heard;
        setJobListener({onResults, onEnded});
        clearResults();
    }
    void TearDown() override {
        setJobListener({});
        Listening = nullptr;
    }
    void runAndWait(const JobInputs& inputs) {
        startJob(inputs);
        std::unique_lock lock(heard.mutex);
        heard.changed.wait(lock, [&] { return heard.ended; });
        lock.unlock();
        while (jobThreadActive())
            sched_yield();
    }
    Heard heard;
    std::vector<uint8_t> bytes = testkit::randomBytes(3 * (1 << 20) + 17, 25);
    TempFile file{bytes};
};

SlotFlags flagsOf(const std::set<int>& slots) {
    SlotFlags flags{};
    for (int slot : slots)
        flags[slot] = true;
    return flags;
}

TEST_F(CalculationJob, PublishesEachTickedResultInSlotOrderThenEnds) {
    const std::string sha256 = testkit::oracleDigest(Slots[4], bytes.data(), bytes.size());
    struct Case {
        std::set<int> ticked;
        std::string expected;
    } cases[] = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, sha256}, {{1, 4, 9}, ""}, {{10}, sha256 + " "}, {{}, sha256}};
    for (const Case& job : cases) {
        heard.published.clear();
        heard.ended = false;
        runAndWait({file.path(), flagsOf(job.ticked)});
        EXPECT_EQ(slotResult(4).verdict, Verdict::None) << "the job compares nothing itself";
        compareResults(job.expected, {file.path()});
        EXPECT_EQ(lastJobOutcome().failed, 0);
        EXPECT_EQ(heard.callsAfterEnd, 0);
        // Each call sees one more ticked slot than the last, in slot order.
        ASSERT_EQ(heard.published.size(), job.ticked.size());
        std::set<int> sofar;
        auto next = job.ticked.begin();
        for (const std::set<int>& seen : heard.published) {
            sofar.insert(*next++);
            EXPECT_EQ(seen, sofar);
        }
        for (int slot = 0; slot < SlotCount; ++slot) {
            const SlotResult result = slotResult(slot);
            const bool ticked = job.ticked.count(slot) != 0;
            EXPECT_EQ(result.digest, ticked ? testkit::oracleDigest(Slots[slot], bytes.data(), bytes.size()) : "")
                << slot;
            const Verdict verdict = !ticked || job.expected.empty() ? Verdict::None
                                    : result.digest == job.expected ? Verdict::Match
                                                                    : Verdict::Mismatch;
            EXPECT_EQ(result.verdict, verdict) << slot;
        }
        clearResults();
    }
}

TEST_F(CalculationJob, APausedJobPublishesNothingUntilItIsResumed) {
    pauseJob();
    startJob({file.path(), flagsOf({0, 7})});
    while (jobThreadsHeldAtGate() == 0)
        sched_yield();
    {
        std::lock_guard lock(heard.mutex);
        EXPECT_TRUE(heard.published.empty());
        EXPECT_FALSE(heard.ended);
    }
    EXPECT_TRUE(computedSlots().empty());
    resumeJob();
    std::unique_lock lock(heard.mutex);
    heard.changed.wait(lock, [&] { return heard.ended; });
    EXPECT_EQ(heard.published.size(), 2u);
    lock.unlock();
    while (jobThreadActive())
        sched_yield();
}

TEST_F(CalculationJob, ResultsTextHasALineForEachFlaggedSlotWithOrWithoutAResult) {
    runAndWait({file.path(), flagsOf({0, 2})});
    const std::string crc = testkit::oracleDigest(Slots[0], bytes.data(), bytes.size());
    EXPECT_EQ(resultsText(flagsOf({0, 1})), "CRC32: " + crc + "\nMD5: \n");
    EXPECT_EQ(resultsText(flagsOf({})), "");
    clearResults();
    EXPECT_EQ(resultsText(flagsOf({0})), "CRC32: \n");
}

} // namespace
