// Probing of the processor (CPUID and XGETBV on x86, the auxiliary vector on ARM Linux) and the
// HASHWARDEN_CPU_MASK feature mask.
#include "fingerprint/cpu_features.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <cpuid.h>
#define HW_CPU_X86 1
#elif defined(__arm__) && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#define HW_CPU_ARM32 1
#elif defined(__aarch64__) && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#define HW_CPU_ARM64 1
#endif

namespace {

// The bits of AT_HWCAP and AT_HWCAP2 that 32-bit ARM Linux (and a 64-bit kernel running a 32-bit
// program) sets, as its <asm/hwcap.h> defines them; spelled out so that any build can translate them.
constexpr unsigned long HwcapNeon = 1ul << 12;
constexpr unsigned long Hwcap2Pmull = 1ul << 1;
constexpr unsigned long Hwcap2Sha1 = 1ul << 2;
constexpr unsigned long Hwcap2Sha2 = 1ul << 3;
constexpr unsigned long Hwcap2Crc32 = 1ul << 4;
#ifdef HW_CPU_ARM32
static_assert(HwcapNeon == HWCAP_NEON && Hwcap2Pmull == HWCAP2_PMULL && Hwcap2Sha1 == HWCAP2_SHA1 &&
              Hwcap2Sha2 == HWCAP2_SHA2 && Hwcap2Crc32 == HWCAP2_CRC32);
#endif

// The bits of AT_HWCAP that 64-bit ARM Linux sets (its <asm/hwcap.h>), spelled out for the same reason.
constexpr unsigned long Hwcap64Asimd = 1ul << 1;
constexpr unsigned long Hwcap64Pmull = 1ul << 4;
constexpr unsigned long Hwcap64Sha1 = 1ul << 5;
constexpr unsigned long Hwcap64Sha2 = 1ul << 6;
constexpr unsigned long Hwcap64Crc32 = 1ul << 7;
constexpr unsigned long Hwcap64Sha3 = 1ul << 17;
constexpr unsigned long Hwcap64Sha512 = 1ul << 21;
#ifdef HW_CPU_ARM64
static_assert(Hwcap64Asimd == HWCAP_ASIMD && Hwcap64Pmull == HWCAP_PMULL && Hwcap64Sha1 == HWCAP_SHA1 &&
              Hwcap64Sha2 == HWCAP_SHA2 && Hwcap64Crc32 == HWCAP_CRC32 && Hwcap64Sha3 == HWCAP_SHA3 &&
              Hwcap64Sha512 == HWCAP_SHA512);
#endif

#ifdef HW_CPU_X86
// XCR0 bits: SSE (1), AVX YMM upper halves (2), AVX-512 opmask (5), ZMM upper halves (6), ZMM16-31 (7).
constexpr uint64_t XcrYmm = 0x6;
constexpr uint64_t XcrZmm = 0xE6;

uint64_t readXcr0() {
    uint32_t eax = 0;
    uint32_t edx = 0;
    // xgetbv with ECX = 0; written as bytes so no -mxsave flag is needed for this file.
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(eax), "=d"(edx) : "c"(0));
    return (uint64_t(edx) << 32) | eax;
}

uint32_t probe() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return 0;
    const unsigned maxLeaf = eax;
    if (maxLeaf < 1) return 0;
    __cpuid(1, eax, ebx, ecx, edx);
    const unsigned leaf1Ecx = ecx;
    unsigned leaf7Ebx = 0, leaf7Ecx = 0;
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        leaf7Ebx = ebx;
        leaf7Ecx = ecx;
    }

    uint32_t features = 0;
    if (leaf1Ecx & bit_SSSE3) features |= CpuSsse3;
    if (leaf1Ecx & bit_SSE4_1) features |= CpuSse41;
    if (leaf1Ecx & bit_PCLMUL) features |= CpuPclmul;
    if (leaf7Ebx & bit_BMI) features |= CpuBmi1;
    if (leaf7Ebx & bit_BMI2) features |= CpuBmi2;
    if (leaf7Ebx & bit_SHA) features |= CpuShaNi;

    // The AVX families count only when the OS has enabled XSAVE and saves the wider registers
    // on a context switch; a CPUID bit alone would fault (or corrupt registers) otherwise.
    const bool osXsave = (leaf1Ecx & bit_OSXSAVE) != 0;
    const uint64_t xcr0 = osXsave ? readXcr0() : 0;
    const bool ymmSaved = (xcr0 & XcrYmm) == XcrYmm;
    const bool zmmSaved = (xcr0 & XcrZmm) == XcrZmm;
    if (ymmSaved && (leaf1Ecx & bit_AVX)) {
        features |= CpuAvx;
        if (leaf7Ebx & bit_AVX2) features |= CpuAvx2;
        if ((leaf7Ebx & bit_AVX2) && (leaf7Ecx & bit_VPCLMULQDQ) && (leaf1Ecx & bit_PCLMUL))
            features |= CpuVpclmul;
        // Every AVX-512 kernel object may hold DQ and BW instructions (the compiler emits some of its own
        // accord): the family counts only with all four, which every AVX-512 processor has.
        constexpr unsigned Avx512Family = bit_AVX512F | bit_AVX512VL | bit_AVX512DQ | bit_AVX512BW;
        if (zmmSaved && (leaf7Ebx & Avx512Family) == Avx512Family) features |= CpuAvx512;
    }
    return features;
}

