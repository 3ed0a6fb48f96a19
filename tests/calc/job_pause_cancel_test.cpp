// The calculation job's pause, cancel and worker count without a window: a paused job uses no
// processor and goes on where it stopped, a cancel abandons the passes under way, and the results
// equal single passes whatever the number of workers.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../fingerprint/test_support.h"
#include "calc/calculation_job.h"
#include "calc/job_results.h"
#include "calc/job_scheduler.h"

namespace {

using testkit::Slots;
using testkit::TempFile;

SlotFlags flagsOf(const std::set<int>& slots) {
    SlotFlags flags{};
    for (int slot : slots)
        flags[slot] = true;
    return flags;
}

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A file of zeros without the disk work: hashing zeros costs as much as any bytes.
class SparseFile {
  public:
    explicit SparseFile(off_t size) {
        char name[] = "/tmp/hw-job-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        ok_ = fd >= 0 && ftruncate(fd, size) == 0;
        if (fd >= 0) close(fd);
    }
    ~SparseFile() { std::remove(path_.c_str()); }
    SparseFile(const SparseFile&) = delete;
    SparseFile& operator=(const SparseFile&) = delete;
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] bool ok() const { return ok_; }

  private:
    std::string path_;
    bool ok_ = false;
};

// Holds the job thread at the first gate it passes at `slot` once the job has done `share` of its
// work, until released; records the thread, whose processor time the test then reads.
struct GateHold {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline int slot = -1;
    static inline double share = 0;
    static inline bool reached = false;
    static inline bool released = false;
    static inline pthread_t thread{};
    static void arm(int atSlot, double atShare) {
        std::lock_guard lock(mutex);
        slot = atSlot;
        share = atShare;
        reached = released = false;
        setJobGateProbe(probe);
    }
    static void probe(int at) {
        std::unique_lock lock(mutex);
        if (reached || at != slot || jobProgress() < share) return;
        reached = true;
        thread = pthread_self();
        changed.notify_all();
        changed.wait(lock, [] { return released; });
    }
    static void waitReached() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [] { return reached; });
    }
    static void release() {
        {
            std::lock_guard lock(mutex);
            released = true;
        }
        changed.notify_all();
    }
};

class JobPauseCancel : public ::testing::Test {
  protected:
    void SetUp() override {
        testkit::registerPluginsOnce();
        setJobListener({nullptr, onEnded});
        clearResults();
    }
    void TearDown() override {
        GateHold::release();
        waitForEnd();
        setJobGateProbe(nullptr);
        setJobListener({});
        unsetenv("HASHWARDEN_JOB_WORKERS");
        clearResults();
    }
    static void forceWorkers(int count) { setenv("HASHWARDEN_JOB_WORKERS", std::to_string(count).c_str(), 1); }
    static void onEnded() {
        std::lock_guard lock(EndMutex);
        Ended = true;
        EndChanged.notify_all();
    }
    static void start(const std::string& path, const std::set<int>& ticked) {
        {
            std::lock_guard lock(EndMutex);
            Ended = false;
        }
        startJob({path, flagsOf(ticked)});
    }
    // Until the job's thread has done its last work, then its end handled as the main loop would.
    static JobOutcome waitForEnd() {
        {
            std::unique_lock lock(EndMutex);
            EndChanged.wait(lock, [] { return Ended || !jobRunning(); });
        }
        while (jobThreadActive())
            sched_yield();
        return acknowledgeJobEnd();
    }
    static void waitForHeldThreads(int count) {
        while (jobThreadsHeldAtGate() < count)
            sched_yield();
    }
    static inline std::mutex EndMutex;
    static inline std::condition_variable EndChanged;
    static inline bool Ended = false;
};

