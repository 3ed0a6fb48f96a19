// The job's scheduler without a window: one read of the file for every pass, digests in slot order as
// single passes give them, files that change or fail under the job, abandoning on a stop, holding
// every thread, no thread or descriptor left, the worker count and the workers' priority.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../fingerprint/test_support.h"
#include "calc/job_scheduler.h"
#include "fingerprint/kernels.h"
#include "fingerprint/read_ahead.h"

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

// Puts the kernels in force with the family pass's kernel at `cost` hundredths of a single state's
// permutation; false on a machine without such a kernel.
bool lanesCosting(uint32_t cost) {
    KernelSet set = activeKernels();
    if (set.keccakLanes == nullptr) return false;
    set.keccakLanesCost = cost;
    setActiveKernels(set);
    return true;
}

// The same for the kernels of two SHA-2 states side by side (SHA-224 with SHA-256, SHA-384 with SHA-512);
// false where either is missing.
bool pairsCosting(uint32_t cost256, uint32_t cost512) {
    KernelSet set = activeKernels();
    if (set.sha256Pair == nullptr || set.sha512Pair == nullptr) return false;
    set.sha256PairCost = cost256;
    set.sha512PairCost = cost512;
    setActiveKernels(set);
    return true;
}

std::size_t entriesOf(const char* folder) {
    std::size_t count = 0;
    if (DIR* listing = opendir(folder)) {
        while (const dirent* entry = readdir(listing))
            count += entry->d_name[0] != '.';
        closedir(listing);
    }
    return count;
}

// A sanitizer starts a thread of its own with the first thread a program makes, so one is made and
// waited for until it has left the process's list, which a joined thread can stay on for a moment.
std::size_t settledThreads() {
    pid_t id = 0;
    std::thread([&] { id = gettid(); }).join();
    const std::string entry = "/proc/self/task/" + std::to_string(id);
    while (access(entry.c_str(), F_OK) == 0)
        sched_yield();
    return entriesOf("/proc/self/task");
}

// Threads and descriptors of this process; after the work the thread count is compared once it no
// longer exceeds the first.
struct ProcessCounts {
    std::size_t threads = settledThreads();
    std::size_t descriptors = entriesOf("/proc/self/fd");
    void expectBack() const {
        for (int i = 0; i < 100000 && entriesOf("/proc/self/task") > threads; ++i)
            sched_yield();
        EXPECT_EQ(entriesOf("/proc/self/task"), threads);
        EXPECT_EQ(entriesOf("/proc/self/fd"), descriptors);
    }
};

int failToCreate(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) {
    return EAGAIN;
}

// The schedule under test, for holds that look into it.
PassSchedule* Watched = nullptr;

// The reader is never more than the ring ahead of the slowest pass still wanted.
void expectRingBound() {
    std::lock_guard lock(Watched->mutex);
    for (const PassRecord& pass : Watched->passes) {
        if (pass.state != PassState::Running && pass.state != PassState::Waiting) continue;
        EXPECT_LE(Watched->blocksRead, pass.nextBlock + JobRingBlocks) << pass.requests.front().slot;
    }
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
        chooseKernels();
        unsetenv("HASHWARDEN_JOB_WORKERS");
        EXPECT_EQ(passWorkersAlive(), 0);
    }
};

// Whatever the ticks, the threads and whether threads can be made at all (without a reader thread
// the workers read), the digests are the single passes'; nothing is left running or open.
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
    struct Threads {
        int workers;
        bool creationFails;
    };
    const Threads threadCases[] = {{1, false}, {2, false}, {4, false}, {4, true}};
    const ProcessCounts before;
    for (const Threads& threads : threadCases) {
        setPassThreadCreator(threads.creationFails ? failToCreate : nullptr);
        for (const char* path : {file.path(), "/nonexistent/hashwarden-job"}) {
            for (const std::vector<int>& slots : patterns) {
                SCOPED_TRACE(testing::Message()
                             << path << ", " << slots.size() << " slots, " << threads.workers << " workers"
                             << (threads.creationFails ? ", no thread" : ""));
                PassSchedule schedule;
                Watched = &schedule;
                const int working = startPasses(schedule, path, requestsFor(slots), threads.workers,
                                                expectRingBound, nullptr);
                EXPECT_EQ(working, threads.creationFails ? 1
                                                         : std::max(1, std::min(threads.workers,
                                                                                static_cast<int>(schedule.passes.size()))));
                // As the job does: the slots are taken in order while the other threads run.
                for (int slot : slots) {
                    EXPECT_EQ(takePass(schedule, requestsFor({slot})[0]).digest,
                              path == file.path() ? expected[slot] : "")
                        << slot;
                }
                endPasses(schedule);
                EXPECT_EQ(passWorkersAlive(), 0);
            }
        }
    }
    setPassThreadCreator(nullptr);
    before.expectBack();
}

