// Block functions of every algorithm family, reached through one pointer each, chosen once at registration.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Each function consumes `blocks` whole blocks from `data` (any alignment) into the chaining state.
// Runs of blocks are passed in one call so that accelerated kernels can keep state in registers.
using Md5BlocksFn = void (*)(uint32_t state[4], const uint8_t* data, std::size_t blocks);       // 64-byte blocks
using Sha1BlocksFn = void (*)(uint32_t state[5], const uint8_t* data, std::size_t blocks);      // 64-byte blocks
using Sha256BlocksFn = void (*)(uint32_t state[8], const uint8_t* data, std::size_t blocks);    // 64-byte blocks
using Sha512BlocksFn = void (*)(uint64_t state[8], const uint8_t* data, std::size_t blocks);    // 128-byte blocks
// Two states that take the same blocks (SHA-224 and SHA-256, or SHA-384 and SHA-512, of one message), one
// message schedule for both: as Sha256BlocksFn or Sha512BlocksFn on each state.
using Sha256PairBlocksFn = void (*)(uint32_t first[8], uint32_t second[8], const uint8_t* data, std::size_t blocks);
using Sha512PairBlocksFn = void (*)(uint64_t first[8], uint64_t second[8], const uint8_t* data, std::size_t blocks);
// XORs `blocks` blocks of `rate` bytes (72, 104, 136 or 144 for SHA-3) into the lanes, permuting after
// each. Any multiple of 8 from 8 to 200 is taken, and exactly `rate` bytes of each block are read.
using Keccak1600AbsorbFn = void (*)(uint64_t lanes[25], const uint8_t* data, std::size_t blocks,
                                    std::size_t rate);
// Keccak-f[1600] for several states side by side, as many as the kernel has lanes (KernelSet::keccakLaneCount),
// one permutation advancing them all. The states are lane-interleaved: word w of state j at
// words[lanes * w + j], `words` aligned to 64 bytes. State j absorbs blocks[j] blocks of rates[j] bytes
// from data[j] as the function above would; a state with no block (blocks[j] = 0, data[j] and rates[j]
// unread) keeps its words, and one with fewer blocks than the others keeps them once its own are done.
using Keccak1600AbsorbLanesFn = void (*)(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                                         const std::size_t rates[]);
// Chainable CRC-32 (ISO-HDLC): takes and returns the finished (inverted) value.
using Crc32Fn = uint32_t (*)(uint32_t crc, const uint8_t* data, std::size_t length);

struct KernelSet {
    Crc32Fn crc32;
    Md5BlocksFn md5;
    Sha1BlocksFn sha1;
    Sha256BlocksFn sha256;
    Sha512BlocksFn sha512;
    // SHA-224 and SHA-256, and SHA-384 and SHA-512, of one message side by side; nullptr where no kernel
    // does better than `sha256` or `sha512` on each state, and the job then keeps a pass per length. The
    // cost is the time of a pair's block in hundredths of one state's block (as measured,
    // bench/ACCELERATED.md), as for the Keccak lanes below.
    Sha256PairBlocksFn sha256Pair;
    uint32_t sha256PairCost;
    Sha512PairBlocksFn sha512Pair;
    uint32_t sha512PairCost;
    Keccak1600AbsorbFn keccak;
    // States of one Keccak family pass side by side: keccakLaneCount of them per call. With one lane there
    // is no such kernel (nullptr), and each state goes through `keccak` on its own.
    Keccak1600AbsorbLanesFn keccakLanes;
    uint32_t keccakLaneCount;
    // The time of one call's permutation of all the lanes, in hundredths of the single-state kernel's (as
    // measured, bench/ACCELERATED.md): how the job weighs one family pass against a pass per length.
    uint32_t keccakLanesCost;
    // Names of the chosen paths ("portable", "shani", "pclmul", ...), shown by the benchmark.
    const char* crc32Path;
    const char* md5Path;
    const char* sha1Path;
    const char* sha256Path;
    const char* sha512Path;
    const char* sha256PairPath;
    const char* sha512PairPath;
    const char* keccakPath;
    const char* keccakLanesPath;
};

// Portable kernels: plain C++, for every processor.
uint32_t crc32Portable(uint32_t crc, const uint8_t* data, std::size_t length);
void md5BlocksPortable(uint32_t state[4], const uint8_t* data, std::size_t blocks);
void sha1BlocksPortable(uint32_t state[5], const uint8_t* data, std::size_t blocks);
void sha256BlocksPortable(uint32_t state[8], const uint8_t* data, std::size_t blocks);
void sha512BlocksPortable(uint64_t state[8], const uint8_t* data, std::size_t blocks);
void keccak1600AbsorbPortable(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate);

// The kernels in force. Filled by chooseKernels(); the plugins read it in their update loops.
const KernelSet& activeKernels();

// Chooses the fastest kernel of every family that is compiled in and that this CPU runs,
// minus the features masked by the HASHWARDEN_CPU_MASK environment variable. Called by the
// plugin registrations; later calls choose again (tests use that to walk every path).
void chooseKernels();

// The set of portable kernels only.
KernelSet portableKernels();

// Puts `set` in force as it is, without asking the CPU: for tests that run one path at a time
// and for the benchmark's portable-only mode. Not for use while a calculation runs.
void setActiveKernels(const KernelSet& set);

enum class KernelFamily { Crc32, Md5, Sha1, Sha256, Sha512, Keccak, KeccakLanes, Sha256Pair, Sha512Pair };

// One accelerated kernel compiled into this build: its family, the name of its path, the CPU
// features (cpu_features.h) it needs, and what puts its function into a set.
struct AcceleratedKernel {
    KernelFamily family;
    const char* path;
    uint32_t needs;
    void (*install)(KernelSet& set);
    // Not chosen on AMD processors of this family, where the next kernel measured faster (0: none).
    unsigned slowerOnAmdFamily = 0;
};

// Every accelerated kernel of this build, fastest first within each family, whether or not this CPU
// runs it. A kernel that the compiler could not build is missing here (the build says which).
std::span<const AcceleratedKernel> compiledAcceleratedKernels();

// Puts `kernel` into `set`, function and path name, whatever the CPU: for tests that run every kernel
// this processor can run, whichever one the choice below would make.
void installKernel(KernelSet& set, const AcceleratedKernel& kernel);

// Overlays the accelerated kernels this CPU supports onto `set`; leaves the portable ones
// where no faster path exists. Lives with the accelerated code (a no-op where none is built).
void chooseAcceleratedKernels(KernelSet& set);
