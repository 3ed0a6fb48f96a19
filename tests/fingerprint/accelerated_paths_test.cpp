// Every block-function path this CPU runs against OpenSSL and a bitwise CRC-32; files past 4 GiB.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fingerprint/cpu_features.h"
#include "fingerprint/crc32/crc32_fold.h"
#include "fingerprint/engine.h"
#include "fingerprint/family_pass.h"
#include "fingerprint/kernels.h"
#include "test_support.h"

namespace {

using Family = KernelFamily;

// Whether a path exists on every architecture whose CPUs have its features, or only in 32-bit ARM builds:
// AArch64 reports Advanced SIMD as NEON too, but its engine has no kernel of those names.
enum class Built { Anywhere, Arm32Only };

// One path: what it needs of the CPU, and the mask that makes the choice pick it on a CPU with every
// feature (nullptr: the choice picks it on no processor this table knows of, or not on every one).
struct PathCase {
    Family family;
    const char* path;
    uint32_t needs;
    const char* mask;
    Built built = Built::Anywhere;
};

#if defined(__arm__)
constexpr bool Arm32Build = true;
#else
constexpr bool Arm32Build = false;
#endif

bool builtHere(const PathCase& c) {
    return c.built == Built::Anywhere || Arm32Build;
}

// Every path of every architecture. A path runs wherever this CPU has what it needs, whichever one
// the choice would make here; one this CPU could run that the build lacks fails its tests. The ARM paths
// named alike on 32-bit and 64-bit ARM ("pmull", "armv8", the family pass's "neon") need the same features.
const PathCase PathCases[] = {
    {Family::Crc32, "vpclmul", CpuVpclmul | CpuAvx2 | CpuPclmul | CpuSse41, ""},
    {Family::Crc32, "pclmul", CpuPclmul | CpuSse41, "vpclmul"},
    {Family::Crc32, "pmull", CpuArmPmull | CpuArmCrc32 | CpuNeon, ""},
    {Family::Crc32, "armv8", CpuArmCrc32, "pmull"},
    {Family::Crc32, "neon", CpuNeon, "pmull,crc32", Built::Arm32Only},
    {Family::Crc32, "portable", 0, "all"},
    {Family::Md5, "portable", 0, "all"},
    {Family::Sha1, "shani", CpuShaNi | CpuSse41 | CpuSsse3, ""},
    {Family::Sha1, "armv8", CpuArmSha1 | CpuNeon, ""},
    {Family::Sha1, "neon", CpuNeon, "sha1", Built::Arm32Only},
    {Family::Sha1, "portable", 0, "all"},
    {Family::Sha256, "shani", CpuShaNi | CpuSse41 | CpuSsse3, ""},
    {Family::Sha256, "armv8", CpuArmSha2 | CpuNeon, ""},
    {Family::Sha256, "neon", CpuNeon, "sha2", Built::Arm32Only},
    {Family::Sha256, "portable", 0, "all"},
    {Family::Sha512, "avx512", CpuAvx512 | CpuAvx2 | CpuBmi1 | CpuBmi2, ""},
    {Family::Sha512, "avx2", CpuAvx2 | CpuBmi1 | CpuBmi2, "avx512"},
    {Family::Sha512, "sha512", CpuArmSha512 | CpuNeon, ""},
    {Family::Sha512, "neon", CpuNeon, "", Built::Arm32Only},
    {Family::Sha512, "portable", 0, "all"},
    {Family::Keccak, "bmi", CpuBmi1 | CpuBmi2, ""},
    {Family::Keccak, "sha3", CpuArmSha3 | CpuNeon, ""},
    {Family::Keccak, "neon", CpuNeon, "", Built::Arm32Only},
    {Family::Keccak, "portable", 0, "all"},
    // The family pass's kernels, one permutation for several states; "portable" runs each state alone.
    {Family::KeccakLanes, "avx512", CpuAvx512 | CpuAvx2, ""},
    {Family::KeccakLanes, "avx2", CpuAvx2, "avx512"},
    {Family::KeccakLanes, "sha3", CpuArmSha3 | CpuNeon, ""},
    {Family::KeccakLanes, "neon", CpuNeon, "sha3"},
    {Family::KeccakLanes, "portable", 0, "all"},
    // SHA-224 with SHA-256, SHA-384 with SHA-512, in one pass; "portable" runs each state through the
    // single-state kernel.
    {Family::Sha256Pair, "shani", CpuShaNi | CpuSse41 | CpuSsse3, ""},
    {Family::Sha256Pair, "portable", 0, "all"},
    {Family::Sha512Pair, "avx512", CpuAvx512 | CpuAvx2, ""},
    {Family::Sha512Pair, "portable", 0, "all"},
};

void PrintTo(const PathCase& c, std::ostream* out) {
    *out << c.path << " (mask \"" << c.mask << "\")";
}

using testkit::Slot;

Family familyOf(const Slot& slot) {
    switch (slot.plugin) {
    case PluginCrc32:
        return Family::Crc32;
    case PluginMd5:
        return Family::Md5;
    case PluginSha1:
        return Family::Sha1;
    case PluginSha2:
        return slot.bits <= 256 ? Family::Sha256 : Family::Sha512;
    default:
        return Family::Keccak;
    }
}

const char* activePath(Family family) {
    const KernelSet& k = activeKernels();
    switch (family) {
    case Family::Crc32:
        return k.crc32Path;
    case Family::Md5:
        return k.md5Path;
    case Family::Sha1:
        return k.sha1Path;
    case Family::Sha256:
        return k.sha256Path;
    case Family::Sha512:
        return k.sha512Path;
    case Family::Keccak:
        return k.keccakPath;
    case Family::KeccakLanes:
        return k.keccakLanesPath;
    case Family::Sha256Pair:
        return k.sha256PairPath;
    case Family::Sha512Pair:
        return k.sha512PairPath;
    }
    return "";
}

// Bit by bit from the reflected polynomial, chainable: shares nothing with the table or the folding code.
uint32_t crc32Bitwise(uint32_t crc, const uint8_t* data, std::size_t length) {
    uint32_t c = ~crc;
    for (std::size_t i = 0; i < length; ++i) {
        c ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// a * b mod P for normal-form polynomials of degree below 32.
uint32_t mulModP(uint32_t a, uint32_t b) {
    uint32_t r = 0;
    for (int i = 31; i >= 0; --i) {
        r = (r & 0x80000000u) ? (r << 1) ^ crc32fold::Polynomial : (r << 1);
        if ((b >> i) & 1u) r ^= a;
    }
    return r;
}

// The compiled-in kernel of `family` named `path`, or nullptr.
const AcceleratedKernel* compiledKernel(Family family, const char* path) {
    for (const AcceleratedKernel& kernel : compiledAcceleratedKernels())
        if (kernel.family == family && std::strcmp(kernel.path, path) == 0) return &kernel;
    return nullptr;
}

// Puts the path in force alone (the other families portable), whichever kernel the choice would make.
class AcceleratedPath : public testing::TestWithParam<PathCase> {
  protected:
    void SetUp() override {
        testkit::registerPluginsOnce();
        const PathCase& c = GetParam();
        if (!builtHere(c)) GTEST_SKIP() << "a path of 32-bit ARM builds only";
        if ((detectedCpuFeatures() & c.needs) != c.needs)
            GTEST_SKIP() << "this CPU lacks " << cpuFeatureList(c.needs & ~detectedCpuFeatures());
        KernelSet set = portableKernels();
        if (std::strcmp(c.path, "portable") != 0) {
            const AcceleratedKernel* kernel = compiledKernel(c.family, c.path);
            ASSERT_NE(kernel, nullptr)
                << "this CPU runs the " << c.path << " path, but the build left it out";
            // A kernel that asks less of the CPU than it uses would be chosen where it faults.
            ASSERT_EQ(cpuFeatureList(kernel->needs), cpuFeatureList(c.needs));
            installKernel(set, *kernel);
        }
        setActiveKernels(set);
        ASSERT_STREQ(activePath(c.family), c.path);
    }
    void TearDown() override { chooseKernels(); }

    // A family pass's kernel: the lengths that share it.
    PassFamily passFamily() const {
        switch (GetParam().family) {
        case Family::KeccakLanes:
            return PassFamily::Sha3;
        case Family::Sha256Pair:
            return PassFamily::Sha256;
        case Family::Sha512Pair:
            return PassFamily::Sha512;
        default:
            return PassFamily::None;
        }
    }

    // The slots whose block function this path provides (the lengths of its family for a family pass's kernel).
    std::vector<const Slot*> slots() const {
        const Family family = GetParam().family == Family::KeccakLanes  ? Family::Keccak
                              : GetParam().family == Family::Sha256Pair ? Family::Sha256
                              : GetParam().family == Family::Sha512Pair ? Family::Sha512
                                                                        : GetParam().family;
        std::vector<const Slot*> list;
        for (const Slot& slot : testkit::Slots)
            if (familyOf(slot) == family) list.push_back(&slot);
        return list;
    }

    // The digest of each of slots() over the bytes fed in `pieces`: through each plugin, or through one
    // family pass of all its lengths for a family pass's kernel.
    std::vector<std::string> digests(const uint8_t* bytes, std::size_t size,
                                     const std::vector<std::size_t>& pieces = {}) const {
        std::vector<std::string> list;
        if (passFamily() != PassFamily::None) {
            std::vector<int> bits;
            for (const Slot* slot : slots())
                bits.push_back(slot->bits);
            return testkit::familyDigests(passFamily(), bits, bytes, size, pieces);
        }
        for (const Slot* slot : slots())
            list.push_back(testkit::pluginDigest(*slot, bytes, size, pieces));
        return list;
    }
};

TEST_P(AcceleratedPath, KnownAnswers) {
    struct Vector {
        int plugin;
        int bits;
        const char* message;
        const char* digest;
    };
    // RFC 1321 A.5, FIPS 180-4 / FIPS 202 examples (NIST CSRC example values), the CRC-32 check value.
    static const Vector Vectors[] = {
        {PluginCrc32, 0, "123456789", "cbf43926"},
        {PluginCrc32, 0, "", "00000000"},
        {PluginMd5, 0, "", "d41d8cd98f00b204e9800998ecf8427e"},
        {PluginMd5, 0, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        {PluginMd5, 0, "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {PluginSha1, 0, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {PluginSha1, 0, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {PluginSha2, 224, "abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {PluginSha2, 256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {PluginSha2, 256, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {PluginSha2, 384, "abc",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
        {PluginSha2, 512, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd"
         "454d4423643ce80e2a9ac94fa54ca49f"},
        {PluginSha2, 512,
         "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmno"
         "pqrstnopqrstu",
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433a"
         "c7d329eeb6dd26545e96e55b874be909"},
        {PluginSha3, 224, "abc", "e642824c3f8cf24ad09234ee7d3c766fc9a3a5168d0c94ad73b46fdf"},
        {PluginSha3, 256, "", "a7ffc6f8bf1ed76651c14756a061d662f580ff4de43b49fa82d80a4b80f8434a"},
        {PluginSha3, 256, "abc", "3a985da74fe225b2045c172d6bd390bd855f086e3e9d525b46bfe24511431532"},
        {PluginSha3, 384, "abc",
         "ec01498288516fc926459f58e2c6ad8df9b473cb0fc08c2596da7cf0e49be4b298d88cea927ac7f539f1edf228376d25"},
        {PluginSha3, 512, "abc",
         "b751850b1a57168a5693cd924b6b096e08f621827444f70d884f5d0240d2712e10e116e9192af3c91a7ec57647e3934057"
         "340b4cf408d5a56592f8274eec53f0"},
    };
    int checked = 0;
    const std::vector<const Slot*> list = slots();
    for (const Vector& v : Vectors) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(v.message);
        const std::vector<std::string> actual = digests(bytes, std::strlen(v.message));
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (v.plugin != list[i]->plugin || (v.bits != 0 && v.bits != list[i]->bits)) continue;
            EXPECT_EQ(actual[i], v.digest) << list[i]->name << " of " << v.message;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

// Every length from 0 to 4096 covers the padding boundaries of every block size, every tail of
// the multi-block kernels and several main-loop strides; the input starts at an odd address.
TEST_P(AcceleratedPath, EveryLengthUpTo4096MatchesOracle) {
    constexpr std::size_t MaxLength = 4096;
    const std::vector<uint8_t> bytes = testkit::randomBytes(MaxLength + 1, 6);
    const uint8_t* odd = bytes.data() + 1;
    const std::vector<const Slot*> list = slots();
    int failures = 0;
    for (std::size_t length = 0; length <= MaxLength && failures < 5; ++length) {
        const std::vector<std::string> actual = digests(odd, length);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string expected = testkit::oracleDigest(*list[i], odd, length);
            if (actual[i] != expected) {
                ADD_FAILURE() << list[i]->name << " length " << length << ": " << actual[i] << " != " << expected;
                ++failures;
            }
        }
    }
}

// Large input in random pieces at every alignment: runs of blocks of any length reach the
// kernels, split at places that are not block boundaries.
TEST_P(AcceleratedPath, RandomPiecesOfALargeInputMatchOracle) {
    constexpr std::size_t Length = (1 << 20) + 4099;
    const std::vector<uint8_t> bytes = testkit::randomBytes(Length + 8, 7);
    std::mt19937 generator(8);
    const std::vector<const Slot*> list = slots();
    for (std::size_t offset : {0, 3, 8}) {
        std::vector<std::size_t> pieces;
        for (std::size_t total = 0; total < Length;) {
            std::size_t piece = generator() % 3 == 0 ? generator() % 200 : generator() % 70000;
            pieces.push_back(piece);
            total += piece;
        }
        const std::vector<std::string> actual = digests(bytes.data() + offset, Length, pieces);
        for (std::size_t i = 0; i < list.size(); ++i)
            EXPECT_EQ(actual[i], testkit::oracleDigest(*list[i], bytes.data() + offset, Length))
                << list[i]->name << " offset " << offset;
    }
}

// Kernels that load later blocks ahead of the rounds must stop at the input's end: the input here
// ends where an inaccessible page begins. Every length that is a multiple of 8 up to 2560 puts the
// last whole block of each block size (64, 128, the SHA-3 rates) against that page.
TEST_P(AcceleratedPath, ReadsNothingPastTheEndOfTheInput) {
    constexpr std::size_t MaxLength = 20 * 128;
    const std::vector<uint8_t> bytes = testkit::randomBytes(MaxLength, 14);
    const testkit::GuardedBytes guarded(bytes);
    const std::vector<const Slot*> list = slots();
    for (std::size_t length = 8; length <= MaxLength; length += 8) {
        const std::vector<std::string> actual = digests(guarded.last(length), length);
        for (std::size_t i = 0; i < list.size(); ++i)
            EXPECT_EQ(actual[i], testkit::oracleDigest(*list[i], bytes.data() + MaxLength - length, length))
                << list[i]->name << " length " << length;
    }
}

// The whole way through the file driver: 2 MiB + 77 bytes, read in 1 MiB blocks.
TEST_P(AcceleratedPath, FileFingerprintMatchesOracle) {
    if (passFamily() != PassFamily::None) GTEST_SKIP() << "the job's tests run family passes over files";
    const std::vector<uint8_t> bytes = testkit::randomBytes((2 << 20) + 77, 9);
    const testkit::TempFile file(bytes);
    for (const Slot* slot : slots())
        EXPECT_EQ(fileFingerprint(file.path(), slot->plugin, slot->bits),
                  testkit::oracleDigest(*slot, bytes.data(), bytes.size()))
            << slot->name;
}

#if defined(__arm__)
// Calls fn(a0, a1, a2, a3) with d8-d15 (callee-saved in the ARM procedure call standard) holding
// known values and returns whether they hold them afterwards. The assembly kernels use those
// registers and must put them back; the compiler relies on that across every call.
bool callKeepsD8ToD15(const void* fn, uintptr_t a0, uintptr_t a1, uintptr_t a2, uintptr_t a3) {
    uint64_t before[8], after[8];
    for (int i = 0; i < 8; ++i)
        before[i] = 0x0123456789ABCDEFull * static_cast<uint64_t>(i + 3);
    register uintptr_t r0 __asm__("r0") = a0;
    register uintptr_t r1 __asm__("r1") = a1;
    register uintptr_t r2 __asm__("r2") = a2;
    register uintptr_t r3 __asm__("r3") = a3;
    register const uint64_t* r4 __asm__("r4") = before;
    register uint64_t* r5 __asm__("r5") = after;
    register const void* r6 __asm__("r6") = fn;
    __asm__ volatile("vldmia %[in], {d8-d15}\n\t"
                     "blx %[fn]\n\t"
                     "vstmia %[out], {d8-d15}"
                     : "+r"(r0), "+r"(r1), "+r"(r2), "+r"(r3)
                     : [in] "r"(r4), [out] "r"(r5), [fn] "r"(r6)
                     : "r12", "lr", "memory", "cc", "d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7", "d8", "d9",
                       "d10", "d11", "d12", "d13", "d14", "d15");
    return std::memcmp(before, after, sizeof before) == 0;
}
#elif defined(__aarch64__)
// The same for AArch64, where the procedure call standard keeps the low halves of v8-v15 (d8-d15) across
// a call; the assembly kernels use some of them.
bool callKeepsD8ToD15(const void* fn, uintptr_t a0, uintptr_t a1, uintptr_t a2, uintptr_t a3) {
    uint64_t before[8], after[8];
    for (int i = 0; i < 8; ++i)
        before[i] = 0x0123456789ABCDEFull * static_cast<uint64_t>(i + 3);
    register uintptr_t x0 __asm__("x0") = a0;
    register uintptr_t x1 __asm__("x1") = a1;
    register uintptr_t x2 __asm__("x2") = a2;
    register uintptr_t x3 __asm__("x3") = a3;
    register const uint64_t* x19 __asm__("x19") = before;
    register uint64_t* x20 __asm__("x20") = after;
    register const void* x21 __asm__("x21") = fn;
    __asm__ volatile("ldp d8, d9, [%[in]]\n\tldp d10, d11, [%[in], #16]\n\t"
                     "ldp d12, d13, [%[in], #32]\n\tldp d14, d15, [%[in], #48]\n\t"
                     "blr %[fn]\n\t"
                     "stp d8, d9, [%[out]]\n\tstp d10, d11, [%[out], #16]\n\t"
                     "stp d12, d13, [%[out], #32]\n\tstp d14, d15, [%[out], #48]"
                     : "+r"(x0), "+r"(x1), "+r"(x2), "+r"(x3)
                     : [in] "r"(x19), [out] "r"(x20), [fn] "r"(x21)
                     : "x4", "x5", "x6", "x7", "x8", "x9", "x10", "x11", "x12", "x13", "x14", "x15", "x16", "x17",
                       "x30", "memory", "cc", "v0", "v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9", "v10",
                       "v11", "v12", "v13", "v14", "v15", "v16", "v17", "v18", "v19", "v20", "v21", "v22", "v23",
                       "v24", "v25", "v26", "v27", "v28", "v29", "v30", "v31");
    return std::memcmp(before, after, sizeof before) == 0;
}
#endif

// A kernel written in assembly can break its callers without a wrong digest: run each once with
// the callee-saved NEON registers filled and look at them afterwards.
TEST_P(AcceleratedPath, KeepsTheCalleeSavedNeonRegisters) {
#if defined(__arm__) || defined(__aarch64__)
    const std::vector<uint8_t> bytes = testkit::randomBytes(3 * 136, 12);
    const auto data = reinterpret_cast<uintptr_t>(bytes.data());
    uint64_t state[25] = {};
    const auto at = reinterpret_cast<uintptr_t>(state);
    const KernelSet& k = activeKernels();
    bool kept = false;
    switch (GetParam().family) {
    case Family::Crc32:
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.crc32), 0, data, bytes.size(), 0);
        break;
    case Family::Md5:
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.md5), at, data, 3, 0);
        break;
    case Family::Sha1:
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.sha1), at, data, 3, 0);
        break;
    case Family::Sha256:
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.sha256), at, data, 3, 0);
        break;
    case Family::Sha512:
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.sha512), at, data, 3, 0);
        break;
    case Family::Keccak:
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.keccak), at, data, 3, 136);
        break;
    case Family::KeccakLanes: {
        if (k.keccakLanes == nullptr) GTEST_SKIP() << "no kernel of its own";
        alignas(64) uint64_t words[4 * 25] = {};
        const uint8_t* from[4] = {bytes.data(), bytes.data(), bytes.data(), bytes.data()};
        const std::size_t blocks[4] = {3, 2, 1, 0}, rates[4] = {136, 136, 136, 136};
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.keccakLanes), reinterpret_cast<uintptr_t>(words),
                                reinterpret_cast<uintptr_t>(from), reinterpret_cast<uintptr_t>(blocks),
                                reinterpret_cast<uintptr_t>(rates));
        break;
    }
    case Family::Sha256Pair:
        if (k.sha256Pair == nullptr) GTEST_SKIP() << "no kernel of its own";
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.sha256Pair), at, at + 32, data, 3);
        break;
    case Family::Sha512Pair:
        if (k.sha512Pair == nullptr) GTEST_SKIP() << "no kernel of its own";
        kept = callKeepsD8ToD15(reinterpret_cast<const void*>(k.sha512Pair), at, at + 64, data, 3);
        break;
    }
    EXPECT_TRUE(kept) << GetParam().path << " changed d8-d15";