// Fails every read that starts past the third block, as a disk with a bad sector does.
ssize_t failingPastThreeBlocks(int fd, void* buffer, std::size_t count) {
    if (lseek(fd, 0, SEEK_CUR) >= static_cast<off_t>(3 * MiB)) {
        errno = EIO;
        return -1;
    }
    return read(fd, buffer, count);
}

// A file that changes under the job ends every pass at once: cut short, no digest (what is left is no
// version of the file), with the reason; removed after the job opened it, the whole file (the job
// holds it open); a read error mid-file, the empty text as a single pass gives. The ring stays
// bounded throughout.
TEST_F(JobScheduler, FileThatChangesUnderTheJobEndsEveryPassAsASinglePassWould) {
    constexpr std::size_t Size = (JobRingBlocks + 4) * MiB + 5;
    constexpr std::size_t CutTo = (JobRingBlocks + 2) * MiB + 100; // past whatever the ring holds
    const std::vector<uint8_t> bytes = testkit::randomBytes(Size, 13);
    static std::string path;
    static void (*change)() = nullptr;
    static std::mutex changing; // a thread at its gate waits while another makes the change
    static bool changed = false;
    struct Case {
        const char* name;
        void (*change)();
        std::size_t digestedBytes; // 0: every pass fails
        int failure;
    };
    const Case cases[] = {
        {"cut short", [] { EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(CutTo)), 0); }, 0,
         FileChangedWhileRead},
        {"removed", [] { EXPECT_EQ(unlink(path.c_str()), 0); }, Size, 0},
        {"read error", [] { filereader::setReadFunction(failingPastThreeBlocks); }, 0, EIO},
    };
    const ProcessCounts before;
    // Slots 8 and 10 in one family pass wherever a kernel runs several Keccak states.
    (void)lanesCosting(50);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(bytes);
        path = file.path();
        change = c.change;
        changed = false;
        PassSchedule schedule;
        Watched = &schedule;
        // At the first gate of any thread, before the reader can be past the ring.
        ASSERT_EQ(startPasses(
                      schedule, path, requestsFor({0, 1, 4, 8, 10}), 2,
                      [] {
                          {
                              std::lock_guard lock(changing);
                              if (!std::exchange(changed, true)) change();
                          }
                          expectRingBound();
                      },
                      nullptr),
                  2);
        for (int slot : {0, 1, 4, 8, 10}) {
            const std::string expected =
                c.digestedBytes == 0 ? "" : testkit::oracleDigest(Slots[slot], bytes.data(), c.digestedBytes);
            EXPECT_EQ(takePass(schedule, requestsFor({slot})[0]).digest, expected) << slot;
        }
        endPasses(schedule);
        EXPECT_EQ(schedule.failure, c.failure);
        if (c.failure == EIO) {
            TempFile again(bytes);
            EXPECT_EQ(fileFingerprint(again.path(), PluginMd5), "") << "a single pass under the same fault";
        }
        filereader::setReadFunction(nullptr);
    }
    before.expectBack();
}

// A stop abandons every pass not yet done at its next block, the one the job thread waits for
// included; a pass done before the stop keeps its digest.
TEST_F(JobScheduler, StopAbandonsEveryPassNotYetDoneAtItsNextBlock) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(8 * MiB + 1, 12);
    TempFile file(bytes);
    FirstGateHold::reset();
    std::atomic<int32_t> stop{0};
    PassSchedule schedule;
    // Two workers feed the two slowest passes (6 and 5) and wait at their first gate.
    ASSERT_EQ(startPasses(schedule, file.path(), requestsFor({4, 5, 6}), 3, FirstGateHold::hold, &stop), 3);
    FirstGateHold::waitForArrivals(2);
    stop = 1;
    FirstGateHold::release();
    const PassOutcome waited = takePass(schedule, requestsFor({4})[0]);
    EXPECT_TRUE(waited.abandoned);
    EXPECT_EQ(waited.digest, "");
    endPasses(schedule);
    for (std::size_t pass : {0, 1, 2}) {
        EXPECT_EQ(schedule.passes[pass].state, PassState::Abandoned) << pass;
        EXPECT_LE(schedule.passes[pass].nextBlock, 1) << pass;
    }
    EXPECT_EQ(passWorkersAlive(), 0);

    // One thread and a file of one short block: taking the first pass finishes both.
    const std::vector<uint8_t> small = testkit::randomBytes(1000, 13);
    TempFile smallFile(small);
    stop = 0;
    PassSchedule done;
    ASSERT_EQ(startPasses(done, smallFile.path(), requestsFor({4, 9}), 1, nullptr, &stop), 1);
    EXPECT_EQ(takePass(done, requestsFor({4})[0]).digest, testkit::oracleDigest(Slots[4], small.data(), small.size()));
    stop = 1;
    const PassOutcome kept = takePass(done, requestsFor({9})[0]);
    EXPECT_FALSE(kept.abandoned);
    EXPECT_EQ(kept.digest, testkit::oracleDigest(Slots[9], small.data(), small.size()));
    endPasses(done);
}

