// Overlays the accelerated kernels that were compiled in and that this CPU runs onto the portable set.
#include <array>

#include "fingerprint/cpu_features.h"
#include "fingerprint/kernels.h"
#include "fingerprint/pass_cost.h"

#include "fingerprint/crc32/crc32_accelerated.h"
#include "fingerprint/sha1/sha1_accelerated.h"
#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha3/keccak_accelerated.h"

// x86-64 builds every kernel or none; on ARM the build defines HW_KERNEL_<NAME> for each kernel file the
// compiler could build (fingerprint/accelerated.cmake); names ending in _A64 are AArch64's.
#ifdef HW_ACCELERATED_X86
#define HW_KERNEL_CRC32_VPCLMUL 1
#define HW_KERNEL_CRC32_PCLMUL 1
#define HW_KERNEL_SHA1_SHANI 1
#define HW_KERNEL_SHA256_SHANI 1
#define HW_KERNEL_SHA512_AVX512 1
#define HW_KERNEL_SHA512_AVX2 1
#define HW_KERNEL_SHA512_PAIR_AVX512 1
#define HW_KERNEL_KECCAK_BMI 1
#define HW_KERNEL_KECCAK_LANES_AVX512 1
#define HW_KERNEL_KECCAK_LANES_AVX2 1
#endif