#else
    GTEST_SKIP() << "the ARM calling conventions only";
#endif
}

// On a CPU with every feature of the path, the mask hides the faster ones and the choice picks it.
TEST_P(AcceleratedPath, MaskMakesTheChoicePickIt) {
    const PathCase& c = GetParam();
    if (c.mask == nullptr) GTEST_SKIP() << "the choice picks this path on some processors only";
    if (!builtHere(c)) GTEST_SKIP() << "a path of 32-bit ARM builds only";
    const AcceleratedKernel* kernel = compiledKernel(c.family, c.path);
    if (kernel != nullptr && kernel->slowerOnAmdFamily != 0 &&
        kernel->slowerOnAmdFamily == detectedAmdFamily())
        GTEST_SKIP() << "not chosen on AMD family " << detectedAmdFamily();
    setenv("HASHWARDEN_CPU_MASK", c.mask, 1);
    chooseKernels();
    unsetenv("HASHWARDEN_CPU_MASK");
    EXPECT_STREQ(activePath(c.family), c.path) << "mask \"" << c.mask << "\"";
}

using AcceleratedCrc32Path = AcceleratedPath;

// The CRC-32 kernels are chainable from any finished value, not only from the start.
TEST_P(AcceleratedCrc32Path, ChainsFromAnyValue) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(3000, 10);
    const Crc32Fn crc32 = activeKernels().crc32;
    for (std::size_t split : {0, 1, 15, 16, 63, 64, 255, 256, 257, 1000, 2999, 3000}) {
        const uint32_t first = crc32(0, bytes.data(), split);
        EXPECT_EQ(crc32(first, bytes.data() + split, bytes.size() - split),
                  crc32Bitwise(0, bytes.data(), bytes.size()))
            << "split at " << split;
    }
    EXPECT_EQ(crc32(0x12345678u, nullptr, 0), 0x12345678u);
}

