// Keccak-f[1600] absorb on AArch64 with the ARMv8.2 SHA-3 instructions: one state, and two states side by
// side for the family pass, which cost the same permutation (keccak_a64.h).
#include "fingerprint/sha3/keccak_a64.h"
#include "fingerprint/sha3/keccak_accelerated.h"

void keccak1600AbsorbArm64Sha3(uint64_t lanes[25], const uint8_t* data, std::size_t blocks,
                               std::size_t rate) {
    keccakAbsorbOne(lanes, data, blocks, rate);
}

void keccak1600AbsorbLanesArm64Sha3(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                                    const std::size_t rates[]) {
    keccakAbsorbTwo(words, data, blocks, rates);
}
