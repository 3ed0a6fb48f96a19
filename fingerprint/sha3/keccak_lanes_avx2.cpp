// Four Keccak-f[1600] states in AVX2 registers, one permutation for all: rotations by two shifts.
#include "fingerprint/sha3/keccak_accelerated.h"
#include "fingerprint/sha3/keccak_lanes_x86.h"

void keccak1600AbsorbLanesAvx2(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                               const std::size_t rates[]) {
    keccakAbsorbLanes(words, data, blocks, rates);
}
