// The cost model the job weighs its passes with, and the measured costs it rests on.
#include "fingerprint/pass_cost.h"

#include <algorithm>
#include <cstring>

#include "fingerprint/cpu_features.h"
#include "fingerprint/engine.h"
#include "fingerprint/sha3/sha3_parameters.h"

namespace {

// One call of a multi-state kernel against one state's call, in hundredths, as measured.
struct MeasuredCost {
    KernelFamily family; // Sha256Pair, Sha512Pair or KeccakLanes
    const char* path;    // the kernel's path name
    unsigned amdFamily;  // the AMD processor family it was measured on; 0 for every other processor
    uint32_t cost;
};

// The first entry of a kernel whose processor family matches wins; bench/ACCELERATED.md and
// docs/arm-boards.md have the measurements.
constexpr MeasuredCost MeasuredCosts[] = {
#if defined(__x86_64__)
    // SHA-224 and SHA-256 in one pass: each sha256rnds2 waits for the one before it, so one state leaves
    // the unit idle between them; on an Intel Xeon (Sapphire Rapids class) a pair's block costs 1.03 to
    // 1.09 times one state's.
    {KernelFamily::Sha256Pair, "shani", 0, 105},
    // SHA-384 and SHA-512 in the 64-bit lanes of XMM registers: 1.4 times one state's block of the
    // avx512 kernel on the Xeon.
    {KernelFamily::Sha512Pair, "avx512", 0, 140},
    // Four Keccak states a permutation: on AMD Zen 4 (family 0x19) a call costs 0.92 to 0.97 of one
    // state's, so two lengths share a pass even on two cores (SHA3-224 + SHA3-256: 1.91 s against 2.08 s
    // for two passes); on the Xeon 1.06 times, and on AMD Zen 5 (family 0x1A) 1.03 to 1.09 (hashwarden-bench
    // --family, one core), where they do not.
    {KernelFamily::KeccakLanes, "avx512", 0x19, 95},
    {KernelFamily::KeccakLanes, "avx512", 0, 106},
    {KernelFamily::KeccakLanes, "avx2", 0, 194},
#elif defined(__aarch64__)
    // Two states in the two 64-bit lanes of the Q registers with the SHA-3 instructions: a step of both
    // is the single-state kernel's step (LLVM's Cortex-A57 and A55 models).
    {KernelFamily::KeccakLanes, "sha3", 0, 100},
    // Without them a rotation takes two instructions: 1.47 times a single step on the Cortex-A57 model
    // (2.2 times on the in-order Cortex-A55, where the pass loses; the engine cannot tell the cores apart
    // yet, so the out-of-order figure stands).
    {KernelFamily::KeccakLanes, "neon", 0, 147},
#elif defined(__arm__)
    // Two states in Q registers: 1.08 times one step of the single-state kernel on the Cortex-A57 model.
    {KernelFamily::KeccakLanes, "neon", 0, 108},
#endif
    {KernelFamily::Md5, "", 0, 0}, // ends the table; never matched
};

uint32_t measuredCost(KernelFamily family, const char* path, uint32_t unknown) {
    const unsigned amdFamily = detectedAmdFamily();
    for (const MeasuredCost& measured : MeasuredCosts)
        if (measured.family == family && std::strcmp(measured.path, path) == 0 &&
            (measured.amdFamily == 0 || measured.amdFamily == amdFamily))
            return measured.cost;
    return unknown;
}

} // namespace

int passCostPerByte(int plugin, int bits) {
    switch (plugin) {
    case PluginCrc32:
        return 4;
    case PluginSha1:
        return 14;
    case PluginMd5:
        return 29;
    case PluginSha2:
        return bits <= 256 ? 15 : 28;
    // One permutation per rate block, and the rate shrinks as the digest grows.
    case PluginSha3:
        return 5600 / static_cast<int>(std::max<uint32_t>(8, sha3Rate(bits == 0 ? 256 : bits)));
    default:
        return 0;
    }
}

void setSharedCallCosts(KernelSet& set) {
    // Two states through a kernel for one cost twice; a lane count of one never shares.
    set.sha256PairCost = set.sha256Pair != nullptr ? measuredCost(KernelFamily::Sha256Pair, set.sha256PairPath, 200) : 200;
    set.sha512PairCost = set.sha512Pair != nullptr ? measuredCost(KernelFamily::Sha512Pair, set.sha512PairPath, 200) : 200;
    set.keccakLanesCost = set.keccakLanes != nullptr
                              ? measuredCost(KernelFamily::KeccakLanes, set.keccakLanesPath, 100 * set.keccakLaneCount)
                              : 100;
}

int familyPassCost(PassFamily family, std::vector<int> costs) {
    const KernelSet& kernels = activeKernels();
    if (family != PassFamily::Sha3) {
        const int dearest = costs.empty() ? 0 : *std::max_element(costs.begin(), costs.end());
        const uint32_t pair = family == PassFamily::Sha256 ? kernels.sha256PairCost : kernels.sha512PairCost;
        return costs.size() < 2 ? dearest : dearest * static_cast<int>(pair) / 100;
    }
    // The dearest lengths have the smallest rates; startFamilyPass puts neighbours in one call.
    std::sort(costs.rbegin(), costs.rend());
    int cost = 0;
    for (std::size_t first = 0; first < costs.size(); first += kernels.keccakLaneCount)
        cost += first + 1 == costs.size() ? costs[first]
                                          : costs[first] * static_cast<int>(kernels.keccakLanesCost) / 100;
    return cost;
}