// Folding kernels move every bit of a lane by its own multiplier: a message with one bit set, at
// every bit of the first 128 bytes (all the lanes the widest kernels start with), reaches each lane
// byte's multipliers alone, where random data would hide which one is wrong. 288 bytes take the
// folding loops of every kernel at least once (those of the widest start at 256 bytes).
TEST_P(AcceleratedCrc32Path, EverySingleBitIsFoldedToItsPlace) {
    std::vector<uint8_t> bytes(288, 0);
    const Crc32Fn crc32 = activeKernels().crc32;
    int failures = 0;
    for (std::size_t bit = 0; bit < 128 * 8 && failures < 5; ++bit) {
        bytes[bit / 8] = static_cast<uint8_t>(1u << (bit % 8));
        const uint32_t expected = crc32Bitwise(0, bytes.data(), bytes.size());
        const uint32_t actual = crc32(0, bytes.data(), bytes.size());
        if (actual != expected) {
            ADD_FAILURE() << "byte " << bit / 8 << " bit " << bit % 8 << ": " << std::hex << actual
                          << " != " << expected;
            ++failures;
        }
        bytes[bit / 8] = 0;
    }
}

using AcceleratedKeccakPath = AcceleratedPath;

// The rates the absorb functions take, each read exactly: 8 bytes a lane up to the whole state.
constexpr std::size_t OtherRates[] = {8, 72, 80, 112, 136, 144, 168, 200};

