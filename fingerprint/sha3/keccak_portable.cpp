// Portable Keccak-f[1600] absorb (FIPS 202), for every processor.
#include "fingerprint/kernels.h"
#include "fingerprint/sha3/keccak_absorb.h"

void keccak1600AbsorbPortable(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate) {
    keccakAbsorbBlocks(lanes, data, blocks, rate);
}
