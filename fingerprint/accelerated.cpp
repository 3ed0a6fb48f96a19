// Overlays the accelerated kernels that were compiled in and that this CPU runs onto the portable set.
#include "fingerprint/cpu_features.h"
#include "fingerprint/kernels.h"

#include "fingerprint/crc32/crc32_accelerated.h"
#include "fingerprint/sha1/sha1_accelerated.h"
#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha3/keccak_accelerated.h"

namespace {

[[maybe_unused]] bool has(uint32_t usable, uint32_t needed) {
    return (usable & needed) == needed;
}

} // namespace

void chooseAcceleratedKernels([[maybe_unused]] KernelSet& set) {
#ifdef HW_ACCELERATED_X86
    const uint32_t usable = usableCpuFeatures();

    // Fastest first within each family.
    if (has(usable, CpuVpclmul | CpuAvx2 | CpuPclmul | CpuSse41)) {
        set.crc32 = crc32Vpclmul;
        set.crc32Path = "vpclmul";
    } else if (has(usable, CpuPclmul | CpuSse41)) {
        set.crc32 = crc32Pclmul;
        set.crc32Path = "pclmul";
    }

    // MD5 keeps the portable block function: it already adds the G terms in two independent
    // halves, and MD5 is bound by the latency of its chain of additions, which no instruction set
    // extension here shortens (a BMI1 build of the same steps measured exactly as fast).

    if (has(usable, CpuShaNi | CpuSse41 | CpuSsse3)) {
        set.sha1 = sha1BlocksShani;
        set.sha1Path = "shani";
        set.sha256 = sha256BlocksShani;
        set.sha256Path = "shani";
    }

    // On AMD family 26 (Zen 5), whose six integer units leave the rounds bound by their dependency
    // chains, the two-block kernel with the shorter chains measured 1.01 to 1.13 x openssl speed
    // against 0.78 to 0.89 for the avx2 kernel. On Zen 4 both of its ideas measured slower
    // (bench/ACCELERATED.md), and other processors are unmeasured, so they keep the avx2 kernel.
    constexpr unsigned AmdZen5Family = 26;
    if (has(usable, CpuAvx512 | CpuAvx2 | CpuBmi1 | CpuBmi2) && detectedAmdFamily() == AmdZen5Family) {
        set.sha512 = sha512BlocksAvx512;
        set.sha512Path = "avx512";
    } else if (has(usable, CpuAvx2 | CpuBmi1 | CpuBmi2)) {
        set.sha512 = sha512BlocksAvx2;
        set.sha512Path = "avx2";
    }

    if (has(usable, CpuBmi1 | CpuBmi2)) {
        set.keccak = keccak1600AbsorbBmi;
        set.keccakPath = "bmi";
    }
#endif

#ifdef HW_ACCELERATED_ARM32
    const uint32_t usable = usableCpuFeatures();

    // Fastest first within each family; the PMULL kernel finishes with the CRC32 instructions.
    if (has(usable, CpuArmPmull | CpuArmCrc32 | CpuNeon)) {
        set.crc32 = crc32Pmull;
        set.crc32Path = "pmull";
    } else if (has(usable, CpuArmCrc32)) {
        set.crc32 = crc32Armv8;
        set.crc32Path = "armv8";
    } else if (has(usable, CpuNeon)) {
        // ARMv7 boards: folding with 8-bit polynomial multiplies instead of a load per byte.
        set.crc32 = crc32Neon;
        set.crc32Path = "neon";
    }

    if (has(usable, CpuArmSha1 | CpuNeon)) {
        set.sha1 = sha1BlocksArmv8;
        set.sha1Path = "armv8";
    } else if (has(usable, CpuNeon)) {
        set.sha1 = sha1BlocksNeon;
        set.sha1Path = "neon";
    }
    if (has(usable, CpuArmSha2 | CpuNeon)) {
        set.sha256 = sha256BlocksArmv8;
        set.sha256Path = "armv8";
    } else if (has(usable, CpuNeon)) {
        set.sha256 = sha256BlocksNeon;
        set.sha256Path = "neon";
    }

    if (has(usable, CpuNeon)) {
        // 64-bit words in the D registers, where 32-bit integer code pays several instructions for
        // every 64-bit rotation and addition.
        set.sha512 = sha512BlocksNeon;
        set.sha512Path = "neon";
        // All 25 lanes in registers; fewer instructions than a bit-interleaved integer permutation.
        set.keccak = keccak1600AbsorbNeon;
        set.keccakPath = "neon";
    }
#endif
}
