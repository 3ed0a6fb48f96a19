// The SHA-3 lengths of one pass in the lanes of the multi-lane Keccak.
#include "fingerprint/sha3/sha3_lanes_pass.h"

#include <algorithm>
#include <cstring>

#include "fingerprint/byte_order.h"
#include "fingerprint/engine.h"

namespace {

// Runs `blocks[lane]` blocks from `data[lane]` into each lane of the group; lanes with none keep their state.
void absorbGroup(const Sha3LanesPass& pass, Sha3LaneGroup& group, const uint8_t* const data[],
                 const std::size_t blocks[]) {
    std::size_t rates[Sha3LanesPassMembers] = {};
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

bool startSha3LanesPass(Sha3LanesPass& pass, const std::vector<int>& bits) {
    if (bits.empty() || bits.size() > Sha3LanesPassMembers) return false;
    const KernelSet& kernels = activeKernels();
    pass.single = kernels.keccak;
    pass.lanes = kernels.keccakLanes;
    pass.memberCount = bits.size();
    for (std::size_t index = 0; index < bits.size(); ++index) {
        const int length = bits[index] == 0 ? 256 : bits[index];
        for (std::size_t other = 0; other < index; ++other)
            if (pass.members[other].bits == length) return false;
        if (!isSha3Length(length)) return false;
        pass.members[index].bits = length;
        pass.members[index].rate = sha3Rate(length);
    }
    // Neighbouring rates share a kernel call: a call runs as many permutations as its smallest rate
    // needs, and a lane with a larger rate idles for the rest.
    std::size_t order[Sha3LanesPassMembers];
    for (std::size_t index = 0; index < bits.size(); ++index)
        order[index] = index;
    for (std::size_t placed = 1; placed < bits.size(); ++placed)
        for (std::size_t at = placed; at > 0 && pass.members[order[at - 1]].rate < pass.members[order[at]].rate; --at)
            std::swap(order[at - 1], order[at]);
    const std::size_t width =
        pass.lanes != nullptr ? std::min<std::size_t>(kernels.keccakLaneCount, Sha3LanesPassMembers) : 1;
    for (std::size_t taken = 0; taken < bits.size(); taken += width) {
        Sha3LaneGroup& group = pass.groups[pass.groupCount];
        group.used = std::min(width, bits.size() - taken);
        // A lone state takes the single-state kernel rather than one lane of several.
        group.width = group.used == 1 ? 1 : static_cast<uint32_t>(width);
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Sha3LanesMember& member = pass.members[order[taken + lane]];
            member.group = pass.groupCount;
            member.lane = lane;
            group.members[lane] = order[taken + lane];
        }
        ++pass.groupCount;
    }
    return true;
}

void updateSha3LanesPass(Sha3LanesPass& pass, const uint8_t* bytes, uint32_t count) {
    for (std::size_t g = 0; g < pass.groupCount; ++g) {
        Sha3LaneGroup& group = pass.groups[g];
        const uint8_t* data[Sha3LanesPassMembers] = {};
        std::size_t blocks[Sha3LanesPassMembers] = {};
        std::size_t taken[Sha3LanesPassMembers] = {}; // bytes of `bytes` each lane has used
        // First the blocks that this input completes in a lane's pending bytes, then whole blocks in place.
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Sha3LanesMember& member = pass.members[group.members[lane]];
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
            Sha3LanesMember& member = pass.members[group.members[lane]];
            data[lane] = bytes + taken[lane];
            blocks[lane] = member.position == 0 ? (count - taken[lane]) / member.rate : 0;
        }
        absorbGroup(pass, group, data, blocks);
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Sha3LanesMember& member = pass.members[group.members[lane]];
            if (member.position != 0) continue; // the input all went into the pending bytes
            const std::size_t rest = count - taken[lane] - blocks[lane] * member.rate;
            if (rest != 0) std::memcpy(member.block, data[lane] + blocks[lane] * member.rate, rest);
            member.position = static_cast<uint32_t>(rest);
        }
    }
}

void finishSha3LanesPass(Sha3LanesPass& pass) {
    for (std::size_t g = 0; g < pass.groupCount; ++g) {
        Sha3LaneGroup& group = pass.groups[g];
        const uint8_t* data[Sha3LanesPassMembers] = {};
        std::size_t blocks[Sha3LanesPassMembers] = {};
        for (std::size_t lane = 0; lane < group.used; ++lane) {
            Sha3LanesMember& member = pass.members[group.members[lane]];
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

std::string sha3LanesDigestText(const Sha3LanesPass& pass, std::size_t index) {
    if (index >= pass.memberCount) return {};
    const Sha3LanesMember& member = pass.members[index];
    const Sha3LaneGroup& group = pass.groups[member.group];
    FingerprintState digest{member.bits, {}};
    uint8_t bytes[KeccakStateBytes];
    for (std::size_t w = 0; w < 25; ++w)
        byteorder::store64le(bytes + 8 * w, group.words[group.width * w + member.lane]);
    std::memcpy(digest.digest, bytes, static_cast<std::size_t>(member.bits) / 8);
    return digestText(&digest);
}
