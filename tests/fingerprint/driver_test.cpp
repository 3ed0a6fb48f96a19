// The registry and the file driver: read sizes, offsets and lengths, failures, read errors, the block gate.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fingerprint/engine.h"
#include "fingerprint/md5/md5.h"
#include "test_support.h"

namespace {

using testkit::Slots;
using testkit::TempFile;

constexpr std::size_t MiB = FingerprintReadSize;

// A plugin that records the count of every update, so the driver's reads can be seen exactly.
constexpr int RecordingPlugin = 77;
std::vector<uint32_t> RecordedCounts;

FingerprintState* recordingStart(int32_t, uint32_t) {
    RecordedCounts.clear();
    return new FingerprintState{8, {}};
}
void recordingUpdate(FingerprintState* state, const uint8_t* bytes, uint32_t count) {
    RecordedCounts.push_back(count);
    for (uint32_t i = 0; i < count; ++i)
        state->digest[0] = static_cast<uint8_t>(state->digest[0] + bytes[i]);
}
void recordingFinish(FingerprintState*) {}
void recordingDestroy(FingerprintState* state) {
    delete state;
}

class Driver : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        testkit::registerPluginsOnce();
        if (FingerprintPlugin* entry = registerPlugin(RecordingPlugin)) {
            entry->start = recordingStart;
            entry->update = recordingUpdate;
            entry->finish = recordingFinish;
            entry->destroy = recordingDestroy;
        }
    }
    void TearDown() override { setBlockGate(nullptr); }

    static std::vector<uint32_t> countsOf(const char* path, int64_t offset = 0, int64_t length = -1) {
        EXPECT_FALSE(fileFingerprint(path, RecordingPlugin, 0, offset, length).empty());
        return RecordedCounts;
    }
};

using Counts = std::vector<uint32_t>;

TEST_F(Driver, RegistryKeepsTheProgramsOrderAndRefusesASecondRegistration) {
    const FingerprintPlugin* first = findPlugin(FirstPlugin);
    ASSERT_NE(first, nullptr);
    const int order[] = {PluginCrc32, PluginMd5, PluginSha1, PluginSha2, PluginSha3};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(first[i].number, order[i]);
        EXPECT_EQ(findPlugin(order[i]), &first[i]);
    }
    const FingerprintPlugin before = *findPlugin(PluginMd5);
    EXPECT_EQ(registerPlugin(PluginMd5), nullptr);
    EXPECT_FALSE(registerPluginOperations(md5Plugin()));
    EXPECT_EQ(findPlugin(PluginMd5)->start, before.start);
    EXPECT_EQ(findPlugin(PluginMd5), &first[1]);
    EXPECT_EQ(findPlugin(0), nullptr);
    EXPECT_EQ(findPlugin(6), nullptr);
}

TEST_F(Driver, RegistryStopsAtItsCapacityAndSkipsEntriesWithoutOperations) {
    EXPECT_EQ(registerPlugin(FirstPlugin), nullptr);
    int claimed = 0;
    while (registerPlugin(1000 + claimed) != nullptr)
        ++claimed;
    EXPECT_EQ(claimed, RegistryCapacity - 6); // the five plugins and the recording one are in
    EXPECT_EQ(registerPlugin(5000), nullptr);
    const std::vector<uint8_t> bytes = {1, 2, 3};
    TempFile file(bytes);
    EXPECT_EQ(fileFingerprint(file.path(), 1000), "");
    EXPECT_EQ(fileFingerprint(file.path(), PluginCrc32), testkit::oracleDigest(Slots[0], bytes.data(), 3));
}

TEST_F(Driver, ReadsInWholeMebibytesAndEndsAtTheFirstShortRead) {
    TempFile empty({});
    EXPECT_EQ(countsOf(empty.path()), Counts({0}));
    TempFile one(testkit::randomBytes(MiB, 11));
    EXPECT_EQ(countsOf(one.path()), Counts({MiB, 0}));
    TempFile two(testkit::randomBytes(2 * MiB, 12));
    EXPECT_EQ(countsOf(two.path()), Counts({MiB, MiB, 0}));
    TempFile oneAndOne(testkit::randomBytes(MiB + 1, 13));
    EXPECT_EQ(countsOf(oneAndOne.path()), Counts({MiB, 1}));
}

