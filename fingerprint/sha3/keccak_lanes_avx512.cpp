// Four Keccak-f[1600] states in 256-bit registers with AVX-512VL: vprolq for every rotation, vpternlogq
// for chi and the column parities, and sixteen more registers to keep the states in.
#include "fingerprint/sha3/keccak_accelerated.h"
#include "fingerprint/sha3/keccak_lanes_x86.h"

void keccak1600AbsorbLanesAvx512(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                                 const std::size_t rates[]) {
    keccakAbsorbLanes(words, data, blocks, rates);
}
