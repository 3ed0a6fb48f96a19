// Two Keccak-f[1600] states side by side on AArch64 with plain Advanced SIMD, for the family pass on cores
// without the SHA-3 instructions (keccak_a64.h).
#include "fingerprint/sha3/keccak_a64.h"
#include "fingerprint/sha3/keccak_accelerated.h"

void keccak1600AbsorbLanesArm64Neon(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                                    const std::size_t rates[]) {
    keccakAbsorbTwo(words, data, blocks, rates);
}