// The processor time of the job's threads, which alone run at its lower priority (nice 5), from each
// thread's schedstat in nanoseconds: neither the test's own thread nor a sanitizer's threads count.
double jobThreadsCpuSeconds(int* threads = nullptr, bool* asleep = nullptr) {
    double total = 0;
    int counted = 0;
    if (asleep != nullptr) *asleep = true;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    while (const dirent* task = readdir(tasks)) {
        if (task->d_name[0] == '.') continue;
        const std::string folder = std::string("/proc/self/task/") + task->d_name;
        std::ifstream stat(folder + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t name = line.rfind(')');
        if (name == std::string::npos) continue;
        std::istringstream fields(line.substr(name + 2)); // from field 3, the state
        std::string state, field;
        fields >> state;
        for (int number = 4; number <= 19; ++number) // field 19 is the nice value
            fields >> field;
        if (field != "5") continue;
        if (asleep != nullptr && state != "S") *asleep = false;
        std::ifstream schedstat(folder + "/schedstat");
        unsigned long long nanoseconds = 0;
        if (!(schedstat >> nanoseconds)) {
            closedir(tasks);
            return -1;
        }
        total += static_cast<double>(nanoseconds) / 1e9;
        ++counted;
    }
    closedir(tasks);
    if (threads != nullptr) *threads = counted;
    return total;
}

TEST_F(JobPauseCancel, APausedJobUsesNoCpuAndGoesOnWhereItStopped) {
    forceWorkers(1);
    const std::vector<uint8_t> bytes = testkit::randomBytes(24u << 20, 31);
    const TempFile file(bytes);
    GateHold::arm(10, 0.25);
    start(file.path(), {10});
    GateHold::waitReached();
    pauseJob();
    GateHold::release();
    waitForHeldThreads(1);
    clockid_t clock;
    ASSERT_EQ(pthread_getcpuclockid(GateHold::thread, &clock), 0);
    const double before = cpuSeconds(clock);
    const double progressPausing = jobProgress();
    // A window to measure in, not to wait for an event: the job is already held.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double pausedCpu = cpuSeconds(clock) - before;
    const double progressPaused = jobProgress();
    resumeJob();
    const JobOutcome outcome = waitForEnd();
    std::printf("job thread CPU time during a 300 ms pause: %.6f s\n", pausedCpu);
    EXPECT_GE(pausedCpu, 0.0);
    EXPECT_LT(pausedCpu, 0.005);
    // Not a byte hashed while paused, the one pass not yet at its end.
    EXPECT_EQ(progressPaused, progressPausing);
    EXPECT_LT(progressPaused, 1.0);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(slotResult(10).digest, testkit::oracleDigest(Slots[10], bytes.data(), bytes.size()));
}

// Two threads mid-pass when the pause begins: both wait at a gate, the process uses no processor,
// and a cancel abandons both passes, the one the job thread waits for too.
TEST_F(JobPauseCancel, PausedWorkersUseNoCpuAndACancelAbandonsTheirPass) {
    forceWorkers(2);
    const SparseFile big(off_t{256} << 20);
    ASSERT_TRUE(big.ok());
    // Held as it reaches the CRC-32 slot; the worker has started SHA3-512.
    GateHold::arm(0, 0);
    start(big.path(), {0, 10});
    GateHold::waitReached();
    while (passWorkersAlive() != 1)
        sched_yield();
    pauseJob();
    GateHold::release();
    waitForHeldThreads(2);
    // Held means past the gate's count, not yet asleep in it: what a thread runs until it sleeps is
    // accounted at that switch, so the window opens once every thread of the job sleeps.
    int jobThreads = 0;
    bool asleep = false;
    double before = jobThreadsCpuSeconds(&jobThreads, &asleep);
    while (!asleep) {
        sched_yield();
        before = jobThreadsCpuSeconds(&jobThreads, &asleep);
    }
    ASSERT_GE(before, 0.0) << "no thread's schedstat to read";
    ASSERT_GE(jobThreads, 2) << "the job thread and its worker, both held";
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // a window to measure in
    const double pausedCpu = jobThreadsCpuSeconds() - before;
    cancelJob();
    EXPECT_TRUE(jobCancelRequested());
    resumeJob();
    const JobOutcome outcome = waitForEnd();
    std::printf("the job's threads' CPU time during a 300 ms pause with two threads mid-pass: %.6f s\n", pausedCpu);
    EXPECT_GE(pausedCpu, 0.0);
    EXPECT_LT(pausedCpu, 0.005);
    EXPECT_EQ(passWorkersAlive(), 0);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_FALSE(jobCancelRequested()) << "the end's handling clears the cancel for the next job";
    EXPECT_FALSE(slotResult(0).computed);
    EXPECT_FALSE(slotResult(10).computed);
}

// The results come out as single passes would give them, whatever the number of workers, more than
// cores included; a missing file fails every ticked algorithm once, with its reason.
TEST_F(JobPauseCancel, ResultsEqualSinglePassesWithOneTwoAndFourWorkers) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(3 * (1 << 20) + 1234, 7);
    auto file = std::make_unique<TempFile>(bytes);
    const std::vector<std::set<int>> patterns = {
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
        {1, 2, 4},
        {0, 10},
        {3, 5, 8, 9},
    };
    std::string expected[SlotCount];
    for (int slot = 0; slot < SlotCount; ++slot)
        expected[slot] = testkit::oracleDigest(Slots[slot], bytes.data(), bytes.size());
    const std::string path = file->path();
    for (int workers : {1, 2, 4}) {
        forceWorkers(workers);
        for (const std::set<int>& ticked : patterns) {
            SCOPED_TRACE(testing::Message() << workers << " workers, " << ticked.size() << " ticked");
            clearResults();
            start(path, ticked);
            const JobOutcome outcome = waitForEnd();
            EXPECT_EQ(outcome.failed, 0);
            EXPECT_EQ(outcome.failure, 0);
            for (int slot = 0; slot < SlotCount; ++slot)
                EXPECT_EQ(slotResult(slot).digest, ticked.count(slot) != 0 ? expected[slot] : "") << slot;
        }
    }
    file.reset();
    for (int workers : {1, 4}) {
        SCOPED_TRACE(workers);
        forceWorkers(workers);
        clearResults();
        start(path, patterns[0]);
        const JobOutcome outcome = waitForEnd();
        EXPECT_EQ(outcome.failed, 11);
        EXPECT_EQ(outcome.failure, ENOENT);
        for (int slot = 0; slot < SlotCount; ++slot)
            EXPECT_FALSE(slotResult(slot).computed) << slot;
    }
}

} // namespace