// What absorbing `blocks` blocks at `rate` from `data` must give: each block's first `rate` bytes
// and zeros for the rest of the state, absorbed at the full width by the portable kernel.
std::vector<uint64_t> absorbedAtFullWidth(std::vector<uint64_t> lanes, const uint8_t* data, std::size_t blocks,
                                          std::size_t rate) {
    for (std::size_t block = 0; block < blocks; ++block) {
        uint8_t padded[200] = {};
        std::memcpy(padded, data + block * rate, rate);
        keccak1600AbsorbPortable(lanes.data(), padded, 1, 200);
    }
    return lanes;
}

std::vector<uint64_t> startingLanes(uint64_t seed) {
    std::vector<uint64_t> lanes(25);
    for (std::size_t i = 0; i < 25; ++i)
        lanes[i] = 0x9e3779b97f4a7c15ull * (i + seed);
    return lanes;
}

// Every rate reads its own bytes and no more: the blocks end where a page that cannot be read begins
// (a rule that took 104 bytes at 80, or 144 at 168, faults or absorbs the wrong lanes).
TEST_P(AcceleratedKeccakPath, ReadsExactlyTheRateAtAnyRate) {
    constexpr std::size_t Blocks = 3;
    const Keccak1600AbsorbFn absorb = activeKernels().keccak;
    for (std::size_t rate : OtherRates) {
        const std::vector<uint8_t> bytes = testkit::randomBytes(Blocks * rate, static_cast<uint32_t>(rate));
        const testkit::GuardedBytes guarded(bytes);
        std::vector<uint64_t> lanes = startingLanes(1);
        absorb(lanes.data(), guarded.last(bytes.size()), Blocks, rate);
        EXPECT_EQ(lanes, absorbedAtFullWidth(startingLanes(1), bytes.data(), Blocks, rate)) << "rate " << rate;
    }
}

