// The job's scheduler without a window: digests in slot order, abandoning on a stop, holding every
// thread, the worker count and the workers' priority.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../fingerprint/test_support.h"
#include "calc/job_scheduler.h"

namespace {

using testkit::Slots;
using testkit::TempFile;

constexpr std::size_t MiB = 1 << 20;

std::vector<PassRequest> requestsFor(const std::vector<int>& slots) {
    std::vector<PassRequest> requests;
    for (int slot : slots)
        requests.push_back({slot, Slots[slot].plugin, Slots[slot].bits});
    return requests;
}

// Holds every thread at its first gate until released; counts every gate passed.
struct FirstGateHold {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline int arrived = 0;
    static inline int gates = 0;
    static inline bool released = false;
    static inline thread_local bool held = false;
    static void reset() {
        std::lock_guard lock(mutex);
        arrived = gates = 0;
        released = false;
    }
    static void hold() {
        std::unique_lock lock(mutex);
        ++gates;
        if (held) return;
        held = true;
        ++arrived;
        changed.notify_all();
        changed.wait(lock, [] { return released; });
    }
    static void waitForArrivals(int count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return arrived >= count; });
    }
    static void release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

class JobScheduler : public testing::Test {
  protected:
    static void SetUpTestSuite() { testkit::registerPluginsOnce(); }
    void TearDown() override {
        unsetenv("HASHWARDEN_JOB_WORKERS");
        EXPECT_EQ(passWorkersAlive(), 0);
    }
};

TEST_F(JobScheduler, DigestsInSlotOrderEqualSinglePasses) {
    // Full blocks and a tail, so every pass passes its gate.
    const std::vector<uint8_t> bytes = testkit::randomBytes(2 * MiB + 1234, 11);
    TempFile file(bytes);
    const std::vector<std::vector<int>> patterns = {
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {1, 2, 4}, {0, 10}, {7}, {3, 5, 8, 9}, {},
    };
    std::string expected[11];
    for (int slot = 0; slot < 11; ++slot)
        expected[slot] = testkit::oracleDigest(Slots[slot], bytes.data(), bytes.size());
    for (const char* path : {file.path(), "/nonexistent/hashwarden-job"}) {
        for (const std::vector<int>& slots : patterns) {
            for (int workers : {1, 2, 4}) {
                SCOPED_TRACE(testing::Message()
                             << path << ", " << slots.size() << " slots, " << workers << " workers");
                PassSchedule schedule;
                const int working =
                    startPasses(schedule, path, requestsFor(slots), workers, nullptr, nullptr);
                EXPECT_EQ(working, std::max(1, std::min<int>(workers, static_cast<int>(slots.size()))));
                for (int slot : slots)
                    EXPECT_EQ(takePass(schedule, requestsFor({slot})[0]),
                              path == file.path() ? expected[slot] : "")
                        << slot;
                endPasses(schedule);
                EXPECT_EQ(passWorkersAlive(), 0);
            }
        }
    }
}

// A stop abandons the passes after the reached slot at their next block, whether it comes before or
// after the job reaches its slot; the reached slot's pass is computed all the same.
TEST_F(JobScheduler, StopAbandonsThePassesAfterTheReachedSlotAtTheirNextBlock) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(8 * MiB + 1, 12);
    TempFile file(bytes);
    for (bool stopBeforeReach : {false, true}) {
        SCOPED_TRACE(stopBeforeReach ? "stop before the slot is reached" : "stop after the slot is reached");
        FirstGateHold::reset();
        std::atomic<int32_t> stop{0};
        PassSchedule schedule;
        // Two workers take the two slowest passes (10 and 9) and wait at their first gate.
        ASSERT_EQ(startPasses(schedule, file.path(), requestsFor({8, 9, 10}), 3, FirstGateHold::hold, &stop),
                  3);
        FirstGateHold::waitForArrivals(2);
        if (stopBeforeReach) stop = 1;
        reachPass(schedule, 8);
        stop = 1;
        FirstGateHold::release();
        EXPECT_EQ(takePass(schedule, requestsFor({8})[0]),
                  testkit::oracleDigest(Slots[8], bytes.data(), bytes.size()));
        endPasses(schedule);
        // Eight gates of the taken pass, one of each abandoned pass.
        EXPECT_EQ(FirstGateHold::gates, 10);
        EXPECT_EQ(passWorkersAlive(), 0);
    }
}

// The end abandons whatever was not taken; the workers are gone when it returns.
TEST_F(JobScheduler, EndLeavesNoWorkerBehind) {
    TempFile file(std::vector<uint8_t>(4 * MiB, 5));
    FirstGateHold::reset();
    PassSchedule schedule;
    ASSERT_EQ(startPasses(schedule, file.path(), requestsFor({9, 10}), 2, FirstGateHold::hold, nullptr), 2);
    FirstGateHold::waitForArrivals(1);
    EXPECT_EQ(passWorkersAlive(), 1);
    std::thread ender([&] { endPasses(schedule); });
    {
        std::unique_lock lock(schedule.mutex);
        schedule.changed.wait(lock, [&] { return schedule.ended; });
    }
    FirstGateHold::release();
    ender.join();
    EXPECT_EQ(passWorkersAlive(), 0);
    EXPECT_EQ(FirstGateHold::gates, 1);
}

TEST_F(JobScheduler, WorkerCountFollowsTheCoresOrTheTestSettingCappedByThePasses) {
    const int cores = passWorkerCount(64);
    EXPECT_GE(cores, 1);
    EXPECT_EQ(passWorkerCount(0), 1);
    EXPECT_EQ(passWorkerCount(1), 1);
    struct Case {
        const char* forced;
        int passes;
        int expected;
    };
    const Case cases[] = {{"4", 11, 4}, {"4", 2, 2}, {"1", 11, 1}, {"0", 64, cores}, {"many", 64, cores}};
    for (const Case& c : cases) {
        setenv("HASHWARDEN_JOB_WORKERS", c.forced, 1);
        EXPECT_EQ(passWorkerCount(c.passes), c.expected) << c.forced << ", " << c.passes;
    }
}

// The window's job thread runs at a lower priority than the main loop; its workers must too.
TEST_F(JobScheduler, WorkersRunAtTheStartingThreadsPriority) {
    TempFile file(std::vector<uint8_t>(2 * MiB, 9));
    static std::mutex mutex;
    static std::set<int> priorities;
    priorities.clear();
    std::thread job([&] {
        const id_t self = static_cast<id_t>(gettid());
        ASSERT_EQ(setpriority(PRIO_PROCESS, self, getpriority(PRIO_PROCESS, self) + 3), 0);
        PassSchedule schedule;
        ASSERT_EQ(startPasses(
                      schedule, file.path(), requestsFor({1, 9, 10}), 3,
                      [] {
                          std::lock_guard lock(mutex);
                          priorities.insert(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())));
                      },
                      nullptr),
                  3);
        for (int slot : {1, 9, 10})
            (void)takePass(schedule, requestsFor({slot})[0]);
        endPasses(schedule);
        priorities.insert(getpriority(PRIO_PROCESS, self));
    });
    job.join();
    EXPECT_EQ(priorities.size(), 1u);
    EXPECT_EQ(*priorities.begin(), getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())) + 3);
}

} // namespace