TEST_F(Driver, OffsetAndLengthSelectTheBytes) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(2 * MiB + 100, 14);
    TempFile file(bytes);
    EXPECT_EQ(countsOf(file.path(), 0, 0), Counts({0}));
    EXPECT_EQ(countsOf(file.path(), 10, 100), Counts({100}));
    EXPECT_EQ(countsOf(file.path(), 5, MiB), Counts({MiB, 0}));
    EXPECT_EQ(countsOf(file.path(), 5, MiB + 7), Counts({MiB, 7}));
    EXPECT_EQ(countsOf(file.path(), 3 * MiB, -1), Counts({0}));
    EXPECT_EQ(countsOf(file.path(), 2 * MiB + 90, 1000), Counts({10}));

    struct Case {
        int64_t offset, length;
        std::size_t from, size;
    };
    const Case cases[] = {
        {0, -1, 0, bytes.size()},
        {0, 0, 0, 0},
        {1, -1, 1, bytes.size() - 1},
        {MiB - 3, 6, MiB - 3, 6},
        {77, 2 * MiB, 77, 2 * MiB},
        {static_cast<int64_t>(bytes.size()) + 10, -1, 0, 0},
        {2 * MiB + 95, 1000, 2 * MiB + 95, 5},
        {-5, -1, 0, bytes.size()}, // a negative offset is not applied
    };
    for (const testkit::Slot& slot : Slots) {
        for (const Case& c : cases) {
            EXPECT_EQ(fileFingerprint(file.path(), slot.plugin, slot.bits, c.offset, c.length),
                      testkit::oracleDigest(slot, bytes.data() + c.from, c.size))
                << slot.name << " offset " << c.offset << " length " << c.length;
        }
    }
    EXPECT_EQ(fileFingerprint(file.path(), PluginMd5, 0, 0, -2), "");
}

TEST_F(Driver, WholeFilesAroundTheBlockSizeMatchTheOracle) {
    for (std::size_t size : {std::size_t{0}, MiB - 1, MiB, MiB + 1, 2 * MiB}) {
        const std::vector<uint8_t> bytes = testkit::randomBytes(size, static_cast<uint32_t>(size));
        TempFile file(bytes);
        for (const testkit::Slot& slot : Slots) {
            EXPECT_EQ(fileFingerprint(file.path(), slot.plugin, slot.bits),
                      testkit::oracleDigest(slot, bytes.data(), bytes.size()))
                << slot.name << ", " << size << " bytes";
        }
    }
}

