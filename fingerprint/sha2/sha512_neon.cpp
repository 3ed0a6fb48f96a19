// SHA-384/512 compression for 32-bit ARM with NEON: the entry point over the assembly block loop.
#include <cstdint>

#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

// sha512_neon_rounds.S; its opening comment explains the layout of the frame.
extern "C" void hw_sha512_neon_blocks(uint64_t frame[168], const uint8_t* data, std::size_t blocks,
                                      const uint64_t k[80]);

namespace {

// The chaining value as the pairs [e, b], [h, a], [g, d], [f, c]: the first four rounds start from
// [e(t), a(t - 1)] pairs, with a in the pair of h until round 0 has used h.
constexpr int ChainOrder[8] = {4, 1, 7, 0, 6, 3, 5, 2};

} // namespace

void sha512BlocksNeon(uint64_t state[8], const uint8_t* data, std::size_t blocks) {
    if (blocks == 0) return;
    // The chaining value, then the words W and the sums W + K of one block.
    alignas(16) uint64_t frame[8 + 80 + 80];
    for (int i = 0; i < 8; ++i) frame[i] = state[ChainOrder[i]];
    hw_sha512_neon_blocks(frame, data, blocks, Sha512RoundConstants);
    for (int i = 0; i < 8; ++i) state[ChainOrder[i]] = frame[i];
}
