// One pass over a stream for several lengths of one family: SHA-3 states in the lanes of the multi-lane
// Keccak, SHA-224 with SHA-256 and SHA-384 with SHA-512 through the two-state SHA-2 kernels.
#include "fingerprint/family_pass.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "fingerprint/byte_order.h"
#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"
#include "fingerprint/sha2/sha2.h"

namespace {

constexpr uint32_t MaxRate = 200;

// The states of one kernel call, lane-interleaved as Keccak1600AbsorbLanesFn has them.
struct alignas(64) LaneGroup {
    uint64_t words[FamilyPassMembers * 25];
    uint32_t width;                        // lanes of the layout: 1 (the single-state kernel) or the kernel's
    std::size_t members[FamilyPassMembers]; // member of each used lane
    std::size_t used;
};

struct Member {
    int bits;
    uint32_t rate;     // 200 - 2 * digest bytes (FIPS 202, 6.1)
    uint32_t position; // bytes pending in `block`
    std::size_t group;
    std::size_t lane;
    uint8_t block[MaxRate];
};

} // namespace

struct FamilyPass {
    PassFamily family;
    std::size_t memberCount;
    bool finished;
    // SHA-3
    Keccak1600AbsorbFn single;
    Keccak1600AbsorbLanesFn lanes;
    std::size_t groupCount;
    Member members[FamilyPassMembers];
    LaneGroup groups[FamilyPassMembers];
    // SHA-2: the plugin's states, in the order of `bits`; with two, the first keeps the pending block for
    // both and the pair kernel of their word size runs the blocks of both.
    const FingerprintPlugin* sha2;
    Sha256PairBlocksFn pair256;
    Sha512PairBlocksFn pair512;
    FingerprintStatePtr states[2];
};

void FamilyPassDeleter::operator()(FamilyPass* pass) const {
    delete pass;
}

namespace {

bool isSha3Length(int bits) {
    return bits == 224 || bits == 256 || bits == 384 || bits == 512;
}

// The SHA-2 pass family of a length; None for another.
PassFamily sha2FamilyOf(int bits) {
    if (bits == 224 || bits == 256) return PassFamily::Sha256;
    if (bits == 384 || bits == 512) return PassFamily::Sha512;
    return PassFamily::None;
}

// Both states through the single-state kernel, where no kernel runs them side by side.
void sha256PairThroughSingles(uint32_t first[8], uint32_t second[8], const uint8_t* data, std::size_t blocks) {
    const Sha256BlocksFn single = activeKernels().sha256;
    single(first, data, blocks);
    single(second, data, blocks);
}

void sha512PairThroughSingles(uint64_t first[8], uint64_t second[8], const uint8_t* data, std::size_t blocks) {
    const Sha512BlocksFn single = activeKernels().sha512;
    single(first, data, blocks);
    single(second, data, blocks);
}

FamilyPassPtr startSha2Pass(PassFamily family, const std::vector<int>& bits) {
    if (bits.size() > 2) return nullptr;
    FamilyPassPtr pass(new (std::nothrow) FamilyPass{});
    if (!pass) return nullptr;
    const KernelSet& kernels = activeKernels();
    pass->family = family;
    pass->memberCount = bits.size();
    pass->sha2 = findPlugin(PluginSha2);
    pass->pair256 = kernels.sha256Pair != nullptr ? kernels.sha256Pair : sha256PairThroughSingles;
    pass->pair512 = kernels.sha512Pair != nullptr ? kernels.sha512Pair : sha512PairThroughSingles;
    for (std::size_t index = 0; index < bits.size(); ++index) {
        const int length = bits[index] == 0 ? 256 : bits[index];
        if (sha2FamilyOf(length) != family || (index == 1 && pass->states[0]->digestBits == length)) return nullptr;
        pass->states[index] = startFingerprint(pass->sha2, length);
        if (!pass->states[index]) return nullptr;
    }
    return pass;
}

void updateSha2Pass(FamilyPass& pass, const uint8_t* bytes, uint32_t count) {
    FingerprintState* first = pass.states[0].get();
    if (pass.memberCount == 1)
        pass.sha2->update(first, bytes, count);
    else if (pass.family == PassFamily::Sha256)
        sha2PairUpdate(pass.pair256, first, pass.states[1].get(), bytes, count);
    else
        sha2PairUpdate(pass.pair512, first, pass.states[1].get(), bytes, count);
}

void finishSha2Pass(FamilyPass& pass) {
    FingerprintState* first = pass.states[0].get();
    if (pass.memberCount == 1)
        pass.sha2->finish(first);
    else if (pass.family == PassFamily::Sha256)
        sha2PairFinish(pass.pair256, first, pass.states[1].get());
    else
        sha2PairFinish(pass.pair512, first, pass.states[1].get());
}

// Runs `blocks[lane]` blocks from `data[lane]` into each lane of the group; lanes with none keep their state.
void absorbGroup(const FamilyPass& pass, LaneGroup& group, const uint8_t* const data[], const std::size_t blocks[]) {
    std::size_t rates[FamilyPassMembers] = {};
    bool any = false;
    for (std::size_t lane = 0; lane < group.used; ++lane) {
        rates[lane] = pass.members[group.members[lane]].rate;
        any = any || blocks[lane] != 0;
    }
    if (!any) return;
    if (group.width == 1)
        pass.single(group.words, data[0], blocks[0], rates[0]);
    else
        pass.lanes(group.words, data, blocks, rates);
}

} // namespace

