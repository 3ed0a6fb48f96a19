// hashwarden-bench: measures every algorithm through the file driver (or, with --memory, on a buffer).
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "calc/algorithm_slots.h"
#include "calc/job_scheduler.h"
#include "fingerprint/engine.h"
#include "fingerprint/family_pass.h"
#include "fingerprint/kernels.h"
#include "fingerprint/plugin_table.h"

namespace {

struct Algorithm {
    std::string name; // the program's name in lower case: "sha2-256"
    int plugin;
    int bits;
    const char* KernelSet::*path;
};

// The kernel path that serves an algorithm, as the benchmark reports it.
const char* KernelSet::*pathOf(int plugin, int bits) {
    switch (plugin) {
    case PluginCrc32:
        return &KernelSet::crc32Path;
    case PluginMd5:
        return &KernelSet::md5Path;
    case PluginSha1:
        return &KernelSet::sha1Path;
    case PluginSha2:
        return bits <= 256 ? &KernelSet::sha256Path : &KernelSet::sha512Path;
    default:
        return &KernelSet::keccakPath;
    }
}

// The algorithm slots in their fixed order, from the program's one table of algorithms.
const std::vector<Algorithm> Algorithms = [] {
    std::vector<Algorithm> algorithms;
    for (const AlgorithmSlot& slot : AlgorithmSlots) {
        std::string name = slot.name;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        algorithms.push_back({name, slot.plugin, slot.bits, pathOf(slot.plugin, slot.bits)});
    }
    return algorithms;
}();

constexpr int DefaultRuns = 3;

void usage() {
    std::fprintf(
        stderr,
        "usage: hashwarden-bench [--runs N] [--memory] [--portable] [--cpu-time] [--cold] FILE [ALGO...]\n"
        "       hashwarden-bench --job [--workers N] FILE [ALGO...]\n"
        "       hashwarden-bench --family [--runs N] [--cpu-time] FILE ALGO... (of one family)\n"
        "ALGO: crc32 md5 sha1 sha2-224 sha2-256 sha2-384 sha2-512 sha3-224 sha3-256 sha3-384 sha3-512\n"
        "Prints ALGO DIGEST MBPS PATH per algorithm; MBPS is the median of N runs in 10^6 bytes/s,\n"
        "by the wall clock or, with --cpu-time, by the process's CPU time (as openssl speed does).\n"
        "--cold asks the kernel to drop the file from the page cache before each run.\n"
        "--job runs the calculation job's scheduler once (N threads, by default one per core) and prints\n"
        "ALGO DIGEST per algorithm in slot order, then job SECONDS WORKERS.\n"
        "--family hashes the file in memory with the lengths given (SHA-3 ones, SHA2-224 and SHA2-256, or\n"
        "SHA2-384 and SHA2-512) in one family pass and with each on its own, in turns, N runs, and prints\n"
        "ALGO DIGEST per length, then\n"
        "family BEST MEDIAN singles BEST MEDIAN ratio BEST MEDIAN PATH (seconds; ratio family / singles).\n"
        "With --memory as well, it runs the family pass alone N times (for instruction counts).\n");
}

const Algorithm* findAlgorithm(const char* name) {
    for (const Algorithm& algorithm : Algorithms) {
        if (algorithm.name == name) return &algorithm;
    }
    return nullptr;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Nanoseconds on the clock a run is timed by: the wall clock or, with --cpu-time, the process's
// user and system time (on a shared machine it leaves out the time spent waiting for a processor,
// which the wall clock counts). One read at each end of a run, nothing else: the rates are worked
// out after the runs, so that the bench's own arithmetic is not counted as a pass's work.
int64_t clockNanoseconds(bool cpuTime) {
    timespec now{};
    clock_gettime(cpuTime ? CLOCK_PROCESS_CPUTIME_ID : CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The median of the runs' rates in 10^6 bytes/s. The fastest and the slowest run are those with
// the shortest and the longest time, so the times are sorted instead of the rates. The mean of the
// two middle runs, the same run twice for an odd count: the same work for any number of runs.
double medianRate(double size, std::vector<int64_t>& nanoseconds) {
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const std::size_t runs = nanoseconds.size();
    auto rate = [size](int64_t ns) { return ns > 0 ? size / (static_cast<double>(ns) / 1e9) / 1e6 : 0.0; };
    return (rate(nanoseconds[(runs - 1) / 2]) + rate(nanoseconds[runs / 2])) / 2;
}

// start / update in 1 MiB pieces / finish over bytes already in memory.
std::string digestOfMemory(const Algorithm& algorithm, const std::vector<uint8_t>& bytes) {
    FingerprintPlugin* plugin = findPlugin(algorithm.plugin);
    FingerprintState* state = plugin->start(algorithm.bits, 0);
    if (state == nullptr) return {};
    std::size_t done = 0;
    do {
        std::size_t piece = std::min(bytes.size() - done, FingerprintReadSize);
        plugin->update(state, bytes.data() + done, static_cast<uint32_t>(piece));
        done += piece;
    } while (done < bytes.size());
    plugin->finish(state);
    std::string text = digestText(state);
    plugin->destroy(state);
    return text;
}

bool readWholeFile(const char* name, std::size_t size, std::vector<uint8_t>& bytes) {
    std::FILE* in = std::fopen(name, "rb");
    if (in == nullptr) return false;
    bytes.resize(size);
    std::size_t got = std::fread(bytes.data(), 1, size, in);
    bool failed = std::ferror(in) != 0;
    std::fclose(in);
    bytes.resize(got);
    return !failed;
}

// A request: the kernel keeps pages that are dirty or mapped by someone else.
void dropFromPageCache(const char* name) {
    const int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

// The calculation job's passes over the file, as the window runs them: `workers` threads (0: as many
// as the job would use), digests taken in slot order by this thread.
int runJob(const char* file, std::vector<const Algorithm*> chosen, int workers) {
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    std::vector<PassRequest> requests;
    for (const Algorithm* algorithm : chosen)
        requests.push_back({static_cast<int>(algorithm - Algorithms.data()), algorithm->plugin, algorithm->bits});
    if (workers < 1) workers = passWorkerCount(static_cast<int>(requests.size()));
    const auto start = std::chrono::steady_clock::now();
    PassSchedule schedule;
    const int working = startPasses(schedule, file, requests, workers, nullptr, nullptr);
    std::vector<std::string> digests;
    for (const PassRequest& request : requests)
        digests.push_back(takePass(schedule, request).digest);
    endPasses(schedule);
    const double seconds = secondsSince(start);
    for (std::size_t i = 0; i < chosen.size(); ++i)
        std::printf("%s %s\n", chosen[i]->name, digests[i].empty() ? "-" : digests[i].c_str());
    std::printf("job %.3f %d\n", seconds, working);
    return std::count(digests.begin(), digests.end(), std::string()) == 0 ? 0 : 1;
}

// One family pass and the same lengths' single passes over `bytes`, in turns.
int runFamily(const std::vector<uint8_t>& bytes, std::vector<const Algorithm*> chosen, int runs, bool cpuTime,
              bool alone) {
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    // The lengths of one family, with or without a kernel for several states.
    const auto familyOf = [](const Algorithm& algorithm) {
        if (algorithm.plugin == PluginSha3) return PassFamily::Sha3;
        if (algorithm.plugin != PluginSha2) return PassFamily::None;
        return algorithm.bits <= 256 ? PassFamily::Sha256 : PassFamily::Sha512;
    };
    std::vector<int> bits;
    const PassFamily passFamily = chosen.empty() ? PassFamily::None : familyOf(*chosen.front());
    for (const Algorithm* algorithm : chosen) {
        if (passFamily == PassFamily::None || familyOf(*algorithm) != passFamily) {
            std::fprintf(stderr, "hashwarden-bench: --family takes SHA-3 lengths, SHA2-224 and SHA2-256, or "
                                 "SHA2-384 and SHA2-512\n");
            return 2;
        }
        bits.push_back(algorithm->bits);
    }
    std::vector<int64_t> family, singles;
    std::vector<std::string> digests;
    for (int run = 0; run < runs; ++run) {
        int64_t start = clockNanoseconds(cpuTime);
        FamilyPassPtr pass = startFamilyPass(passFamily, bits);
        if (!pass) return 1;
        for (std::size_t done = 0; done < bytes.size(); done += FingerprintReadSize)
            updateFamilyPass(*pass, bytes.data() + done,
                             static_cast<uint32_t>(std::min(bytes.size() - done, FingerprintReadSize)));
        finishFamilyPass(*pass);
        family.push_back(clockNanoseconds(cpuTime) - start);
        if (alone) {
            if (run + 1 == runs)
                for (std::size_t member = 0; member < chosen.size(); ++member)
                    std::printf("%s %s\n", chosen[member]->name, familyDigestText(*pass, member).c_str());
            continue;
        }
        start = clockNanoseconds(cpuTime);
        for (const Algorithm* algorithm : chosen)
            if (digestOfMemory(*algorithm, bytes).empty()) return 1;
        singles.push_back(clockNanoseconds(cpuTime) - start);
        digests.clear();
        for (std::size_t member = 0; member < chosen.size(); ++member)
            digests.push_back(familyDigestText(*pass, member));
    }
    if (alone) return 0;
    for (std::size_t member = 0; member < chosen.size(); ++member) {
        const bool same = digests[member] == digestOfMemory(*chosen[member], bytes);
        std::printf("%s %s%s\n", chosen[member]->name, digests[member].c_str(), same ? "" : " DIFFERS");
        if (!same) return 1;
    }
    std::sort(family.begin(), family.end());
    std::sort(singles.begin(), singles.end());
    const auto seconds = [](int64_t ns) { return static_cast<double>(ns) / 1e9; };
    const std::size_t middle = family.size() / 2;
    std::printf("family %.4f %.4f singles %.4f %.4f ratio %.3f %.3f %s\n", seconds(family[0]), seconds(family[middle]),
                seconds(singles[0]), seconds(singles[middle]), seconds(family[0]) / seconds(singles[0]),
                seconds(family[middle]) / seconds(singles[middle]),
                passFamily == PassFamily::Sha3     ? activeKernels().keccakLanesPath
                : passFamily == PassFamily::Sha256 ? activeKernels().sha256PairPath
                                                   : activeKernels().sha512PairPath);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int runs = DefaultRuns;
    bool memory = false;
    bool portable = false;
    bool cpuTime = false;
    bool cold = false;
    bool job = false;
    bool familyPass = false;
    int workers = 0;
    const char* file = nullptr;
    std::vector<const Algorithm*> chosen;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
            if (runs < 1) {
                usage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--memory") == 0) {
            memory = true;
        } else if (std::strcmp(argv[i], "--portable") == 0) {
            portable = true;
        } else if (std::strcmp(argv[i], "--cpu-time") == 0) {
            cpuTime = true;
        } else if (std::strcmp(argv[i], "--cold") == 0) {
            cold = true;
        } else if (std::strcmp(argv[i], "--family") == 0) {
            familyPass = true;
        } else if (std::strcmp(argv[i], "--job") == 0) {
            job = true;
        } else if (std::strcmp(argv[i], "--workers") == 0 && i + 1 < argc) {
            workers = std::atoi(argv[++i]);
            if (workers < 1) {
                usage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage();
            return 0;
        } else if (file == nullptr) {
            file = argv[i];
        } else if (const Algorithm* algorithm = findAlgorithm(argv[i])) {
            chosen.push_back(algorithm);
        } else {
            std::fprintf(stderr, "hashwarden-bench: unknown algorithm '%s'\n", argv[i]);
            usage();
            return 2;
        }
    }
    if (file == nullptr) {
        usage();
        return 2;
    }
    if (chosen.empty()) {
        for (const Algorithm& algorithm : Algorithms)
            chosen.push_back(&algorithm);
    }

    // Masking every CPU feature leaves the portable block functions; setting them directly as
    // well keeps --portable meaningful whatever the mask understands.
    if (portable) setenv("HASHWARDEN_CPU_MASK", "all", 1);
    registerAllPlugins();
    if (portable) setActiveKernels(portableKernels());

    if (job) return runJob(file, chosen, workers);

    struct stat info {};
    if (stat(file, &info) != 0) {
        std::fprintf(stderr, "hashwarden-bench: cannot read '%s'\n", file);
        return 1;
    }
    std::vector<uint8_t> bytes;
    if (memory && !readWholeFile(file, static_cast<std::size_t>(info.st_size), bytes)) {
        std::fprintf(stderr, "hashwarden-bench: cannot read '%s'\n", file);
        return 1;
    }
    if (familyPass) {
        if (!readWholeFile(file, static_cast<std::size_t>(info.st_size), bytes)) return 1;
        return runFamily(bytes, chosen, runs, cpuTime, memory);
    }
    const double size = memory ? static_cast<double>(bytes.size()) : static_cast<double>(info.st_size);

    std::vector<int64_t> nanoseconds(static_cast<std::size_t>(runs));
    for (const Algorithm* algorithm : chosen) {
        std::string digest;
        for (int run = 0; run < runs; ++run) {
            if (cold && !memory) dropFromPageCache(file);
            const int64_t start = clockNanoseconds(cpuTime);
            digest = memory ? digestOfMemory(*algorithm, bytes)
                            : fileFingerprint(file, algorithm->plugin, algorithm->bits);
            nanoseconds[static_cast<std::size_t>(run)] = clockNanoseconds(cpuTime) - start;
            if (digest.empty()) { // a folder, or a read error: no figure to give
                std::fprintf(stderr, "hashwarden-bench: cannot read '%s'\n", file);
                return 1;
            }
        }
        // In tenths as an integer: printing a double costs more the more digits its binary value
        // needs, and the rate differs from one invocation to the next; an instruction count taken
        // as the difference of two invocations would see that as work per pass.
        const long long tenths = std::llround(medianRate(size, nanoseconds) * 10);
        std::printf("%s %s %lld.%lld %s\n", algorithm->name.c_str(), digest.c_str(), tenths / 10, tenths % 10,
                    activeKernels().*(algorithm->path));
        std::fflush(stdout);
    }
    return 0;
}