unsigned probeAmdFamily() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return 0;
    // "AuthenticAMD" in EBX, EDX, ECX.
    if (ebx != 0x68747541 || edx != 0x69746e65 || ecx != 0x444d4163 || eax < 1) return 0;
    __cpuid(1, eax, ebx, ecx, edx);
    const unsigned base = (eax >> 8) & 0xF;
    return base == 0xF ? base + ((eax >> 20) & 0xFF) : base;
}
#elif defined(HW_CPU_ARM32)
uint32_t probe() {
    return armFeaturesFromHwcaps(getauxval(AT_HWCAP), getauxval(AT_HWCAP2));
}
#elif defined(HW_CPU_ARM64)
uint32_t probe() {
    return arm64FeaturesFromHwcap(getauxval(AT_HWCAP));
}
#else
uint32_t probe() {
    return 0;
}
#endif

#ifndef HW_CPU_X86
unsigned probeAmdFamily() {
    return 0;
}
#endif

} // namespace

uint32_t armFeaturesFromHwcaps(unsigned long hwcap, unsigned long hwcap2) {
    uint32_t features = 0;
    if (hwcap2 & Hwcap2Crc32) features |= CpuArmCrc32;
    if (hwcap & HwcapNeon) {
        features |= CpuNeon;
        if (hwcap2 & Hwcap2Pmull) features |= CpuArmPmull;
        if (hwcap2 & Hwcap2Sha1) features |= CpuArmSha1;
        if (hwcap2 & Hwcap2Sha2) features |= CpuArmSha2;
    }
    return features;
}

uint32_t arm64FeaturesFromHwcap(unsigned long hwcap) {
    uint32_t features = 0;
    if (hwcap & Hwcap64Crc32) features |= CpuArmCrc32;
    if (hwcap & Hwcap64Asimd) {
        features |= CpuNeon;
        if (hwcap & Hwcap64Pmull) features |= CpuArmPmull;
        if (hwcap & Hwcap64Sha1) features |= CpuArmSha1;
        if (hwcap & Hwcap64Sha2) features |= CpuArmSha2;
        if (hwcap & Hwcap64Sha512) features |= CpuArmSha512;
        if (hwcap & Hwcap64Sha3) features |= CpuArmSha3;
    }
    return features;
}

uint32_t detectedCpuFeatures() {
    static const uint32_t features = probe();
    return features;
}

unsigned detectedAmdFamily() {
    static const unsigned family = probeAmdFamily();
    return family;
}

uint32_t parseCpuFeatureMask(const char* text) {
    if (text == nullptr) return 0;
    uint32_t mask = 0;
    const char* p = text;
    while (*p != '\0') {
        while (*p == ',' || *p == ' ' || *p == '\t')
            ++p;
        const char* end = p;
        while (*end != '\0' && *end != ',' && *end != ' ' && *end != '\t')
            ++end;
        const std::size_t length = static_cast<std::size_t>(end - p);
        if (length == 3 && std::strncmp(p, "all", 3) == 0) mask = ~0u;
        for (const CpuFeatureName& entry : CpuFeatureNames)
            if (std::strlen(entry.name) == length && std::strncmp(p, entry.name, length) == 0)
                mask |= entry.feature;
        p = end;
    }
    return mask;
}

uint32_t usableCpuFeatures() {
    return detectedCpuFeatures() & ~parseCpuFeatureMask(std::getenv("HASHWARDEN_CPU_MASK"));
}

std::string cpuFeatureList(uint32_t features) {
    std::string list;
    for (const CpuFeatureName& entry : CpuFeatureNames) {
        if ((features & entry.feature) == 0) continue;
        if (!list.empty()) list += ',';
        list += entry.name;
    }
    return list.empty() ? "none" : list;
}
