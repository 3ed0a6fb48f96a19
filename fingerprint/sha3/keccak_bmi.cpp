// Keccak-f[1600] absorb built for BMI1/BMI2: the same permutation as the portable one, with andn for
// chi and rorx for the rotations, which shortens every round.
#include "fingerprint/sha3/keccak_absorb.h"
#include "fingerprint/sha3/keccak_accelerated.h"

void keccak1600AbsorbBmi(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate) {
    keccakAbsorbBlocks(lanes, data, blocks, rate);
}