// The end abandons whatever was not taken; the workers are gone when it returns.
TEST_F(JobScheduler, EndLeavesNoWorkerBehind) {
    TempFile file(std::vector<uint8_t>(4 * MiB, 5));
    FirstGateHold::reset();
    PassSchedule schedule;
    ASSERT_EQ(startPasses(schedule, file.path(), requestsFor({5, 6}), 2, FirstGateHold::hold, nullptr), 2);
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

// Where the passes of the progress test report, and what its gates last saw there.
PassProgress Reported[11];
struct ProgressWatch {
    static inline std::mutex mutex;
    static inline int64_t fileSize = 0;
    static inline int64_t fed[11] = {};
    static inline bool ended[11] = {};
    static void reset(int64_t size) {
        fileSize = size;
        for (int slot = 0; slot < 11; ++slot) {
            Reported[slot].reset();
            fed[slot] = 0;
            ended[slot] = false;
        }
    }
    // At every gate of every thread: no count goes back or past the file, no pass un-ends.
    static void look() {
        std::lock_guard lock(mutex);
        for (int slot = 0; slot < 11; ++slot) {
            const bool endedNow = Reported[slot].ended;
            const int64_t fedNow = Reported[slot].bytesFed;
            EXPECT_GE(fedNow, fed[slot]) << slot;
            EXPECT_LE(fedNow, fileSize) << slot;
            EXPECT_TRUE(endedNow || !ended[slot]) << slot;
            fed[slot] = fedNow;
            ended[slot] = endedNow;
        }
    }
};

// Each pass reports the bytes it has fed and its end, failed passes included, on whichever thread
// feeds it; a pass a stop abandons never ends; a slot without a pass reports nothing.
TEST_F(JobScheduler, PassesReportTheBytesTheyHaveFedAndTheirEnd) {
    struct Case {
        const char* name;
        int64_t size; // -1: no such file
        std::vector<int> slots;
        int workers;
        bool stopped; // a stop before the start: every pass is abandoned before its first block
        int64_t fedWhenTaken;
    };
    const Case cases[] = {
        {"one pass", 3 * MiB + 7, {4}, 1, false, 3 * MiB + 7},
        {"three passes on two threads", 5 * MiB + 1, {0, 1, 10}, 2, false, 5 * MiB + 1},
        {"whole blocks", 4 * MiB, {2}, 1, false, 4 * MiB},
        {"an empty file", 0, {3, 7}, 2, false, 0},
        {"no such file", -1, {1, 4}, 2, false, 0},
        {"stopped before the start", 3 * MiB + 5, {2, 5}, 2, true, 0},
        // A family pass (where a kernel runs several Keccak states) reports for each of its slots.
        {"a family pass", 3 * MiB + 9, {4, 8, 9}, 2, false, 3 * MiB + 9},
        {"a family pass, no such file", -1, {7, 9}, 1, false, 0},
        {"a family pass stopped before the start", 2 * MiB + 3, {2, 7, 10}, 2, true, 0},
    };
    (void)lanesCosting(50);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(testkit::randomBytes(static_cast<std::size_t>(std::max<int64_t>(c.size, 0)), 21));
        const std::string path = c.size < 0 ? "/nonexistent/hashwarden-job" : file.path();
        ProgressWatch::reset(std::max<int64_t>(c.size, 0));
        std::vector<PassRequest> requests = requestsFor(c.slots);
        for (PassRequest& request : requests)
            request.progress = &Reported[request.slot];
        std::atomic<int32_t> stop{c.stopped ? 1 : 0};
        PassSchedule schedule;
        (void)startPasses(schedule, path, requests, c.workers, ProgressWatch::look, &stop);
        if (c.stopped) {
            // The worker drops every pass before the job reaches one.
            std::unique_lock lock(schedule.mutex);
            schedule.changed.wait(lock, [&] { return schedule.passes[0].state == PassState::Abandoned; });
        }
        for (const PassRequest& request : requests) {
            EXPECT_EQ(takePass(schedule, request).abandoned, c.stopped) << request.slot;
            ProgressWatch::look();
            EXPECT_EQ(Reported[request.slot].ended, !c.stopped) << request.slot;
            EXPECT_EQ(Reported[request.slot].bytesFed, c.fedWhenTaken) << request.slot;
        }
        endPasses(schedule);
        ProgressWatch::look();
        for (int slot = 0; slot < 11; ++slot) {
            const bool passed = std::find(c.slots.begin(), c.slots.end(), slot) != c.slots.end();
            const bool taken = passed && !c.stopped;
            EXPECT_EQ(Reported[slot].ended, taken) << slot;
            if (!passed) {
                EXPECT_EQ(Reported[slot].bytesFed, 0) << slot;
            }
        }
    }
}

