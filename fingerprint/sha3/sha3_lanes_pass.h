// The SHA-3 lengths of one pass in the lanes of the multi-lane Keccak: one permutation advances every
// state of a kernel call, and neighbouring rates share a call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fingerprint/kernels.h"
#include "fingerprint/sha3/sha3_parameters.h"

// Lengths of one pass: at most four.
constexpr std::size_t Sha3LanesPassMembers = 4;

// The states of one kernel call, lane-interleaved as Keccak1600AbsorbLanesFn has them.
struct alignas(64) Sha3LaneGroup {
    uint64_t words[Sha3LanesPassMembers * 25];
    uint32_t width;                            // lanes of the layout: 1 (the single-state kernel) or the kernel's
    std::size_t members[Sha3LanesPassMembers]; // member of each used lane
    std::size_t used;
};

struct Sha3LanesMember {
    int bits;
    uint32_t rate;     // sha3Rate(bits)
    uint32_t position; // bytes pending in `block`
    std::size_t group;
    std::size_t lane;
    uint8_t block[KeccakStateBytes];
};

struct Sha3LanesPass {
    Keccak1600AbsorbFn single;
    Keccak1600AbsorbLanesFn lanes;
    std::size_t memberCount;
    std::size_t groupCount;
    Sha3LanesMember members[Sha3LanesPassMembers];
    Sha3LaneGroup groups[Sha3LanesPassMembers];
};

// Sets up `pass` for the SHA-3 lengths `bits` (each once, 0 for 256) with the kernels in force; false for
// another length, a repeated one or more than four.
[[nodiscard]] bool startSha3LanesPass(Sha3LanesPass& pass, const std::vector<int>& bits);
void updateSha3LanesPass(Sha3LanesPass& pass, const uint8_t* bytes, uint32_t count);
void finishSha3LanesPass(Sha3LanesPass& pass);
// Member `index`'s digest text, once finished.
[[nodiscard]] std::string sha3LanesDigestText(const Sha3LanesPass& pass, std::size_t index);