using AcceleratedKeccakLanesPath = AcceleratedPath;

struct LaneBlocks {
    std::size_t rate;
    std::size_t blocks;
};

// One call of the family pass's kernel on the first `width` of `lanes`: each lane's blocks end against a
// page that cannot be read, and each state must come out as the portable kernel absorbs its blocks alone.
void expectEachLaneAbsorbsItsOwnBlocks(const std::vector<LaneBlocks>& lanes) {
    const KernelSet& kernels = activeKernels();
    const std::size_t width = kernels.keccakLaneCount;
    ASSERT_LE(width, lanes.size());
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<std::unique_ptr<testkit::GuardedBytes>> guarded;
    alignas(64) uint64_t words[4 * 25];
    const uint8_t* data[4] = {};
    std::size_t blocks[4] = {}, rates[4] = {};
    for (std::size_t lane = 0; lane < width; ++lane) {
        bytes.push_back(testkit::randomBytes(lanes[lane].blocks * lanes[lane].rate, static_cast<uint32_t>(lane + 20)));
        guarded.push_back(std::make_unique<testkit::GuardedBytes>(bytes.back()));
        blocks[lane] = lanes[lane].blocks;
        rates[lane] = blocks[lane] != 0 ? lanes[lane].rate : 12345; // unread
        data[lane] = blocks[lane] != 0 ? guarded.back()->last(bytes.back().size()) : nullptr;
        const std::vector<uint64_t> start = startingLanes(lane + 1);
        for (std::size_t w = 0; w < 25; ++w)
            words[width * w + lane] = start[w];
    }
    kernels.keccakLanes(words, data, blocks, rates);
    for (std::size_t lane = 0; lane < width; ++lane) {
        std::vector<uint64_t> actual(25);
        for (std::size_t w = 0; w < 25; ++w)
            actual[w] = words[width * w + lane];
        EXPECT_EQ(actual, absorbedAtFullWidth(startingLanes(lane + 1), bytes[lane].data(), lanes[lane].blocks,
                                              lanes[lane].rate))
            << "lane " << lane << ", rate " << lanes[lane].rate << ", " << lanes[lane].blocks << " blocks";
    }
}

// Each lane of the family pass's kernel takes its own rate and number of blocks, reads exactly its
// blocks, and a lane without blocks is left alone, whatever its data and rate say.
TEST_P(AcceleratedKeccakLanesPath, EachLaneAbsorbsItsOwnBlocksAtItsOwnRate) {
    if (activeKernels().keccakLanes == nullptr) GTEST_SKIP() << "each state goes through the single-state kernel";
    // Rows of lanes, the first `width` of each used: fewer blocks than the others, none, more at a
    // smaller rate, every rate of the table.
    const std::vector<std::vector<LaneBlocks>> cases = {
        {{144, 3}, {136, 3}, {104, 3}, {72, 3}},  {{72, 5}, {144, 2}, {200, 0}, {104, 4}},
        {{136, 0}, {72, 1}, {168, 2}, {8, 9}},    {{80, 2}, {200, 1}, {112, 3}, {144, 0}},
        {{168, 4}, {8, 1}, {136, 2}, {200, 3}},
    };
    for (const std::vector<LaneBlocks>& lanes : cases)
        expectEachLaneAbsorbsItsOwnBlocks(lanes);
}

// Every word of a block reaches its own place in every lane: each lane in turn takes every rate from 8 to
// 200 bytes beside lanes at 136, so that each of its words is the last of some block (kernels that
// absorb from the rate's last word down start there).
TEST_P(AcceleratedKeccakLanesPath, EveryRateInEveryLane) {
    if (activeKernels().keccakLanes == nullptr) GTEST_SKIP() << "each state goes through the single-state kernel";
    for (std::size_t lane = 0; lane < activeKernels().keccakLaneCount; ++lane)
        for (std::size_t rate = 8; rate <= 200; rate += 8) {
            std::vector<LaneBlocks> lanes(4, LaneBlocks{136, 2});
            lanes[lane] = {rate, 2};
            expectEachLaneAbsorbsItsOwnBlocks(lanes);
        }
}

using AcceleratedFamilyPath = AcceleratedPath;