TEST_F(Driver, FailuresGiveTheEmptyText) {
    TempFile file({'a', 'b', 'c'});
    EXPECT_EQ(fileFingerprint(file.path(), PluginSha1), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(fileFingerprint("/nonexistent/hashwarden/file", PluginSha1), "");
    EXPECT_EQ(fileFingerprint(nullptr, PluginSha1), "");
    EXPECT_EQ(fileFingerprint(file.path(), 0), "");
    EXPECT_EQ(fileFingerprint(file.path(), 6), "");
    EXPECT_EQ(fileFingerprint(file.path(), PluginSha2, 160), "");
    EXPECT_EQ(fileFingerprint(file.path(), PluginSha3, 128), "");
    EXPECT_EQ(fileFingerprint(file.path(), PluginSha2, 0).size(), 64u);
    EXPECT_EQ(fileFingerprint(file.path(), PluginSha3, 0),
              "3a985da74fe225b2045c172d6bd390bd855f086e3e9d525b46bfe24511431532");
}

TEST_F(Driver, AFolderIsAReadErrorNotAnEmptyFile) {
    // Opening a folder for reading succeeds; the first read fails.
    for (const testkit::Slot& slot : Slots)
        EXPECT_EQ(fileFingerprint("/tmp", slot.plugin, slot.bits), "") << slot.name;
    EXPECT_EQ(fileFingerprint(".", PluginCrc32), "");
}

TEST_F(Driver, FilesWithoutAnEndGiveTheEmptyTextAtOnce) {
    // A pipe with no writer used to block the open for ever, /dev/zero to be read for ever; the
    // alarm turns a regression into a failure instead of a hung suite.
    char folder[] = "/tmp/hashwarden-fifo-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(20);
    EXPECT_EQ(fileFingerprint(fifo.c_str(), PluginSha2, 256), "");
    EXPECT_EQ(fileFingerprint("/dev/zero", PluginCrc32), "");
    EXPECT_EQ(fileFingerprint("/dev/null", PluginMd5), "");
    alarm(0);
    unlink(fifo.c_str());
    rmdir(folder);
}

TEST_F(Driver, AFailingFirstReadGivesTheEmptyText) {
    // Page 0 of the process is never mapped, so reading its memory file there fails with EIO.
    EXPECT_EQ(fileFingerprint("/proc/self/mem", PluginMd5), "");
}

TEST_F(Driver, AReadErrorAfterGoodReadsGivesTheEmptyText) {
    // Memory whose first MiB reads well and whose second MiB lies past the end of its backing
    // file: reading it through /proc/self/mem delivers one full block, then the next read fails.
    FILE* backing = tmpfile();
    ASSERT_NE(backing, nullptr);
    const int fd = fileno(backing);
    ASSERT_EQ(ftruncate(fd, 2 * MiB), 0);
    void* memory = mmap(nullptr, 2 * MiB, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(memory, MAP_FAILED);
    std::memset(memory, 0x5a, MiB);
    ASSERT_EQ(ftruncate(fd, MiB), 0);
    const int64_t address = static_cast<int64_t>(reinterpret_cast<uintptr_t>(memory));

    const std::vector<uint8_t> firstMiB(MiB, 0x5a);
    EXPECT_EQ(fileFingerprint("/proc/self/mem", PluginSha2, 256, address, MiB),
              testkit::oracleDigest(Slots[4], firstMiB.data(), MiB));
    EXPECT_EQ(fileFingerprint("/proc/self/mem", PluginSha2, 256, address, 2 * MiB), "");
    EXPECT_EQ(fileFingerprint("/proc/self/mem", PluginCrc32, 0, address), "");
    EXPECT_TRUE(fileFingerprint("/proc/self/mem", RecordingPlugin, 0, address).empty());
    EXPECT_EQ(RecordedCounts, Counts({MiB})); // one good block, then the error: no finish, no digest

    munmap(memory, 2 * MiB);
    fclose(backing);
}

// The gate runs after each full block. The block after it may have been read already, but no
// block further on: a change the gate makes there is hashed.
std::string GatePath;
int GateCalls = 0;
bool countingGate() {
    ++GateCalls;
    return true;
}
// Gives up at the second gate, as the calculation job does with a pass nobody will take.
bool abandoningGate() {
    return ++GateCalls < 2;
}
bool rewritingGate() {
    ++GateCalls;
    FILE* file = std::fopen(GatePath.c_str(), "r+b");
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return true;
    std::fseek(file, static_cast<long>(2 * MiB), SEEK_SET);
    std::fputc(0xff, file);
    std::fclose(file);
    return true;
}

TEST_F(Driver, BlockGateRunsBetweenFullBlocks) {
    const std::size_t sizes[] = {0, MiB - 1, MiB, 2 * MiB, 2 * MiB + 1};
    const int calls[] = {0, 0, 1, 2, 2};
    setBlockGate(countingGate);
    for (int i = 0; i < 5; ++i) {
        TempFile file(std::vector<uint8_t>(sizes[i], 1));
        GateCalls = 0;
        EXPECT_FALSE(fileFingerprint(file.path(), PluginCrc32).empty());
        EXPECT_EQ(GateCalls, calls[i]) << sizes[i] << " bytes";
    }
}

TEST_F(Driver, BlockGateRunsBeforeReadsPastTheBlockAhead) {
    std::vector<uint8_t> bytes(2 * MiB + 10, 0);
    TempFile file(bytes);
    GatePath = file.path();
    GateCalls = 0;
    setBlockGate(rewritingGate);
    const std::string digest = fileFingerprint(file.path(), PluginSha1);
    EXPECT_EQ(GateCalls, 2);
    bytes[2 * MiB] = 0xff;
    EXPECT_EQ(digest, testkit::oracleDigest(Slots[2], bytes.data(), bytes.size()));
}

TEST_F(Driver, BlockGateThatGivesUpStopsThePassWithTheEmptyText) {
    TempFile file(std::vector<uint8_t>(4 * MiB, 3));
    setBlockGate(abandoningGate);
    GateCalls = 0;
    EXPECT_EQ(fileFingerprint(file.path(), RecordingPlugin), "");
    EXPECT_EQ(GateCalls, 2);
    EXPECT_EQ(RecordedCounts, Counts({MiB, MiB}));  // no block read after the gate gave up
}

TEST_F(Driver, BlockGateBelongsToTheThreadThatSetIt) {
    TempFile file(std::vector<uint8_t>(2 * MiB, 2));
    setBlockGate(countingGate);
    GateCalls = 0;
    std::string other;
    std::thread worker([&] { other = fileFingerprint(file.path(), PluginMd5); });
    worker.join();
    EXPECT_EQ(GateCalls, 0);
    EXPECT_EQ(fileFingerprint(file.path(), PluginMd5), other);
    EXPECT_EQ(GateCalls, 2);
}

// Entries of a folder of /proc/self: the process's threads (task) or open descriptors (fd).
std::vector<std::string> entriesOf(const char* folder) {
    std::vector<std::string> names;
    if (DIR* listing = opendir(folder)) {
        while (const dirent* entry = readdir(listing))
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        closedir(listing);
    }
    return names;
}

// The state letter of a thread of this process (S: asleep), or 0 when it is gone.
char threadState(const std::string& id) {
    std::ifstream stat("/proc/self/task/" + id + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t end = line.rfind(") ");
    return end == std::string::npos ? 0 : line[end + 2];
}

std::vector<std::string> ThreadsBefore;
std::size_t MostThreadsInPass = 0;
bool ReaderSleptAtFirstGate = false;
bool watchingGate() {
    const std::vector<std::string> threads = entriesOf("/proc/self/task");
    MostThreadsInPass = std::max(MostThreadsInPass, threads.size());
    if (++GateCalls != 1) return true; // later, the reader may have read the short block and ended
    // The reader, one block ahead, has to fall asleep while the gate holds the pass, not spin.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (const std::string& id : threads) {
        if (std::find(ThreadsBefore.begin(), ThreadsBefore.end(), id) != ThreadsBefore.end()) continue;
        char state = threadState(id);
        for (; state != 'S' && state != 0 && std::chrono::steady_clock::now() < deadline;
             state = threadState(id))
            sched_yield();
        ReaderSleptAtFirstGate = state == 'S';
    }
    return true;
}
bool truncatingGate() {
    EXPECT_EQ(truncate(GatePath.c_str(), static_cast<off_t>(MiB + 100)), 0);
    return true;
}

TEST_F(Driver, PassesLeaveNoThreadOrDescriptorBehind) {
#ifdef __SANITIZE_THREAD__
    // ThreadSanitizer's runtime starts a helper thread of its own with the process's first thread:
    // start and end one first, so that the counts below see only the pass's reader. (Not elsewhere:
    // under the user-mode emulator a joined thread stays listed for a while.)
    std::thread([] {}).join();
#endif
    ThreadsBefore = entriesOf("/proc/self/task");
    const std::size_t threads = ThreadsBefore.size();
    const std::size_t descriptors = entriesOf("/proc/self/fd").size();
    ASSERT_GT(threads, 0u);
    // A joined thread can stay listed for a moment while the kernel finishes its exit.
    auto threadsAfterPass = [&] {
        for (int i = 0; i < 100000 && entriesOf("/proc/self/task").size() > threads; ++i)
            sched_yield();
        return entriesOf("/proc/self/task").size();
    };

    // The reader exists while a pass runs (the count can see it), and sleeps while the gate holds.
    TempFile normal(testkit::randomBytes(3 * MiB + 5, 21));
    GateCalls = 0;
    MostThreadsInPass = 0;
    ReaderSleptAtFirstGate = false;
    setBlockGate(watchingGate);
    EXPECT_FALSE(fileFingerprint(normal.path(), PluginMd5).empty());
    EXPECT_EQ(MostThreadsInPass, threads + 1);
    EXPECT_TRUE(ReaderSleptAtFirstGate);
    EXPECT_EQ(threadsAfterPass(), threads);
    EXPECT_EQ(entriesOf("/proc/self/fd").size(), descriptors);

    // A read error on the reader's first read (page 0 of the process is never mapped).
    setBlockGate(nullptr);
    EXPECT_EQ(fileFingerprint("/proc/self/mem", PluginSha1), "");
    EXPECT_EQ(threadsAfterPass(), threads);
    EXPECT_EQ(entriesOf("/proc/self/fd").size(), descriptors);

    // A file cut short while the pass holds its first block. The block read ahead may have been
    // read before the cut, during it or after it; nothing after that block is read.
    TempFile shrinking(testkit::randomBytes(4 * MiB, 22));
    GatePath = shrinking.path();
    setBlockGate(truncatingGate);
    EXPECT_FALSE(fileFingerprint(shrinking.path(), RecordingPlugin).empty());
    ASSERT_GE(RecordedCounts.size(), 2u);
    EXPECT_EQ(RecordedCounts[0], MiB);
    if (RecordedCounts[1] == MiB)
        EXPECT_EQ(RecordedCounts, Counts({MiB, MiB, 0}));
    else
        EXPECT_TRUE(RecordedCounts.size() == 2 && RecordedCounts[1] >= 100) << RecordedCounts[1];
    EXPECT_EQ(threadsAfterPass(), threads);
    EXPECT_EQ(entriesOf("/proc/self/fd").size(), descriptors);
}

} // namespace