// Two or more SHA-3 lengths share one pass where that makes the job shorter: one permutation of the
// kernel's lanes against one per length, the passes spread over the workers. Whichever passes run,
// each slot gets the digest of its own single pass.
TEST_F(JobScheduler, SHA3LengthsShareAPassWhereTheKernelsMakeTheJobShorter) {
    if (!lanesCosting(100)) GTEST_SKIP() << "no kernel runs several Keccak states here";
    const std::vector<uint8_t> bytes = testkit::randomBytes(MiB + 4321, 17);
    TempFile file(bytes);
    struct Case {
        uint32_t cost; // of a kernel call's permutation, in hundredths of one state's
        int workers;
        std::vector<int> slots;
        std::size_t fourLanes; // the slots in the pass of the first SHA-3 slot, with a four-lane kernel
        std::size_t twoLanes;  // and with a two-lane one, whose passes take two lengths each
    };
    const Case cases[] = {
        {100, 1, {7, 8}, 2, 2},
        {100, 1, {4, 7, 8, 9, 10}, 4, 2},
        // Two lanes: SHA3-384 and SHA3-512 share a pass on one worker, SHA3-224 runs on the other.
        {100, 2, {7, 9, 10}, 3, 1},
        {100, 1, {9}, 1, 1},
        // On two workers, two passes of SHA3-224 and SHA3-256 take as long as one of both.
        {100, 2, {7, 8}, 1, 1},
        // A kernel three times a single state's: one pass per length.
        {300, 1, {9, 10}, 1, 1},
        {300, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1, 1},
        // Dearer than a state's, still worth it where the other passes keep both workers busy.
        {150, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 4, 2},
    };
    const std::size_t lanes = activeKernels().keccakLaneCount;
    ASSERT_TRUE(lanes == 2 || lanes == 4) << lanes;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cost " << c.cost << ", " << c.workers << " workers, " << c.slots.size()
                                        << " slots");
        ASSERT_TRUE(lanesCosting(c.cost));
        PassSchedule schedule;
        (void)startPasses(schedule, file.path(), requestsFor(c.slots), c.workers, nullptr, nullptr);
        const auto first = std::find_if(c.slots.begin(), c.slots.end(), [](int slot) { return slot >= 7; });
        for (const PassRecord& pass : schedule.passes) {
            if (pass.requests.front().slot == *first) {
                EXPECT_EQ(pass.requests.size(), lanes == 4 ? c.fourLanes : c.twoLanes);
            }
        }
        for (int slot : c.slots)
            EXPECT_EQ(takePass(schedule, requestsFor({slot})[0]).digest,
                      testkit::oracleDigest(Slots[slot], bytes.data(), bytes.size()))
                << slot;
        endPasses(schedule);
    }
}

