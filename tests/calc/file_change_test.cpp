// A file that changes while the job reads it gives no digest and names why; one that only loses or
// changes its name is read whole. A disk's size comes from the device, so its progress moves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../fingerprint/test_support.h"
#include "calc/calculation_job.h"
#include "files/file_failure.h"
#include "calc/job_results.h"

namespace {

using testkit::Slots;

// Two passes, one thread each besides nothing else: CRC32 and SHA1 share no family pass.
constexpr int FirstSlot = 0;
constexpr int SecondSlot = 2;
// Longer than the ring the reader may run ahead by, so a held job has not reached the end.
constexpr std::size_t BigFile = (16u << 20) + 5;
constexpr std::size_t OneMiB = 1u << 20;

std::atomic<bool> Ended{false};

void onEnded() {
    Ended = true;
}

void writeAt(const std::string& path, off_t offset, const std::vector<uint8_t>& bytes) {
    const int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
    close(fd);
}

timespec timesOf(const std::string& path, bool change) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0);
    return change ? status.st_ctim : status.st_mtim;
}

bool later(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// File times come from the system's coarse clock: once it has moved past the file's change time,
// any change made now gives the file another one.
void waitUntilClockPasses(const timespec& moment) {
    timespec now{};
    do {
        sched_yield();
        clock_gettime(CLOCK_REALTIME_COARSE, &now);
    } while (!later(now, moment));
}

class FileChange : public ::testing::Test {
  protected:
    void SetUp() override {
        testkit::registerPluginsOnce();
        setenv("HASHWARDEN_JOB_WORKERS", "2", 1);
        setJobListener({nullptr, onEnded});
        clearResults();
        char pattern[] = "/tmp/hwchangeXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder + "/image.bin";
    }
    void TearDown() override {
        setJobListener({});
        setJobGateProbe(nullptr);
        unsetenv("HASHWARDEN_JOB_WORKERS");
        std::filesystem::remove_all(folder);
        clearResults();
    }
    // The file with a modification time an hour old, so that a write moves it whatever the clock's
    // granularity, and the clock already past its change time.
    void writeFile() {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const timespec times[2] = {now, {now.tv_sec - 3600, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        waitUntilClockPasses(timesOf(path, true));
    }
    // Runs a job over `name` whose `threads` threads are all held before it has read to the end, does
    // `change` meanwhile, and waits for its end.
    void runChangedUnderTheJob(const std::string& name, const std::function<void()>& change,
                               int threads = 2) {
        Ended = false;
        pauseJob();
        SlotFlags ticked{};
        ticked[FirstSlot] = ticked[SecondSlot] = true;
        startJob({name, ticked});
        while (jobThreadsHeldAtGate() < threads)
            sched_yield();
        change();
        resumeJob();
        while (!Ended || jobThreadActive())
            sched_yield();
    }
    void expectDigestsOf(const std::vector<uint8_t>& content) {
        EXPECT_EQ(lastJobOutcome().failed, 0);
        EXPECT_EQ(lastJobOutcome().failure, 0);
        for (int slot : {FirstSlot, SecondSlot})
            EXPECT_EQ(slotResult(slot).digest,
                      testkit::oracleDigest(Slots[slot], content.data(), content.size()))
                << slot;
    }
    std::string folder;
    std::string path;
    std::vector<uint8_t> bytes = testkit::randomBytes(BigFile, 41);
};

TEST_F(FileChange, AFileWrittenWhileReadFailsEveryPassWithTheReasonAndNoDigest) {
    const std::vector<uint8_t> other = testkit::randomBytes(OneMiB, 42);
    const struct {
        const char* name;
        std::function<void(const std::string&, const timespec& modified)> change;
    } cases[] = {
        {"first and last MiB rewritten, same size",
         [&](const std::string& file, const timespec&) {
             writeAt(file, 0, other);
             writeAt(file, static_cast<off_t>(BigFile - OneMiB), other);
         }},
        {"truncated to 2 MiB",
         [](const std::string& file, const timespec&) { ASSERT_EQ(truncate(file.c_str(), 2 << 20), 0); }},
        {"appended to", [&](const std::string& file, const timespec&) { writeAt(file, BigFile, other); }},
        {"last MiB rewritten and the old modification time put back",
         [&](const std::string& file, const timespec& modified) {
             writeAt(file, static_cast<off_t>(BigFile - OneMiB), other);
             const timespec times[2] = {modified, modified};
             ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile();
        const timespec modified = timesOf(path, false);
        runChangedUnderTheJob(path, [&] { c.change(path, modified); });
        EXPECT_EQ(lastJobOutcome().failed, 2);
        EXPECT_EQ(lastJobOutcome().failure, FileChangedWhileRead);
        for (int slot : {FirstSlot, SecondSlot}) {
            EXPECT_FALSE(slotResult(slot).computed) << slot;
            EXPECT_EQ(slotResult(slot).digest, "") << slot;
        }
        clearResults();
    }
}

TEST_F(FileChange, AFileThatOnlyLosesOrChangesItsNameIsReadWhole) {
    const struct {
        const char* name;
        std::function<void(const std::string&)> change;
    } cases[] = {
        {"left alone", [](const std::string&) {}},
        {"deleted", [](const std::string& file) { ASSERT_EQ(unlink(file.c_str()), 0); }},
        {"renamed",
         [](const std::string& file) { ASSERT_EQ(rename(file.c_str(), (file + ".old").c_str()), 0); }},
        {"given a second name",
         [](const std::string& file) { ASSERT_EQ(link(file.c_str(), (file + ".2").c_str()), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(path + ".old");
        std::filesystem::remove(path + ".2");
        writeFile();
        runChangedUnderTheJob(path, [&] { c.change(path); });
        expectDigestsOf(bytes);
        clearResults();
    }
}

// The job's progress counts bytes against the file's size; a disk's node says 0, so without the
// device's own size a pass would show nothing until it ended.
TEST_F(FileChange, ADiskIsReadWholeAndItsProgressMovesWithinAPass) {
    if (geteuid() != 0 || access("/dev/loop-control", F_OK) != 0)
        GTEST_SKIP() << "needs root and loop devices";
    bytes.resize(4 * OneMiB);
    writeFile();
    std::string device;
    if (std::FILE* losetup = popen(("losetup --find --show '" + path + "' 2>/dev/null").c_str(), "r")) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, losetup) != nullptr) device = line;
        pclose(losetup);
    }
    while (!device.empty() && device.back() == '\n')
        device.pop_back();
    if (device.empty()) GTEST_SKIP() << "no loop device could be set up";

    const FileVersion disk = fileVersionAt(device);
    EXPECT_TRUE(disk.disk);
    EXPECT_EQ(disk.size, static_cast<int64_t>(bytes.size()));

    // Between two blocks of the first pass, on the only thread of the job.
    setenv("HASHWARDEN_JOB_WORKERS", "1", 1);
    static std::atomic<double> partShown{0};
    partShown = 0;
    setJobGateProbe([](int) {
        const double done = jobProgress();
        if (done > 0 && done < 1) partShown = done;
    });
    runChangedUnderTheJob(
        device, [] {}, 1);
    setJobGateProbe(nullptr);
    EXPECT_EQ(std::system(("losetup -d '" + device + "'").c_str()), 0);
    expectDigestsOf(bytes);
    EXPECT_GT(partShown.load(), 0.0);
    EXPECT_DOUBLE_EQ(jobProgress(), 2.0);
}

} // namespace
