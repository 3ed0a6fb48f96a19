// Instruction-set features of this processor that the accelerated kernels need, and their masking.
#pragma once

#include <cstdint>
#include <string>

// One bit per feature. The set is closed: a kernel names the features it needs from this list.
enum CpuFeature : uint32_t {
    CpuSsse3 = 1u << 0,
    CpuSse41 = 1u << 1,
    CpuPclmul = 1u << 2,
    CpuAvx = 1u << 3,  // only when the OS saves the YMM state
    CpuAvx2 = 1u << 4, // only when the OS saves the YMM state
    CpuBmi1 = 1u << 5,
    CpuBmi2 = 1u << 6,
    CpuShaNi = 1u << 7,
    CpuVpclmul = 1u << 8, // only with AVX2 usable
    CpuAvx512 = 1u << 9,  // AVX-512 F + VL, only when the OS saves the ZMM state
    // ARM, 32-bit (AT_HWCAP, AT_HWCAP2) and 64-bit (AT_HWCAP): one bit for one instruction group on both.
    CpuNeon = 1u << 10,      // Advanced SIMD (NEON; ASIMD on AArch64)
    CpuArmCrc32 = 1u << 11,  // ARMv8 CRC32 instructions
    CpuArmPmull = 1u << 12,  // ARMv8 64-bit polynomial multiply
    CpuArmSha1 = 1u << 13,   // ARMv8 SHA-1 instructions
    CpuArmSha2 = 1u << 14,   // ARMv8 SHA-256 instructions
    CpuArmSha512 = 1u << 15, // AArch64 only: ARMv8.2 SHA-512 instructions
    CpuArmSha3 = 1u << 16,   // AArch64 only: ARMv8.2 SHA-3 instructions (EOR3, RAX1, XAR, BCAX)
};

// Name of every feature bit as used by HASHWARDEN_CPU_MASK, in bit order.
struct CpuFeatureName {
    CpuFeature feature;
    const char* name;
};
inline constexpr CpuFeatureName CpuFeatureNames[] = {
    {CpuSsse3, "ssse3"},     {CpuSse41, "sse4_1"},  {CpuPclmul, "pclmul"}, {CpuAvx, "avx"},
    {CpuAvx2, "avx2"},       {CpuBmi1, "bmi1"},     {CpuBmi2, "bmi2"},     {CpuShaNi, "shani"},
    {CpuVpclmul, "vpclmul"}, {CpuAvx512, "avx512"}, {CpuNeon, "neon"},     {CpuArmCrc32, "crc32"},
    {CpuArmPmull, "pmull"},  {CpuArmSha1, "sha1"},  {CpuArmSha2, "sha2"},  {CpuArmSha512, "sha512"},
    {CpuArmSha3, "sha3"},
};

// Features this processor and its OS support; 0 on processors other than x86-64 and ARM Linux.
// Asked once.
[[nodiscard]] uint32_t detectedCpuFeatures();

// The family of an AMD processor (CPUID leaf 1, base plus extended family: 25 for Zen 3 and Zen 4,
// 26 for Zen 5); 0 for other makers and other architectures. For choices that depend on how wide
// the core is, which no feature bit tells. Asked once.
[[nodiscard]] unsigned detectedAmdFamily();

// The features that 32-bit ARM Linux reports in the auxiliary vector words AT_HWCAP and AT_HWCAP2.
// The ARMv8 PMULL and SHA instructions work on the NEON registers: without NEON they count as absent.
[[nodiscard]] uint32_t armFeaturesFromHwcaps(unsigned long hwcap, unsigned long hwcap2);

// The features that 64-bit ARM Linux reports in AT_HWCAP. As on 32-bit ARM, the instructions that work
// on the vector registers count only with Advanced SIMD.
[[nodiscard]] uint32_t arm64FeaturesFromHwcap(unsigned long hwcap);

// Features named by a mask text: a comma- or space-separated list of feature names, or "all".
// Unknown names are ignored, so an old mask never stops the program.
[[nodiscard]] uint32_t parseCpuFeatureMask(const char* text);

// Detected features minus those hidden by the HASHWARDEN_CPU_MASK environment variable.
// The variable is read on every call so that tests can walk the paths one by one.
[[nodiscard]] uint32_t usableCpuFeatures();

// Names of the features in `features`, comma-separated ("none" when empty).
[[nodiscard]] std::string cpuFeatureList(uint32_t features);