// Every choice of lengths in one pass (one alone included, some in the reverse order) gives each length
// the digest of its own pass: the standards' messages, then random messages in random pieces.
TEST_P(AcceleratedFamilyPath, EverySetOfLengthsEqualsTheSinglePasses) {
    const char* const file = passFamily() == PassFamily::Sha3 ? "sha3.txt" : "sha2.txt";
    const std::vector<testkit::KnownAnswer> answers = testkit::readKnownAnswers(file);
    ASSERT_FALSE(answers.empty());
    std::mt19937 generator(31);
    const std::vector<uint8_t> storage = testkit::randomBytes((1 << 20) + 5000, 32);
    const std::vector<const Slot*> lengths = slots();
    for (unsigned subset = 1; subset < (1u << lengths.size()); ++subset) {
        std::vector<const Slot*> members;
        for (unsigned i = 0; i < lengths.size(); ++i)
            if (subset & (1u << i)) members.push_back(lengths[i]);
        if (subset % 3 == 0) std::reverse(members.begin(), members.end());
        std::vector<int> bits;
        for (const Slot* member : members)
            bits.push_back(member->bits);
        for (const testkit::KnownAnswer& answer : answers) {
            const std::vector<std::string> actual =
                testkit::familyDigests(passFamily(), bits, answer.message.data(), answer.message.size());
            for (std::size_t i = 0; i < members.size(); ++i) {
                if (answer.algorithm == members[i]->name) {
                    EXPECT_EQ(actual[i], answer.digest) << file << ":" << answer.line << ", set " << subset;
                }
            }
        }
        for (int input = 0; input < 12; ++input) {
            // One input in four crosses the file driver's 1 MiB block.
            const std::size_t length = input % 4 == 3 ? (1 << 20) + generator() % 4096 : generator() % 3000;
            const std::size_t offset = generator() % 8;
            std::vector<std::size_t> pieces;
            for (std::size_t total = 0; total < length;) {
                const std::size_t piece = generator() % 4 == 0 ? generator() % 150 : generator() % (length / 3 + 1);
                pieces.push_back(piece);
                total += piece;
            }
            const uint8_t* start = storage.data() + offset;
            const std::vector<std::string> actual = testkit::familyDigests(passFamily(), bits, start, length, pieces);
            for (std::size_t i = 0; i < members.size(); ++i)
                EXPECT_EQ(actual[i], testkit::pluginDigest(*members[i], start, length))
                    << members[i]->name << ", set " << subset << ", " << length << " bytes in " << pieces.size()
                    << " pieces";
        }
    }
}

// Every kernel the build holds has its case above, with the same needs: none goes untested.
TEST(CompiledKernels, EachHasItsPathCase) {
    for (const AcceleratedKernel& kernel : compiledAcceleratedKernels()) {
        const PathCase* found = nullptr;
        for (const PathCase& c : PathCases)
            if (builtHere(c) && c.family == kernel.family && std::strcmp(c.path, kernel.path) == 0) found = &c;
        ASSERT_NE(found, nullptr) << kernel.path;
        EXPECT_EQ(cpuFeatureList(kernel.needs), cpuFeatureList(found->needs)) << kernel.path;
    }
}

std::string pathName(const testing::TestParamInfo<PathCase>& info) {
    static const char* const Families[] = {"Crc32",  "Md5",         "Sha1",       "Sha256",    "Sha512",
                                           "Keccak", "KeccakLanes", "Sha256Pair", "Sha512Pair"};
    return std::string(Families[static_cast<int>(info.param.family)]) + "_" + info.param.path;
}

std::vector<PathCase> casesOf(Family family) {
    std::vector<PathCase> cases;
    for (const PathCase& c : PathCases)
        if (c.family == family) cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Paths, AcceleratedPath, testing::ValuesIn(PathCases), pathName);
INSTANTIATE_TEST_SUITE_P(Paths, AcceleratedCrc32Path, testing::ValuesIn(casesOf(Family::Crc32)), pathName);
INSTANTIATE_TEST_SUITE_P(Paths, AcceleratedKeccakPath, testing::ValuesIn(casesOf(Family::Keccak)), pathName);
INSTANTIATE_TEST_SUITE_P(Paths, AcceleratedKeccakLanesPath, testing::ValuesIn(casesOf(Family::KeccakLanes)),
                         pathName);
std::vector<PathCase> familyPassCases() {
    std::vector<PathCase> cases = casesOf(Family::KeccakLanes);
    for (Family pair : {Family::Sha256Pair, Family::Sha512Pair})
        for (const PathCase& c : casesOf(pair))
            cases.push_back(c);
    return cases;
}
INSTANTIATE_TEST_SUITE_P(Paths, AcceleratedFamilyPath, testing::ValuesIn(familyPassCases()), pathName);

TEST(CpuFeatureMask, ParsesNamesListsAndAll) {
    EXPECT_EQ(parseCpuFeatureMask(nullptr), 0u);
    EXPECT_EQ(parseCpuFeatureMask(""), 0u);
    EXPECT_EQ(parseCpuFeatureMask("all"), ~0u);
    EXPECT_EQ(parseCpuFeatureMask("shani"), uint32_t{CpuShaNi});
    EXPECT_EQ(parseCpuFeatureMask("avx2,bmi2"), uint32_t{CpuAvx2 | CpuBmi2});
    EXPECT_EQ(parseCpuFeatureMask(" pclmul , vpclmul "), uint32_t{CpuPclmul | CpuVpclmul});
    // Unknown names and prefixes of names hide nothing.
    EXPECT_EQ(parseCpuFeatureMask("sha,avx512bw,bmi"), 0u);
    EXPECT_EQ(cpuFeatureList(CpuSsse3 | CpuShaNi), "ssse3,shani");
    EXPECT_EQ(cpuFeatureList(0), "none");
    for (const CpuFeatureName& entry : CpuFeatureNames)
        EXPECT_EQ(parseCpuFeatureMask(entry.name), uint32_t{entry.feature});
}