namespace {

using K = KernelFamily;

// Fastest first within each family: the first one whose features are usable is chosen.
// MD5 keeps the portable block function everywhere: it already adds the G terms in two independent
// halves, and MD5 is bound by the latency of its chain of additions, which no instruction set
// extension here shortens (a BMI1 build of the same steps measured exactly as fast).
// What a call of each multi-state kernel costs is a fact of the processor: fingerprint/pass_cost.cpp.
[[maybe_unused]] constexpr void setLanes(KernelSet& set, Keccak1600AbsorbLanesFn kernel, uint32_t lanes) {
    set.keccakLanes = kernel;
    set.keccakLaneCount = lanes;
}

constexpr AcceleratedKernel Kernels[] = {
#ifdef HW_KERNEL_CRC32_VPCLMUL
    {K::Crc32, "vpclmul", CpuVpclmul | CpuAvx2 | CpuPclmul | CpuSse41,
     [](KernelSet& s) { s.crc32 = crc32Vpclmul; }},
#endif
#ifdef HW_KERNEL_CRC32_PCLMUL
    {K::Crc32, "pclmul", CpuPclmul | CpuSse41, [](KernelSet& s) { s.crc32 = crc32Pclmul; }},
#endif
#ifdef HW_KERNEL_CRC32_PMULL
    // The PMULL kernel finishes with the CRC32 instructions.
    {K::Crc32, "pmull", CpuArmPmull | CpuArmCrc32 | CpuNeon, [](KernelSet& s) { s.crc32 = crc32Pmull; }},
#endif
#ifdef HW_KERNEL_CRC32_PMULL_A64
    {K::Crc32, "pmull", CpuArmPmull | CpuArmCrc32 | CpuNeon, [](KernelSet& s) { s.crc32 = crc32PmullArm64; }},
#endif
#ifdef HW_KERNEL_CRC32_ARMV8_A64
    {K::Crc32, "armv8", CpuArmCrc32, [](KernelSet& s) { s.crc32 = crc32Arm64; }},
#endif
#ifdef HW_KERNEL_CRC32_ARMV8
    {K::Crc32, "armv8", CpuArmCrc32, [](KernelSet& s) { s.crc32 = crc32Armv8; }},
#endif
#ifdef HW_KERNEL_CRC32_NEON
    // ARMv7 boards: folding with 8-bit polynomial multiplies instead of a load per byte.
    {K::Crc32, "neon", CpuNeon, [](KernelSet& s) { s.crc32 = crc32Neon; }},
#endif
#ifdef HW_KERNEL_SHA1_SHANI
    {K::Sha1, "shani", CpuShaNi | CpuSse41 | CpuSsse3, [](KernelSet& s) { s.sha1 = sha1BlocksShani; }},
#endif
#ifdef HW_KERNEL_SHA1_ARMV8
    {K::Sha1, "armv8", CpuArmSha1 | CpuNeon, [](KernelSet& s) { s.sha1 = sha1BlocksArmv8; }},
#endif
#ifdef HW_KERNEL_SHA1_ARMV8_A64
    {K::Sha1, "armv8", CpuArmSha1 | CpuNeon, [](KernelSet& s) { s.sha1 = sha1BlocksArm64; }},
#endif
#ifdef HW_KERNEL_SHA1_NEON
    {K::Sha1, "neon", CpuNeon, [](KernelSet& s) { s.sha1 = sha1BlocksNeon; }},
#endif
#ifdef HW_KERNEL_SHA256_SHANI
    {K::Sha256, "shani", CpuShaNi | CpuSse41 | CpuSsse3, [](KernelSet& s) { s.sha256 = sha256BlocksShani; }},
#endif
#ifdef HW_KERNEL_SHA256_ARMV8
    {K::Sha256, "armv8", CpuArmSha2 | CpuNeon, [](KernelSet& s) { s.sha256 = sha256BlocksArmv8; }},
#endif
#ifdef HW_KERNEL_SHA256_ARMV8_A64
    {K::Sha256, "armv8", CpuArmSha2 | CpuNeon, [](KernelSet& s) { s.sha256 = sha256BlocksArm64; }},
#endif
#ifdef HW_KERNEL_SHA256_NEON
    {K::Sha256, "neon", CpuNeon, [](KernelSet& s) { s.sha256 = sha256BlocksNeon; }},
#endif
#ifdef HW_KERNEL_SHA512_AVX512
    // SHA-512 (bench/ACCELERATED.md): the two-block kernel with the shorter round chains measured 1.04
    // to 1.10 x openssl speed where AVX-512 is usable on AMD Zen 5 and on an Intel Xeon of the
    // Sapphire Rapids class, against 0.78 to 0.98 for the avx2 kernel. On Zen 4 (AMD family 25, the
    // only one of that family with AVX-512), whose four integer units make its three extra operations
    // a round cost more than the shorter chains save, each of its two ideas measured slower.
    {K::Sha512, "avx512", CpuAvx512 | CpuAvx2 | CpuBmi1 | CpuBmi2,
     [](KernelSet& s) { s.sha512 = sha512BlocksAvx512; }, 25},
#endif
#ifdef HW_KERNEL_SHA512_SHA512_A64
    {K::Sha512, "sha512", CpuArmSha512 | CpuNeon, [](KernelSet& s) { s.sha512 = sha512BlocksArm64Sha512; }},
#endif
#ifdef HW_KERNEL_SHA512_AVX2
    {K::Sha512, "avx2", CpuAvx2 | CpuBmi1 | CpuBmi2, [](KernelSet& s) { s.sha512 = sha512BlocksAvx2; }},
#endif
#ifdef HW_KERNEL_SHA512_NEON
    // 64-bit words in the D registers, where 32-bit integer code pays several instructions for every
    // 64-bit rotation and addition.
    {K::Sha512, "neon", CpuNeon, [](KernelSet& s) { s.sha512 = sha512BlocksNeon; }},
#endif
#ifdef HW_KERNEL_SHA256_SHANI
    // SHA-224 and SHA-256 of one file in one pass: each sha256rnds2 waits for the one before it, so one
    // state leaves the unit idle between them and two states fill the gaps, one message schedule serving
    // both (its cost: fingerprint/pass_cost.cpp).
    {K::Sha256Pair, "shani", CpuShaNi | CpuSse41 | CpuSsse3, [](KernelSet& s) {
         s.sha256Pair = sha256PairBlocksShani;
     }},
#endif
#ifdef HW_KERNEL_SHA512_PAIR_AVX512
    // SHA-384 and SHA-512 of one file in one pass: the two states in the 64-bit lanes of XMM registers,
    // each round 17 vector operations for both (rotations and three-input logic of AVX-512VL) where one
    // state's scalar round takes 28. With AVX2 alone a rotation takes three operations and a pair would
    // cost two states.
    {K::Sha512Pair, "avx512", CpuAvx512 | CpuAvx2, [](KernelSet& s) {
         s.sha512Pair = sha512PairBlocksAvx512;
     }},
#endif
#ifdef HW_KERNEL_KECCAK_BMI
    {K::Keccak, "bmi", CpuBmi1 | CpuBmi2, [](KernelSet& s) { s.keccak = keccak1600AbsorbBmi; }},
#endif
#ifdef HW_KERNEL_KECCAK_SHA3_A64
    {K::Keccak, "sha3", CpuArmSha3 | CpuNeon, [](KernelSet& s) { s.keccak = keccak1600AbsorbArm64Sha3; }},
#endif
#ifdef HW_KERNEL_KECCAK_NEON
    // All 25 lanes in registers; fewer instructions than a bit-interleaved integer permutation.
    {K::Keccak, "neon", CpuNeon, [](KernelSet& s) { s.keccak = keccak1600AbsorbNeon; }},
#endif
#ifdef HW_KERNEL_KECCAK_LANES_AVX512
    // Four states a permutation. With vprolq and vpternlogq a round takes about half the operations of
    // the AVX2 one, and the 32 registers hold the 25 words with room for the temporaries.
    {K::KeccakLanes, "avx512", CpuAvx512 | CpuAvx2,
     [](KernelSet& s) { setLanes(s, keccak1600AbsorbLanesAvx512, 4); }},
#endif
#ifdef HW_KERNEL_KECCAK_LANES_AVX2
    {K::KeccakLanes, "avx2", CpuAvx2, [](KernelSet& s) { setLanes(s, keccak1600AbsorbLanesAvx2, 4); }},
#endif
#ifdef HW_KERNEL_KECCAK_SHA3_A64
    // AArch64: two states in the two 64-bit lanes of the Q registers, where one state leaves the upper lane
    // idle: a step of both is the single-state kernel's step (docs/arm-boards.md).
    {K::KeccakLanes, "sha3", CpuArmSha3 | CpuNeon,
     [](KernelSet& s) { setLanes(s, keccak1600AbsorbLanesArm64Sha3, 2); }},
#endif
#ifdef HW_KERNEL_KECCAK_LANES_NEON_A64
    // AArch64 without the SHA-3 instructions: two states in Q registers, a rotation two instructions, against
    // the portable kernel's one state in general registers (docs/arm-boards.md).
    {K::KeccakLanes, "neon", CpuNeon, [](KernelSet& s) { setLanes(s, keccak1600AbsorbLanesArm64Neon, 2); }},
#endif
#ifdef HW_KERNEL_KECCAK_LANES_NEON
    // Two states in the Q registers, where one took the D registers, the words that do not fit streamed
    // through memory (bench/ACCELERATED.md).
    {K::KeccakLanes, "neon", CpuNeon, [](KernelSet& s) { setLanes(s, keccak1600AbsorbLanesNeon, 2); }},
#endif
    // Ends the list, so that a build without accelerated kernels still has an array; never chosen.
    {K::Md5, nullptr, ~0u, nullptr},
};

const char** pathOf(KernelSet& set, KernelFamily family) {
    switch (family) {
    case K::Crc32:
        return &set.crc32Path;
    case K::Md5:
        return &set.md5Path;
    case K::Sha1:
        return &set.sha1Path;
    case K::Sha256:
        return &set.sha256Path;
    case K::Sha512:
        return &set.sha512Path;
    case K::Keccak:
        return &set.keccakPath;
    case K::Sha256Pair:
        return &set.sha256PairPath;
    case K::Sha512Pair:
        return &set.sha512PairPath;
    case K::KeccakLanes:
        break;
    }
    return &set.keccakLanesPath;
}

} // namespace

std::span<const AcceleratedKernel> compiledAcceleratedKernels() {
    return {Kernels, std::size(Kernels) - 1};
}

void installKernel(KernelSet& set, const AcceleratedKernel& kernel) {
    kernel.install(set);
    *pathOf(set, kernel.family) = kernel.path;
}

void chooseAcceleratedKernels(KernelSet& set) {
    const uint32_t usable = usableCpuFeatures();
    std::array<bool, 9> chosen{};
    for (const AcceleratedKernel& kernel : compiledAcceleratedKernels()) {
        bool& done = chosen[static_cast<std::size_t>(kernel.family)];
        if (done || (usable & kernel.needs) != kernel.needs) continue;
        if (kernel.slowerOnAmdFamily != 0 && detectedAmdFamily() == kernel.slowerOnAmdFamily) continue;
        installKernel(set, kernel);
        done = true;
    }
    // What the chosen multi-state kernels cost on this processor, for the job's choice of passes.
    setSharedCallCosts(set);
}