PassFamily sharedPassFamily(int plugin, int bits) {
    const int length = bits == 0 ? 256 : bits;
    const KernelSet& kernels = activeKernels();
    if (plugin == PluginSha3 && isSha3Length(length))
        return kernels.keccakLaneCount >= 2 ? PassFamily::Sha3 : PassFamily::None;
    if (plugin != PluginSha2) return PassFamily::None;
    const PassFamily family = sha2FamilyOf(length);
    if (family == PassFamily::Sha256 && kernels.sha256Pair != nullptr) return family;
    if (family == PassFamily::Sha512 && kernels.sha512Pair != nullptr) return family;
    return PassFamily::None;
}

std::size_t familyPassWidth(PassFamily family) {
    if (family != PassFamily::Sha3) return 2;
    return std::min<std::size_t>(activeKernels().keccakLaneCount, FamilyPassMembers);
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

FamilyPassPtr startFamilyPass(PassFamily family, const std::vector<int>& bits) {
    if (bits.empty()) return nullptr;
    if (family == PassFamily::Sha256 || family == PassFamily::Sha512) return startSha2Pass(family, bits);
    if (family != PassFamily::Sha3 || bits.size() > FamilyPassMembers) return nullptr;
    FamilyPassPtr pass(new (std::nothrow) FamilyPass{});
    if (!pass) return nullptr;
    pass->family = PassFamily::Sha3;
    const KernelSet& kernels = activeKernels();
    pass->single = kernels.keccak;
    pass->lanes = kernels.keccakLanes;
    pass->memberCount = bits.size();
    for (std::size_t index = 0; index < bits.size(); ++index) {
        const int length = bits[index] == 0 ? 256 : bits[index];
        for (std::size_t other = 0; other < index; ++other)
            if (pass->members[other].bits == length) return nullptr;
        if (!isSha3Length(length)) return nullptr;
        pass->members[index].bits = length;
        pass->members[index].rate = static_cast<uint32_t>(200 - length / 4);
    }
    // Neighbouring rates share a kernel call: a call runs as many permutations as its smallest rate
    // needs, and a lane with a larger rate idles for the rest.
    std::size_t order[FamilyPassMembers];
    for (std::size_t index = 0; index < bits.size(); ++index)
        order[index] = index;
    for (std::size_t placed = 1; placed < bits.size(); ++placed)
        for (std::size_t at = placed; at > 0 && pass->members[order[at - 1]].rate < pass->members[order[at]].rate; --at)
            std::swap(order[at - 1], order[at]);
    const std::size_t width = pass->lanes != nullptr ? std::min<std::size_t>(kernels.keccakLaneCount, FamilyPassMembers) : 1;
    for (std::size_t taken = 0; taken < bits.size(); taken += width) {
        LaneGroup& group = pass->groups[pass->groupCount];
        group.used = std::min(width, bits.size() - taken);
        // A lone state takes the single-state kernel rather than one lane of several.
        group.width = group.used == 1 ? 1 : static_cast<uint32_t>(width);
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Member& member = pass->members[order[taken + lane]];
            member.group = pass->groupCount;
            member.lane = lane;
            group.members[lane] = order[taken + lane];
        }
        ++pass->groupCount;
    }
    return pass;
}