TEST(CpuFeatureMask, EnvironmentHidesFeaturesAndAllGivesPortable) {
    testkit::registerPluginsOnce();
    setenv("HASHWARDEN_CPU_MASK", "all", 1);
    EXPECT_EQ(usableCpuFeatures(), 0u);
    chooseKernels();
    for (Family family : {Family::Crc32, Family::Md5, Family::Sha1, Family::Sha256, Family::Sha512, Family::Keccak,
                          Family::KeccakLanes, Family::Sha256Pair, Family::Sha512Pair})
        EXPECT_STREQ(activePath(family), "portable");
    setenv("HASHWARDEN_CPU_MASK", "shani,sha2,neon", 1);
    EXPECT_EQ(usableCpuFeatures(), detectedCpuFeatures() & ~uint32_t{CpuShaNi | CpuArmSha2 | CpuNeon});
    chooseKernels();
    EXPECT_STREQ(activePath(Family::Sha256), "portable");
    // A CRC path needs PCLMUL whichever width it folds with; on ARM, PMULL folding ends with the CRC32
    // instructions and the 8-bit folding needs NEON, so hiding those leaves the table.
    setenv("HASHWARDEN_CPU_MASK", "pclmul,crc32,neon", 1);
    chooseKernels();
    EXPECT_STREQ(activePath(Family::Crc32), "portable");
    unsetenv("HASHWARDEN_CPU_MASK");
    EXPECT_EQ(usableCpuFeatures(), detectedCpuFeatures());
    chooseKernels();
}

// The family comes from CPUID; the kernel's own reading of the processor is an independent witness.
TEST(CpuModel, AmdFamilyMatchesTheKernelsReading) {
#if defined(__x86_64__) || defined(__i386__)
    std::ifstream info("/proc/cpuinfo");
    if (!info) GTEST_SKIP() << "no /proc/cpuinfo";
    std::string vendor;
    long family = -1;
    for (std::string line; (vendor.empty() || family < 0) && std::getline(info, line);) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon + 2 > line.size()) continue;
        const std::string value = line.substr(colon + 2);
        if (line.rfind("vendor_id", 0) == 0) vendor = value;
        if (line.rfind("cpu family", 0) == 0) family = std::stol(value);
    }
    ASSERT_GE(family, 0) << "/proc/cpuinfo names no cpu family";
    EXPECT_EQ(detectedAmdFamily(), vendor == "AuthenticAMD" ? static_cast<unsigned>(family) : 0u) << vendor;
#else
    EXPECT_EQ(detectedAmdFamily(), 0u);
#endif
}