// SHA2-224 with SHA2-256, and SHA2-384 with SHA2-512, share a pass where that makes the job shorter,
// each pair on its own and beside the SHA-3 lengths' family pass or not; lengths of different word
// sizes never share. Each slot gets the digest of its own single pass.
TEST_F(JobScheduler, SHA2LengthsOfOneWordSizeShareAPassWhereTheKernelMakesTheJobShorter) {
    if (!pairsCosting(100, 100)) GTEST_SKIP() << "no kernels run two SHA-2 states here";
    const bool lanes = lanesCosting(100);
    const std::vector<uint8_t> bytes = testkit::randomBytes(MiB + 999, 23);
    TempFile file(bytes);
    struct Case {
        uint32_t cost256;   // of a pair's block, in hundredths of one state's
        uint32_t cost512;
        uint32_t lanesCost; // of the Keccak lanes' permutation (300: the SHA-3 lengths never share)
        int workers;
        std::vector<int> slots;
        std::size_t paired256; // the slots in the pass of SHA2-224 (slot 3) or SHA2-256 (slot 4)
        std::size_t paired512; // and in that of SHA2-384 (slot 5) or SHA2-512 (slot 6)
    };
    const Case cases[] = {
        {105, 140, 300, 1, {3, 4}, 2, 0},
        {105, 140, 300, 1, {5, 6}, 0, 2},
        // On two workers, two passes take as long as one of both.
        {105, 140, 300, 2, {3, 4}, 1, 0},
        // A pair that costs two states: nothing gained.
        {200, 200, 300, 1, {3, 4, 5, 6}, 1, 1},
        {105, 200, 300, 1, {3, 4, 5, 6}, 2, 1},
        {105, 140, 300, 1, {4, 6}, 1, 1},
        // The dearest pass sets the job's length: two passes on the other worker cost nothing.
        {105, 140, 300, 2, {3, 4, 10}, 1, 0},
        {105, 140, 300, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 2, 2},
        // All three families share, each in its own passes.
        {105, 140, 100, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 2, 2},
    };
    for (const Case& c : cases) {
        if (!lanes && c.lanesCost != 300) continue;
        SCOPED_TRACE(testing::Message() << "costs " << c.cost256 << ", " << c.cost512 << ", lanes " << c.lanesCost
                                        << ", " << c.workers << " workers, " << c.slots.size() << " slots");
        ASSERT_TRUE(pairsCosting(c.cost256, c.cost512));
        if (lanes) {
            ASSERT_TRUE(lanesCosting(c.lanesCost));
        }
        PassSchedule schedule;
        (void)startPasses(schedule, file.path(), requestsFor(c.slots), c.workers, nullptr, nullptr);
        std::size_t sha3Shared = 0;
        for (const PassRecord& pass : schedule.passes) {
            const PassRequest& first = pass.requests.front();
            for (const PassRequest& request : pass.requests) {
                if (request.slot == 3 || request.slot == 4) {
                    EXPECT_EQ(pass.requests.size(), c.paired256) << request.slot;
                }
                if (request.slot == 5 || request.slot == 6) {
                    EXPECT_EQ(pass.requests.size(), c.paired512) << request.slot;
                }
                EXPECT_EQ(sharedPassFamily(request.plugin, request.bits), sharedPassFamily(first.plugin, first.bits))
                    << request.slot;
            }
            if (pass.requests.size() > 1 && first.plugin == PluginSha3) ++sha3Shared;
        }
        EXPECT_EQ(sha3Shared != 0, c.lanesCost != 300);
        for (int slot : c.slots)
            EXPECT_EQ(takePass(schedule, requestsFor({slot})[0]).digest,
                      testkit::oracleDigest(Slots[slot], bytes.data(), bytes.size()))
                << slot;
        endPasses(schedule);
    }
}

// A stop abandons a family pass as a whole, also while the job waits for one of its slots.
TEST_F(JobScheduler, StopAbandonsAFamilyPassAsAWhole) {
    if (!lanesCosting(50)) GTEST_SKIP() << "no kernel runs several Keccak states here";
    const std::vector<uint8_t> bytes = testkit::randomBytes(6 * MiB + 3, 19);
    TempFile file(bytes);
    FirstGateHold::reset();
    std::atomic<int32_t> stop{0};
    PassSchedule schedule;
    // The worker takes the family pass, the dearest, and waits at its first gate.
    ASSERT_EQ(startPasses(schedule, file.path(), requestsFor({1, 8, 10}), 2, FirstGateHold::hold, &stop), 2);
    ASSERT_EQ(schedule.passes.size(), 2u);
    FirstGateHold::waitForArrivals(1);
    stop = 1;
    FirstGateHold::release();
    for (int slot : {8, 10})
        EXPECT_TRUE(takePass(schedule, requestsFor({slot})[0]).abandoned) << slot;
    endPasses(schedule);
    EXPECT_EQ(schedule.passes[1].state, PassState::Abandoned);
    EXPECT_LE(schedule.passes[1].nextBlock, 1);
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
                      schedule, file.path(), requestsFor({1, 5, 6}), 3,
                      [] {
                          std::lock_guard lock(mutex);
                          priorities.insert(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())));
                      },
                      nullptr),
                  3);
        for (int slot : {1, 5, 6})
            (void)takePass(schedule, requestsFor({slot})[0]);
        endPasses(schedule);
        priorities.insert(getpriority(PRIO_PROCESS, self));
    });
    job.join();
    EXPECT_EQ(priorities.size(), 1u);
    EXPECT_EQ(*priorities.begin(), getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())) + 3);
}

} // namespace