void updateFamilyPass(FamilyPass& pass, const uint8_t* bytes, uint32_t count) {
    if (pass.finished) return;
    if (pass.family != PassFamily::Sha3) {
        updateSha2Pass(pass, bytes, count);
        return;
    }
    for (std::size_t g = 0; g < pass.groupCount; ++g) {
        LaneGroup& group = pass.groups[g];
        const uint8_t* data[FamilyPassMembers] = {};
        std::size_t blocks[FamilyPassMembers] = {};
        std::size_t taken[FamilyPassMembers] = {}; // bytes of `bytes` each lane has used
        // First the blocks that this input completes in a lane's pending bytes, then whole blocks in place.
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Member& member = pass.members[group.members[lane]];
            if (member.position == 0) continue;
            const uint32_t room = member.rate - member.position;
            taken[lane] = std::min(room, count);
            if (taken[lane] != 0) std::memcpy(member.block + member.position, bytes, taken[lane]);
            member.position += static_cast<uint32_t>(taken[lane]);
            if (member.position == member.rate) {
                data[lane] = member.block;
                blocks[lane] = 1;
                member.position = 0;
            }
        }
        absorbGroup(pass, group, data, blocks);
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Member& member = pass.members[group.members[lane]];
            data[lane] = bytes + taken[lane];
            blocks[lane] = member.position == 0 ? (count - taken[lane]) / member.rate : 0;
        }
        absorbGroup(pass, group, data, blocks);
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Member& member = pass.members[group.members[lane]];
            if (member.position != 0) continue; // the input all went into the pending bytes
            const std::size_t rest = count - taken[lane] - blocks[lane] * member.rate;
            if (rest != 0) std::memcpy(member.block, data[lane] + blocks[lane] * member.rate, rest);
            member.position = static_cast<uint32_t>(rest);
        }
    }
}

void finishFamilyPass(FamilyPass& pass) {
    if (pass.finished) return;
    pass.finished = true;
    if (pass.family != PassFamily::Sha3) {
        finishSha2Pass(pass);
        return;
    }
    for (std::size_t g = 0; g < pass.groupCount; ++g) {
        LaneGroup& group = pass.groups[g];
        const uint8_t* data[FamilyPassMembers] = {};
        std::size_t blocks[FamilyPassMembers] = {};
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Member& member = pass.members[group.members[lane]];
            // FIPS 202, 5.1 and B.2: the SHA-3 domain bits 01 and pad10*1 give 0x06 ... 0x80 (0x86 alone).
            std::memset(member.block + member.position, 0, member.rate - member.position);
            member.block[member.position] |= 0x06;
            member.block[member.rate - 1] |= 0x80;
            data[lane] = member.block;
            blocks[lane] = 1;
        }
        absorbGroup(pass, group, data, blocks);
    }
}

std::string familyDigestText(const FamilyPass& pass, std::size_t index) {
    if (!pass.finished || index >= pass.memberCount) return {};
    if (pass.family != PassFamily::Sha3) return digestText(pass.states[index].get());
    const Member& member = pass.members[index];
    const LaneGroup& group = pass.groups[member.group];
    FingerprintState digest{member.bits, {}};
    uint8_t bytes[8 * 25];
    for (std::size_t w = 0; w < 25; ++w)
        byteorder::store64le(bytes + 8 * w, group.words[group.width * w + member.lane]);
    std::memcpy(digest.digest, bytes, static_cast<std::size_t>(member.bits) / 8);
    return digestText(&digest);
}