// What 32-bit ARM Linux reports in AT_HWCAP and AT_HWCAP2 (the kernel's <asm/hwcap.h> bits) becomes
// the feature mask; the instructions that work on NEON registers count only with NEON.
TEST(CpuFeatureMask, ArmHwcapsGiveTheFeatures) {
    constexpr unsigned long Neon = 1ul << 12, Vfpv3 = 1ul << 13, Vfpv4 = 1ul << 16, Idiv = 3ul << 17;
    constexpr unsigned long Aes = 1ul << 0, Pmull = 1ul << 1, Sha1 = 1ul << 2, Sha2 = 1ul << 3,
                            Crc32 = 1ul << 4;
    struct Case {
        const char* board;
        unsigned long hwcap;
        unsigned long hwcap2;
        uint32_t features;
    };
    const Case cases[] = {
        {"ARMv7 without NEON", Vfpv3, 0, 0},
        {"ARMv7 with NEON", Neon | Vfpv3 | Vfpv4 | Idiv, 0, CpuNeon},
        {"ARMv8 without the cryptography extension", Neon | Vfpv4 | Idiv, Crc32, CpuNeon | CpuArmCrc32},
        {"ARMv8 with it", Neon | Vfpv4 | Idiv, Aes | Pmull | Sha1 | Sha2 | Crc32,
         CpuNeon | CpuArmCrc32 | CpuArmPmull | CpuArmSha1 | CpuArmSha2},
        {"a kernel that leaves NEON off", Vfpv4, Aes | Pmull | Sha1 | Sha2 | Crc32, CpuArmCrc32},
        {"bits this engine does not use", ~(Neon), ~(Pmull | Sha1 | Sha2 | Crc32), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cpuFeatureList(armFeaturesFromHwcaps(c.hwcap, c.hwcap2)), cpuFeatureList(c.features))
            << c.board;
}

// What 64-bit ARM Linux reports in AT_HWCAP (the kernel's <asm/hwcap.h> bits) becomes the feature mask,
// with the names of the 32-bit bits for the same instructions; the vector instructions count only with
// Advanced SIMD.
TEST(CpuFeatureMask, Arm64HwcapGivesTheFeatures) {
    constexpr unsigned long Fp = 1ul << 0, Asimd = 1ul << 1, Aes = 1ul << 3, Pmull = 1ul << 4, Sha1 = 1ul << 5,
                            Sha2 = 1ul << 6, Crc32 = 1ul << 7, Atomics = 1ul << 8, Sha3 = 1ul << 17,
                            Sm3 = 1ul << 18, Sha512 = 1ul << 21, Sve = 1ul << 22;
    struct Case {
        const char* core;
        unsigned long hwcap;
        uint32_t features;
    };
    const Case cases[] = {
        {"ARMv8.0 without the cryptography extension (a Raspberry Pi 4)", Fp | Asimd | Crc32, CpuNeon | CpuArmCrc32},
        {"ARMv8.0 with it (Cortex-A53)", Fp | Asimd | Aes | Pmull | Sha1 | Sha2 | Crc32,
         CpuNeon | CpuArmCrc32 | CpuArmPmull | CpuArmSha1 | CpuArmSha2},
        {"ARMv8.2 with SHA-512 and SHA-3", Fp | Asimd | Aes | Pmull | Sha1 | Sha2 | Crc32 | Atomics | Sha3 | Sha512,
         CpuNeon | CpuArmCrc32 | CpuArmPmull | CpuArmSha1 | CpuArmSha2 | CpuArmSha3 | CpuArmSha512},
        {"SHA-3 without SHA-512", Asimd | Sha3, CpuNeon | CpuArmSha3},
        {"a kernel that leaves Advanced SIMD off", Fp | Pmull | Sha1 | Sha2 | Crc32 | Sha3 | Sha512, CpuArmCrc32},
        {"bits this engine does not use", ~(Asimd | Pmull | Sha1 | Sha2 | Crc32 | Sha3 | Sha512), 0},
        {"only those", Sm3 | Sve | Aes, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cpuFeatureList(arm64FeaturesFromHwcap(c.hwcap)), cpuFeatureList(c.features)) << c.core;
}

// The folding multipliers come from x^k mod P; check the derivation against facts about P itself.
TEST(Crc32FoldConstants, DerivedFromThePolynomial) {
    using namespace crc32fold;
    // x^32 mod P is P without its top term; reflected, it is the familiar 0xEDB88320.
    EXPECT_EQ(xPowerModP(32), Polynomial);
    EXPECT_EQ(reflect32(xPowerModP(32)), 0xEDB88320u);
    EXPECT_EQ(foldConstant(32), uint64_t{0xEDB88320u} << 1);
    // Below the degree nothing is reduced.
    EXPECT_EQ(xPowerModP(31), 0x80000000u);
    // x^(a+b) = x^a * x^b mod P, multiplied here bit by bit.
    for (unsigned a : {96u, 160u, 480u, 544u, 992u, 1056u})
        EXPECT_EQ(xPowerModP(a + 37), mulModP(xPowerModP(a), xPowerModP(37))) << a;
    // Every multiplier fits the 33 bits the folding step assumes.
    for (unsigned k = 32; k < 2100; ++k)
        EXPECT_EQ(foldConstant(k) >> 33, 0u) << k;
}

// A sparse file a little over 4 GiB with data at its start, across the 4 GiB mark and at its end.
// On 32-bit targets any offset, length or position held in 32 bits shows up here.
class LargeSparseFile : public testing::Test {
  protected:
    static constexpr int64_t FourGiB = int64_t{1} << 32;
    static constexpr int64_t Size = FourGiB + 3 * 1048576 + 123;
    struct Region {
        int64_t offset;
        std::vector<uint8_t> bytes;
    };

    void SetUp() override {
        testkit::registerPluginsOnce();
        const int fd = mkstemp(name_);
        ASSERT_GE(fd, 0);
        regions_ = {{0, testkit::randomBytes(5000, 11)},
                    {FourGiB - 700, testkit::randomBytes(1500, 12)},
                    {Size - 999, testkit::randomBytes(999, 13)}};
        bool ok = ftruncate(fd, Size) == 0;
        for (const Region& r : regions_)
            ok = ok &&
                 pwrite(fd, r.bytes.data(), r.bytes.size(), r.offset) == static_cast<ssize_t>(r.bytes.size());
        close(fd);
        if (!ok) {
            unlink(name_);
            GTEST_SKIP() << "this file system cannot hold a sparse file of " << Size << " bytes";
        }
    }
    void TearDown() override { unlink(name_); }

    // The file's bytes from `offset`, `length` of them (zeros between the regions).
    std::vector<uint8_t> bytesAt(int64_t offset, std::size_t length) const {
        std::vector<uint8_t> bytes(length, 0);
        for (const Region& r : regions_)
            for (std::size_t i = 0; i < r.bytes.size(); ++i) {
                const int64_t at = r.offset + static_cast<int64_t>(i) - offset;
                if (at >= 0 && at < static_cast<int64_t>(length))
                    bytes[static_cast<std::size_t>(at)] = r.bytes[i];
            }
        return bytes;
    }

    // CRC-32 of the bytes [0, end): data regions bit by bit, runs of zeros by multiplying the CRC
    // register by x^(8n) mod P, so the expected value costs nothing like reading 4 GiB.
    uint32_t expectedCrc32(int64_t end) const {
        using namespace crc32fold;
        auto appendZeros = [&](uint32_t crc, int64_t count) {
            uint32_t power = xPowerModP(0);  // x^(8 * count), by squaring
            uint32_t square = xPowerModP(8); // x^(8 * 2^i)
            for (uint64_t n = static_cast<uint64_t>(count); n != 0; n >>= 1) {
                if (n & 1u) power = mulModP(power, square);
                square = mulModP(square, square);
            }
            return ~reflect32(mulModP(reflect32(~crc), power));
        };
        uint32_t crc = 0;
        int64_t at = 0;
        for (const Region& r : regions_) {
            if (r.offset >= end) break;
            crc = appendZeros(crc, r.offset - at);
            const std::size_t count =
                static_cast<std::size_t>(std::min<int64_t>(end - r.offset, r.bytes.size()));
            crc = crc32Bitwise(crc, r.bytes.data(), count);
            at = r.offset + static_cast<int64_t>(count);
        }
        return appendZeros(crc, end - at);
    }

    static std::string crcText(uint32_t crc) {
        char text[9];
        std::snprintf(text, sizeof text, "%08x", crc);
        return text;
    }

    char name_[32] = "/tmp/hw-sparse-XXXXXX";
    std::vector<Region> regions_;
};

TEST_F(LargeSparseFile, OffsetsPast4GiBReachTheRightBytes) {
    const Slot& md5 = testkit::Slots[1];
    const Slot& sha256 = testkit::Slots[4];
    // Across the 4 GiB mark, beyond it, and the tail up to the end (length -1).
    struct Window {
        int64_t offset;
        int64_t length;
    };
    for (const Window w : {Window{FourGiB - 1000, 2000}, Window{FourGiB + 5, 600}, Window{Size - 2500, -1}}) {
        const std::size_t count = static_cast<std::size_t>(w.length < 0 ? Size - w.offset : w.length);
        const std::vector<uint8_t> expected = bytesAt(w.offset, count);
        for (const Slot* slot : {&sha256, &md5})
            EXPECT_EQ(fileFingerprint(name_, slot->plugin, slot->bits, w.offset, w.length),
                      testkit::oracleDigest(*slot, expected.data(), expected.size()))
                << "offset " << w.offset << " length " << w.length;
    }
}

// One pass over more than 4 GiB (reading holes costs the kernel a second or more per GiB here).
TEST_F(LargeSparseFile, LengthPast4GiB) {
    // A length whose low 32 bits alone would mean 2 MiB; the running position passes 4 GiB too.
    EXPECT_EQ(fileFingerprint(name_, PluginCrc32, 0, 0, FourGiB + 2 * 1048576),
              crcText(expectedCrc32(FourGiB + 2 * 1048576)));
}

} // namespace
